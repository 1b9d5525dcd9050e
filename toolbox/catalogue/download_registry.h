#pragma once
// Every download the program started and has not freed, so that a posted pointer is used
// only when it names one of them; the package download of each row, so that a click on
// the row reaches its job; and the target files workers hold. Held under a lock: the
// window thread uses it, and workers claim files and take undelivered jobs out.

#include "toolbox/catalogue/download_job.h"

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

// At exit or logoff: tells every live download to stop, keeping packages' partial files;
// the exit waits for them as for all background work.
void StopDownloadsForExit();
