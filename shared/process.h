#pragma once
// Starting other programs and finding or ending the running main program.

#include <windows.h>

#include <string>

// The main program's executable name; matched exactly, letter case included.
inline constexpr char kMainProgramExeName[] = "Veltrin.exe";

// Starts the program at this path without arguments and does not wait for it.
bool RunProgram(const std::string& programPath);

// Hands the path to the shell's "open" verb; the shell's answer is not reported.
bool ShellOpen(const std::string& path);

// The session of the calling process. Only main programs of this session are found or
// ended: on a shared machine one user's logon must not end another user's toolbox.
DWORD CurrentSessionId();

// Process id of the first process of the session running as "Veltrin.exe", 0 when there is none.
DWORD FindProcessByName(DWORD sessionId = CurrentSessionId());

// Ends every "Veltrin.exe" of the session with exit code 0 without waiting; true when at
// least one matched and all matches were ended.
bool TerminateProcessesByName(DWORD sessionId = CurrentSessionId());

// Whether the process runs in the session; false when its session cannot be read.
bool IsInSession(DWORD processId, DWORD sessionId);
