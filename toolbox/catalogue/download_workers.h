#pragma once
// The work of one package or document download, run as background work. It posts exactly
// one final code for its job, whatever fails, through the window thread's queue of worker
// results.

#include "toolbox/catalogue/download_job.h"

void RunDownload(DownloadJob* job);
