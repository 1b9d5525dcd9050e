#include "toolbox/catalogue/worker_results.h"

#include "frame/directory_error.h"
#include "toolbox/catalogue/download_registry.h"

#include <deque>
#include <mutex>
#include <utility>

namespace {

struct QueuedResult {
    std::function<void()> work;  // empty for a download code
    WPARAM code = 0;
    DownloadJob* job = nullptr;
};

bool IsFinalCode(WPARAM code) {
    return code == kPackageDownloaded || code == kPackageFailed || code == kDocumentDownloaded ||
           code == kDocumentFailed;
}

// What no window will apply: a final code still owes its job's release.
void Drop(QueuedResult& result) {
    if (result.job != nullptr && IsFinalCode(result.code)) ReleaseUndeliveredJob(result.job);
}

std::mutex g_lock;
std::deque<QueuedResult> g_queue;
HWND g_window = nullptr;
bool g_wakePosted = false;

bool Post(QueuedResult result) {
    {
        std::lock_guard<std::mutex> hold(g_lock);
        if (g_window != nullptr) {
            g_queue.push_back(std::move(result));
            // One wake-up at a time: a queue of any length costs the window one message.
            if (!g_wakePosted) g_wakePosted = ::PostMessageA(g_window, WM_WORKERRESULTS, 0, 0) != FALSE;
            return true;
        }
    }
    Drop(result);
    return false;
}

bool TakeFirst(QueuedResult* result) {
    std::lock_guard<std::mutex> hold(g_lock);
    if (g_queue.empty()) {
        g_wakePosted = false;
        return false;
    }
    *result = std::move(g_queue.front());
    g_queue.pop_front();
    return true;
}

}  // namespace

void OpenWorkerResults(HWND window) {
    std::lock_guard<std::mutex> hold(g_lock);
    g_window = window;
    g_wakePosted = !g_queue.empty() && ::PostMessageA(window, WM_WORKERRESULTS, 0, 0) != FALSE;
}

void CloseWorkerResults(HWND window) {
    std::deque<QueuedResult> dropped;
    {
        std::lock_guard<std::mutex> hold(g_lock);
        if (g_window != window) return;
        g_window = nullptr;
        g_wakePosted = false;
        dropped.swap(g_queue);
    }
    for (QueuedResult& result : dropped) Drop(result);
}

HWND WorkerResultsWindow() {
    std::lock_guard<std::mutex> hold(g_lock);
    return g_window;
}

bool PostWindowWork(std::function<void()> work) {
    QueuedResult result;
    result.work = std::move(work);
    return Post(std::move(result));
}

void PostDownloadCode(DownloadJob* job, WPARAM code) {
    QueuedResult result;
    result.code = code;
    result.job = job;
    Post(std::move(result));
}

void PostDirectoryError(const std::string& path) {
    PostWindowWork([path] { ShowDirectoryError(path, WorkerResultsWindow()); });
}

void ApplyWorkerResults(const std::function<void(WPARAM, LPARAM)>& onDownloadCode) {
    // One at a time: what workers queue meanwhile is taken in the same pass.
    QueuedResult result;
    while (TakeFirst(&result)) {
        if (result.work) {
            result.work();
        } else {
            onDownloadCode(result.code, reinterpret_cast<LPARAM>(result.job));
        }
        result = QueuedResult{};
    }
}
