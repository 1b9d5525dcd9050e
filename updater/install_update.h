#pragma once
// The last step of an update, on the window thread once every file is verified: the
// downloaded files replace the installed ones and the main program starts again.

#include <windows.h>

// The title of the main program's main window.
inline constexpr char kMainWindowTitle[] = "Kestrova";

// Whether the process runs as exactly "Veltrin.exe".
bool IsMainProgramProcess(DWORD processId);

// When a main program runs, ends the owner of the "Kestrova" window with exit code 4,
// but only if that owner is itself a "Veltrin.exe": any other program may use that
// title. Does not wait for the end.
void EndMainWindowOwner();

// Ends the main program, copies the temporary directory over the installation, records
// the server's version when the copy succeeded, starts the main program, deletes the
// temporary directory. True when the copy succeeded.
bool InstallDownloadedFiles();

// InstallDownloadedFiles, then a quit request for the window thread's loop.
void InstallUpdate();
