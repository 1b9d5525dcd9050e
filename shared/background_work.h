#pragma once
// Work that runs beside a program's window thread: each piece on a thread of its own,
// counted while it runs, and told to stop when the program exits, which waits for it a
// bounded time, so that none keeps the process alive or outlives libcurl's global state.

#include <windows.h>

#include <functional>

// Runs work on a thread of its own; false when no thread could be made (work not run).
bool StartBackgroundWork(std::function<void()> work);

// True once the program exits; transfers read it as their stop check.
bool BackgroundWorkStopping();
// Work started and not yet ended, what it held already released.
int RunningBackgroundWork();

// Transfers see a stop at their next progress call, about once a second; a download
// then still removes or keeps its partial file.
inline constexpr DWORD kBackgroundExitWaitMilliseconds = 3000;

// At exit or logoff: from now on BackgroundWorkStopping() is true, for good.
void StopBackgroundWork();
// Waits for the running work; false when some still runs after the time given.
bool WaitForBackgroundWork(DWORD milliseconds);
