#pragma once
// Threads for the toolbox's loads, icons and status requests: started detached, counted,
// and told to stop when the program exits, which waits for them a bounded time so that
// none keeps the process alive or outlives libcurl's global state.

#include <windows.h>

#include <functional>

// Runs work on a thread of its own; false when no thread could be made (work not run).
bool StartBackgroundWork(std::function<void()> work);

// True once the program exits: transfers of these workers end at their next check.
bool BackgroundWorkStopping();
// Workers started and not yet ended.
int RunningBackgroundWork();

// What the exit waits for them after the downloads' wait, in which they stop as well.
inline constexpr DWORD kBackgroundExitWaitMilliseconds = 1500;

// At exit or logoff: tells every worker to stop (their transfers end within a second).
void StopBackgroundWork();
// Waits for the workers; false when some still run after the time given.
bool WaitForBackgroundWork(DWORD milliseconds);
