#pragma once
// Starting other programs, finding or ending running ones by their executable's name, and
// the running program's own folder.

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

// Process id of the first process of the session running as exeName (e.g.
// kMainProgramExeName, matched exactly), 0 when there is none.
DWORD FindProcessByName(const std::string& exeName, DWORD sessionId = CurrentSessionId());

// Ends every exeName of the session with exit code 0 without waiting; true when at least
// one matched and all matches were ended.
bool TerminateProcessesByName(const std::string& exeName, DWORD sessionId = CurrentSessionId());

// Whether the process runs in the session; false when its session cannot be read.
bool IsInSession(DWORD processId, DWORD sessionId);

// The text before the last '\\' or '/'; the whole path when it holds neither.
std::string InstallDirFromPath(const std::string& executablePath);
// The folder of the running program's executable (where it is installed), however long
// its path.
std::string ProgramFolder();
