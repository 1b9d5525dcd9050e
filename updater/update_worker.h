#pragma once
// The download worker of the update window: fetches the update list, downloads every
// file into the temporary directory and checks its digest. It reaches the window only by
// posting WM_USER to the progress target: percentages of the current file, then exactly
// one final code.

#include <windows.h>

#include <string>

enum : WPARAM {
    UPDATE_ABORTED = 931,    // the main program has been started again; quit
    UPDATE_FINISHED = 1000,  // every file downloaded and verified; install now
};

// Thread procedure; the parameter is not used.
DWORD WINAPI UpdateWorker(LPVOID);

// Starts UpdateWorker on a thread of its own, which nothing waits for.
bool StartUpdateWorker();

// Starts the worker before its window exists, so that the update arrives while the window
// is built (a third of a second under Wine); it posts nothing until UpdateWindowReady.
bool StartUpdateWorkerBeforeWindow();
// Called by the window once it is the progress target: lets a worker started before it
// post, or starts one.
void UpdateWindowReady();

// Whether a downloaded file's digest matches the list's id (either letter case).
bool DigestMatches(std::string id, const std::string& digest);
