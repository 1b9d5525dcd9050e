#pragma once
// The download worker of the update window: fetches the update list, downloads every
// file that is not current already into the temporary directory and checks its digests.
// It reaches the window only by posting WM_USER to the progress target (updater/
// worker_gate.h): percentages of the current file, then exactly one final code.

#include <windows.h>

#include <string>

enum : WPARAM {
    UPDATE_ABORTED = 931,    // the main program has been started again; quit
    UPDATE_FINISHED = 1000,  // every file downloaded and verified; install now
};

// Thread procedure; the parameter is not used.
DWORD WINAPI UpdateWorker(LPVOID);

// Starts UpdateWorker as background work (shared/background_work.h); nothing waits for it.
bool StartUpdateWorker();

// Whether a downloaded file's digest matches the list's id (either letter case).
bool DigestMatches(std::string id, const std::string& digest);
