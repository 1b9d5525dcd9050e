#pragma once
// Which form of a changed file to fetch: a signed list may offer a patch from the installed
// copy and the file compressed, beside the whole file. Each is tried in that order, the
// next one when the one before fails, and the log says why; only the whole file is left
// when the list is not signed or names no length.

#include "updater/file_downloader.h"
#include "updater/update_list.h"

#include <string>

// True when the file arrived into path in one of its forms and has the listed digests.
// installed: the installed copy, the base of a patch.
bool FetchSmallestForm(const UpdateEntry& listed, bool signedList, const std::string& installed,
                       const std::string& path, FileDownloader& downloader);
