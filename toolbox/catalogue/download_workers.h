#pragma once
// The worker threads of package and document downloads. Each worker posts exactly one
// final code for its job, whatever fails, through the window thread's queue of worker results.

#include "toolbox/catalogue/download_job.h"

// Thread procedures; parameter: the DownloadJob.
DWORD WINAPI SoftwareDownloadWorker(LPVOID job);
DWORD WINAPI DocumentDownloadWorker(LPVOID job);

