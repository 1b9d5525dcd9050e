#pragma once
// Between the download worker and the update window. The worker starts before the window
// is built: under Wine the first window of a process (COM's included) takes a third of a
// second, which the update spends downloading. Until the window is ready the worker posts
// no percentage, and its final code waits for the window.

#include <windows.h>

// Starts the worker on a thread of its own before any window exists.
bool StartUpdateWorkerBeforeWindow();
// Called by the window once it is the progress target: a worker started before it may
// post now; without one, one is started.
void UpdateWindowReady();
// Called when no window could be built: a worker waiting to hand over its final code
// stops waiting and posts nothing.
void UpdateWindowFailed();

// The update window, which the worker's WM_USER codes go to: set by the window as it is
// built (tests set a window of their own).
void SetProgressTargetWindow(HWND window);
HWND ProgressTargetWindow();

// For the worker: whether percentages may be posted.
bool IsUpdateWindowReady();
// For the worker: posts WM_USER with the percentage, and the address of what it is about.
void PostPercent(int percent, const void* about);
// For the worker: posts WM_USER with the code to the window once it is ready.
void PostFinalCode(WPARAM code);
