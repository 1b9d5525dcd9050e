#pragma once
// The worker threads of package and document downloads. Each worker posts exactly one
// final code for its job, whatever fails.

#include "toolbox/catalogue/download_job.h"

// Thread procedures; parameter: the DownloadJob.
DWORD WINAPI SoftwareDownloadWorker(LPVOID job);
DWORD WINAPI DocumentDownloadWorker(LPVOID job);

// One attempt to post the final code to the job's window.
bool TryPostFinalCode(DownloadJob* job, WPARAM code);
// Posts the final code, waiting out a full queue; when the window cannot take it any more, frees the job here.
void PostFinalCode(DownloadJob* job, WPARAM code);
