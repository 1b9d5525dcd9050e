#pragma once
// Programs the tests start and watch: by path with arguments, their exit codes, their
// top-level windows, and the stand-in program that plays the main program.

#include "shared/unique_handle.h"

#include <windows.h>

#include <string>

// Starts a program by its path with optional arguments, in workingDir when one is given;
// empty handle on failure.
UniqueKernelHandle StartProgram(const std::string& path, const std::string& arguments = "",
                                const std::string& workingDir = "");
// Exit code of a process that ends within the time; -1 when it does not.
long WaitForExitCode(HANDLE process, DWORD timeoutMilliseconds);
// The top-level window of that class belonging to the process (a visible one when asked), or null.
HWND TopLevelWindowOf(DWORD processId, const char* className, bool visibleOnly = false);

// The visible main window of a toolbox started as process, once its start-up is through:
// both its windows exist and the main window's thread has answered a sent message, which
// it does only from its message loop. Null when the process ends or the time runs out first.
HWND WaitForToolboxStartUp(HANDLE process, DWORD timeoutMilliseconds);

// "kestrova_stand_in.exe" beside the test program (tests/helpers/kestrova_stand_in.cpp).
std::string StandInProgramPath();
