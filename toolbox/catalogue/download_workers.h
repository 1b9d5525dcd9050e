#pragma once
// The worker threads of package and document downloads and their libcurl callbacks.
// Each worker posts exactly one final code for its job, whatever fails.

#include "toolbox/catalogue/download_job.h"

// Thread procedures; parameter: the DownloadJob.
DWORD WINAPI SoftwareDownloadWorker(LPVOID job);
DWORD WINAPI DocumentDownloadWorker(LPVOID job);

// Writes the block to the job's file unless the row cancelled the download; a cancelled
// or fileless job accepts nothing, which ends the transfer with a write error.
size_t CancellableWriteCallback(char* data, size_t size, size_t count, void* job);

// Forwards to the shared progress callback only when the truncated percentage changes,
// so one download posts at most 101 percentages and cannot flood the window's queue.
int PackageProgressCallback(void* job, double dltotal, double dlnow, double ultotal, double ulnow);

// One attempt to post the final code to the job's window.
bool TryPostFinalCode(DownloadJob* job, WPARAM code);
// Posts the final code, waiting out a full queue; when the window cannot take it any more, frees the job here.
void PostFinalCode(DownloadJob* job, WPARAM code);
