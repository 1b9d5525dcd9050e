#pragma once
// The package downloads running now, by the name of their row, so that a click on the row
// reaches its job. Held under a lock: the window thread uses it, and a worker whose window
// is gone takes its job out.

#include "toolbox/catalogue/download_job.h"

#include <string>

// The job becomes the row's current download; one it replaces (normally a cancelled one
// still ending) is cancelled and leaves the row and the file to the new one.
void RegisterPackageJob(DownloadJob* job);
// Marks the row's current download cancelled; false when the row has none.
bool CancelPackageJob(const std::string& controlName);
// Takes the job out; true when it was still its row's current download.
bool UnregisterPackageJob(DownloadJob* job);

// For a final code no window will handle: forgets the job, gives back its count, frees it.
void ReleaseUndeliveredJob(DownloadJob* job);
