#pragma once
// A click on a package that is already in the package folder. A signed build runs it only
// while it is still the file the current signed catalogue names: the record made when its
// download was verified answers at once; when the record does not match, the file is
// hashed on a worker and the result comes back through the worker-results queue. A
// changed package never runs: it is removed and its row offers the download again. The
// file is held open, denying writers, from the check until it has been started.

#include "skin/catalogue_rows.h"
#include "toolbox/catalogue/catalogue_context.h"

#include <string>

// Window thread. path: the package's file, which the caller found there. An unsigned build
// starts it as OpenLocalFile does.
void OpenDownloadedPackage(SkinSoftListControl* row, const CatalogueContext& context, const std::string& path);

// Rows whose package is being hashed now (a second click on them waits for the first).
bool IsPackageCheckRunning(const std::string& rowName);
