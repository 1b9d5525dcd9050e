#pragma once
// Where layouts and images come from: a zip archive (kept in memory once read, so the
// file itself stays free for an update to replace) or, without one, a folder.

#include <windows.h>

#include <string>
#include <vector>

namespace skin_detail {

void SetResourceFolder(const std::string& folder);  // a trailing backslash is added
std::string ResourceFolder();
// Empty: read from the folder. A relative name lies in the resource folder.
void SetResourceArchive(const std::string& zipName, bool cached);
std::string ResourceArchive();

// The whole of one resource; false when it is missing or unreadable. Names may use
// either slash; inside the archive letter case does not matter.
bool ReadResource(const std::string& name, std::vector<BYTE>& data);
// Any file by path.
bool ReadWholeFile(const std::string& path, std::vector<BYTE>& data);

}  // namespace skin_detail
