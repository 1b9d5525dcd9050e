#pragma once
// The last step of an update, on the window thread once the worker has verified every
// file: the downloaded files replace the installed ones and the main program starts again.

#include "updater/installed_records.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// The title of the main program's main window.
inline constexpr char kMainWindowTitle[] = "Kestrova";

// Whether the process runs as exactly "Veltrin.exe".
bool IsMainProgramProcess(DWORD processId);

// When a main program runs, ends the owner of the "Kestrova" window with exit code 4,
// but only if that owner is itself a "Veltrin.exe": any other program may use that
// title. Does not wait for the end.
void EndMainWindowOwner();

// The files the worker verified into the temporary directory, in list order, handed to
// the window thread with UPDATE_FINISHED; nothing when there is nothing to install (an
// empty or unreadable list, or entries skipped), with what the worker knows of the files.
// Safe from any thread.
void SetVerifiedUpdate(std::optional<std::vector<std::string>> names, KnownFiles known = {});
std::optional<std::vector<std::string>> TakeVerifiedUpdate(KnownFiles* known = nullptr);

// Ends the main program, moves the verified files into the installation and records the
// server's version (an empty list of files only records it) and the installed files,
// starts the main program and deletes the temporary directory. Without files the version
// stays. True when installed.
bool InstallDownloadedFiles(const std::optional<std::vector<std::string>>& files, const KnownFiles& known = {});

// InstallDownloadedFiles with what the worker verified, then a quit request for the
// window thread's loop.
void InstallUpdate();
