#include "updater/worker_gate.h"

#include "shared/http.h"
#include "updater/update_worker.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>

namespace {

struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool windowReady = true;  // without an early start the window starts the worker itself
    bool startedEarly = false;
    std::optional<WPARAM> finalCode;
    bool codeTaken = false;
};

// Never destroyed: the worker may still wait on it while the program exits.
Gate& TheGate() {
    static Gate* gate = new Gate();
    return *gate;
}

}  // namespace

bool StartUpdateWorkerBeforeWindow() {
    Gate& gate = TheGate();
    {
        std::lock_guard<std::mutex> lock(gate.mutex);
        gate.windowReady = false;
        gate.startedEarly = true;
        gate.finalCode.reset();
        gate.codeTaken = false;
    }
    if (StartUpdateWorker()) return true;
    std::lock_guard<std::mutex> lock(gate.mutex);
    gate.startedEarly = false;  // the window tries once more
    return false;
}

std::optional<WPARAM> TakeFinalCodeWithin(DWORD milliseconds) {
    Gate& gate = TheGate();
    std::unique_lock<std::mutex> lock(gate.mutex);
    if (!gate.changed.wait_for(lock, std::chrono::milliseconds(milliseconds),
                               [&] { return gate.finalCode.has_value(); })) {
        return std::nullopt;
    }
    gate.codeTaken = true;
    gate.changed.notify_all();
    return gate.finalCode;
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

bool IsUpdateWindowReady() {
    Gate& gate = TheGate();
    std::lock_guard<std::mutex> lock(gate.mutex);
    return gate.windowReady;
}

void PostFinalCode(WPARAM code) {
    Gate& gate = TheGate();
    {
        std::unique_lock<std::mutex> lock(gate.mutex);
        gate.finalCode = code;
        gate.changed.notify_all();
        gate.changed.wait(lock, [&] { return gate.windowReady || gate.codeTaken; });
        if (gate.codeTaken) return;
    }
    const HWND window = ProgressTargetWindow();
    // A queue that is full for a moment must not swallow the only final code.
    for (int attempt = 0; attempt < 500; ++attempt) {
        if (::PostMessageA(window, WM_USER, code, 0)) return;
        if (!::IsWindow(window)) return;
        ::Sleep(10);
    }
}
