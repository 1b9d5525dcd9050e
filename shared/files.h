#pragma once
// File-system helpers. Every path is an ANSI text; directories carry no trailing backslash.

#include "shared/win32_result.h"

#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// True when the directory exists now. Creates only the last level. A failure is only
// reported: what the user is told, and where, is the program's choice (frame/directory_error.h).
bool EnsureDirectory(const std::string& path);

// Deletes the tree depth first, ignoring entries that cannot be removed. A junction or
// symbolic link (a reparse point) is removed itself, never entered.
// Returns -1 for a null path, -3 when the directory cannot be searched, 1 after the walk.
int RemoveTree(const char* path);

// RemoveTree with the test that tells a link by its path and attributes given; the
// system under test may be unable to make a junction.
using LinkTest = bool (*)(const std::string& path, unsigned long attributes);
int RemoveTreeWith(const char* path, LinkTest isLink);

// True when a file or directory of that name exists.
bool FileExists(const std::string& path);
// The size of the file of that name, from its attributes; -1 when it is missing or a directory.
long long FileSizeOf(const std::string& path);

// A download is written under this name, in the same folder, until it is complete, so
// that its final name only ever holds a whole file.
std::string StagingPathOf(const std::string& finalPath);
// Puts a complete file under its final name in one step, replacing what was there.
Win32Result MoveIntoPlace(const std::string& completePath, const std::string& finalPath);
// Writes bytes under the staging name, flushes them and moves them into place, so the
// final name holds either what was there or all of bytes; on any failure nothing is left
// behind, and the result is the failing call's.
Win32Result WriteFileInPlace(const std::string& finalPath, const std::string& bytes);

// Appends the full path and the bare name of every file (not directory) in dir.
void ListFiles(const std::string& dir, std::vector<std::string>& paths, std::vector<std::string>& names);

// Hands the whole file to consume in large blocks, in order. False when it cannot be
// opened (with the line "fopen <path> failed" on the standard error stream) or read.
bool ReadFileInBlocks(const std::string& path, const std::function<void(const char*, size_t)>& consume);
