#pragma once
// The process-wide resource store: the module instance, and where layouts and images
// come from: a zip archive (kept in memory once read, so the file itself stays free for
// an update to replace) or, without one, a folder.

#include <windows.h>

#include <string>
#include <vector>

namespace skin_detail {

// The module the programs name as theirs; the running executable until one is set.
void SetResourceInstance(HINSTANCE instance);
HINSTANCE ResourceInstance();
// That module's folder, with a trailing backslash; empty when it cannot be told.
std::string InstanceFolder();

void SetResourceFolder(const std::string& folder);  // a trailing backslash is added
std::string ResourceFolder();
// Empty: read from the folder. A relative name lies in the resource folder.
void SetResourceArchive(const std::string& zipName, bool cached);
std::string ResourceArchive();

// The whole of one resource; false when it is missing or unreadable. Names may use
// either slash; inside the archive letter case does not matter.
bool ReadResource(const std::string& name, std::vector<BYTE>& data);
// One resource in a buffer of its own, one byte longer and NUL-terminated so that texts
// can be read as strings; null and 0 when it is missing. Freed with FreeResourceCopy.
bool CopyResource(const char* name, BYTE** data, DWORD* size);
void FreeResourceCopy(BYTE* data);
// Any file by path.
bool ReadWholeFile(const std::string& path, std::vector<BYTE>& data);

}  // namespace skin_detail
