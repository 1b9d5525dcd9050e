#pragma once
// Every download the program started and has not freed, so that a posted pointer is used
// only when it names one of them; the package download of each row, so that a click on
// the row reaches its job; the target files workers hold; and the running workers, which
// the program stops and waits for before it ends. Held under a lock: the window thread
// uses it, and workers claim files and take undelivered jobs out.

#include "toolbox/catalogue/download_job.h"

#include <windows.h>

#include <string>

// The job is alive from here until ReleaseJob or ReleaseUndeliveredJob.
void RegisterJob(DownloadJob* job);
// Whether a pointer that arrived in a message names a live job.
bool IsLiveJob(const void* job);
// Forgets the job (its row's entry too) and frees it.
void ReleaseJob(DownloadJob* job);

// The job becomes the row's current download; one it replaces (normally a cancelled one
// still ending) is cancelled and leaves the row to the new one.
void RegisterPackageJob(DownloadJob* job);
// Cancels the row's current download; false when the row has none.
bool CancelPackageJob(const std::string& controlName);
// Takes the job off its row; true when it was still the row's current download.
bool UnregisterPackageJob(DownloadJob* job);

// Whether a live document download writes that file.
bool IsDocumentTargetBusy(const std::string& targetPath);

// One worker at a time writes a target and its partial file: waits while another holds it.
// False when the job was told to stop meanwhile.
bool ClaimTarget(DownloadJob* job);
void ReleaseTarget(const DownloadJob* job);

// For a final code no window will handle: forgets the job, gives back its count, frees it.
void ReleaseUndeliveredJob(DownloadJob* job);

// Worker threads: counted from just before they are created until their last step.
void WorkerStarting();
void WorkerEnded();

// Long enough for every worker to see the stop at its next progress call.
inline constexpr DWORD kDownloadExitWaitMilliseconds = 3000;
// At exit or logoff: tells every live download to stop (keeping packages' partial files)
// and waits for the workers; false when some still run after the time given.
bool FinishDownloadsForExit(DWORD milliseconds);
