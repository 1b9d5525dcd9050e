#include "shared/background_work.h"

#include "shared/unique_handle.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace {

std::atomic<bool> g_stopping{false};
std::mutex g_lock;
std::condition_variable g_ended;
int g_running = 0;

void Ended() {
    {
        std::lock_guard<std::mutex> hold(g_lock);
        --g_running;
    }
    g_ended.notify_all();
}

DWORD WINAPI RunWork(LPVOID parameter) {
    std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(parameter));
    (*work)();
    work.reset();  // what the work held goes before the exit stops waiting
    Ended();
    return 0;
}

}  // namespace

bool StartBackgroundWork(std::function<void()> work) {
    {
        std::lock_guard<std::mutex> hold(g_lock);
        ++g_running;
    }
    auto owned = std::make_unique<std::function<void()>>(std::move(work));
    UniqueKernelHandle thread(::CreateThread(nullptr, 0, RunWork, owned.get(), 0, nullptr));
    if (!thread) {
        Ended();
        return false;
    }
    owned.release();  // the thread owns it now
    return true;
}

bool BackgroundWorkStopping() { return g_stopping.load(); }

int RunningBackgroundWork() {
    std::lock_guard<std::mutex> hold(g_lock);
    return g_running;
}

void StopBackgroundWork() { g_stopping = true; }

bool WaitForBackgroundWork(DWORD milliseconds) {
    std::unique_lock<std::mutex> hold(g_lock);
    return g_ended.wait_for(hold, std::chrono::milliseconds(milliseconds), [] { return g_running == 0; });
}
