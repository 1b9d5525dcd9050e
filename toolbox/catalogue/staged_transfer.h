#pragma once
// The transfer of one download into its partial file, renamed to the final name only when
// complete. A package continues a partial file of the same URL with a range request when
// a strong validator was kept beside it; the server may answer with the whole file.
// A job from a signed catalogue (DownloadJob::Verified) stops as soon as more bytes than
// the catalogue names arrive, and its file is flushed and renamed into place only when its
// length and SHA-256 (over the whole file, kept bytes included) are the catalogue's; a
// package is then recorded (package_records.h), through the handle it was written with.

#include "toolbox/catalogue/download_job.h"

// What one download came to, for the window's final code and the diagnostic log.
struct TransferReport {
    bool complete = false;
    CURLcode result = CURLE_FAILED_INIT;
    long status = 0;              // the last HTTP status; 0 when none arrived
    long long resumedFrom = 0;    // bytes kept from an earlier download
    bool partialKept = false;     // the partial file stays for the next download
    const char* refusal = "";     // why no transfer was tried, when none was
    const char* verdict = "";     // why the bytes that arrived were not taken, when they were not
};

// Runs on the worker thread. Every road ends with nothing under the final name but a
// complete file; the partial file stays only for a package stopped by a network failure
// or the program's exit.
TransferReport RunStagedTransfer(DownloadJob& job);

// libcurl callbacks; userdata is the transfer in progress (staged_transfer.cpp). The write
// callback accepts nothing once the job is told to stop, which ends the transfer with a
// write error; the progress callback also ends it then, even while no data flows, and
// posts a package's percentage of the whole file when the truncated value changes.
size_t CancellableWriteCallback(char* data, size_t size, size_t count, void* transfer);
int DownloadProgressCallback(void* transfer, double dltotal, double dlnow, double ultotal, double ulnow);
