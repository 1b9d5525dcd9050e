#include "updater/worker_gate.h"

#include "updater/update_worker.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <utility>

namespace {

struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool windowReady = true;  // without an early start the window starts the worker itself
    bool windowFailed = false;
    bool startedEarly = false;
};

// Never destroyed: the worker may still wait on it while the program exits.
Gate& TheGate() {
    static Gate* gate = new Gate();
    return *gate;
}

std::atomic<HWND> g_progressTarget{nullptr};

}  // namespace

bool StartUpdateWorkerBeforeWindow() {
    Gate& gate = TheGate();
    {
        std::lock_guard<std::mutex> lock(gate.mutex);
        gate.windowReady = false;
        gate.windowFailed = false;
        gate.startedEarly = true;
    }
    if (StartUpdateWorker()) return true;
    std::lock_guard<std::mutex> lock(gate.mutex);
    gate.startedEarly = false;  // the window tries once more
    return false;
}

void UpdateWindowReady() {
    Gate& gate = TheGate();
    bool started;
    {
        std::lock_guard<std::mutex> lock(gate.mutex);
        started = std::exchange(gate.startedEarly, false);
        gate.windowReady = true;
    }
    gate.changed.notify_all();
    if (!started) StartUpdateWorker();
}

void UpdateWindowFailed() {
    Gate& gate = TheGate();
    {
        std::lock_guard<std::mutex> lock(gate.mutex);
        gate.windowFailed = true;
    }
    gate.changed.notify_all();
}

void SetProgressTargetWindow(HWND window) { g_progressTarget = window; }

HWND ProgressTargetWindow() { return g_progressTarget.load(); }

void PostPercent(int percent, const void* about) {
    ::PostMessageA(ProgressTargetWindow(), WM_USER, static_cast<WPARAM>(percent), reinterpret_cast<LPARAM>(about));
}

bool IsUpdateWindowReady() {
    Gate& gate = TheGate();
    std::lock_guard<std::mutex> lock(gate.mutex);
    return gate.windowReady;
}

void PostFinalCode(WPARAM code) {
    Gate& gate = TheGate();
    {
        std::unique_lock<std::mutex> lock(gate.mutex);
        gate.changed.wait(lock, [&] { return gate.windowReady || gate.windowFailed; });
        if (!gate.windowReady) return;
    }
    const HWND window = ProgressTargetWindow();
    // A queue that is full for a moment must not swallow the only final code.
    for (int attempt = 0; attempt < 500; ++attempt) {
        if (::PostMessageA(window, WM_USER, code, 0)) return;
        if (!::IsWindow(window)) return;
        ::Sleep(10);
    }
}
