#pragma once
// Between the download worker and the update window. The worker starts before the window
// is built: under Wine the first window of a process (COM's included) takes a third of a
// second, which the update spends downloading, and an update done before a window is due
// needs none. Until the window is ready the worker posts no percentage, and it hands its
// final code either to the window or to the program's thread waiting without one.

#include <windows.h>

#include <optional>

// Starts the worker on a thread of its own before any window exists.
bool StartUpdateWorkerBeforeWindow();
// The worker's final code when it comes within the time: the window is then not needed
// and the worker posts nothing. Nothing after the time: the window is built and gets it.
std::optional<WPARAM> TakeFinalCodeWithin(DWORD milliseconds);
// Called by the window once it is the progress target: a worker started before it may
// post now; without one, one is started.
void UpdateWindowReady();

// For the worker: whether percentages may be posted.
bool IsUpdateWindowReady();
// For the worker: posts WM_USER with the code to the window once it is ready, unless the
// program's thread took the code without a window.
void PostFinalCode(WPARAM code);
