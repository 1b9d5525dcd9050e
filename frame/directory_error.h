#pragma once
// The box both programs show when a folder they need cannot be made. The base layer's
// EnsureDirectory only reports; the box is a program's answer, shown on a thread that may
// own windows.

#include <windows.h>

#include <string>

// The modal error box for the folder, owned by owner (none when null).
void ShowDirectoryError(const std::string& path, HWND owner);

// True when the directory exists now. Creates only the last level; on failure shows
// ShowDirectoryError's box and returns false once it is closed.
bool MakeDirectory(const std::string& path, HWND owner = nullptr);
