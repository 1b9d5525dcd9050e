#pragma once
// The one way from the toolbox's worker threads to its window thread. Workers queue what
// they found, as work for the window thread or as a download code with its job (the pair
// a WM_USER message to the main window carries); the window thread applies the queue in
// order when it gets WM_WORKERRESULTS. Posting never blocks a worker, and nothing queued
// touches a window once it is gone.

#include "toolbox/catalogue/download_job.h"

#include <windows.h>

#include <functional>
#include <string>

// Sent to the window that applies the queue when the queue goes from empty to not empty.
inline constexpr UINT WM_WORKERRESULTS = WM_APP + 1;

// The window thread, once its window exists: that window applies the queue from now on.
void OpenWorkerResults(HWND window);
// At the window's destruction: what is still queued is dropped (jobs with their final
// code freed), and later posts are refused.
void CloseWorkerResults(HWND window);
// The window applying the queue, or null.
HWND WorkerResultsWindow();

// Work for the window thread; false (the work dropped unrun) when no window takes it.
bool PostWindowWork(std::function<void()> work);
// A download's percentage or final code. A final code no window will take frees its job.
void PostDownloadCode(DownloadJob* job, WPARAM code);
// The directory box (MakeDirectory's) shown on the window thread, owned by that window.
void PostDirectoryError(const std::string& path);

// On WM_WORKERRESULTS: applies everything queued, oldest first; download codes go to
// onDownloadCode (the window's OnDownloadMessage). Items behind a modal box that one item
// shows wait for it to close, so the order holds; the window still answers meanwhile.
void ApplyWorkerResults(const std::function<void(WPARAM, LPARAM)>& onDownloadCode);
