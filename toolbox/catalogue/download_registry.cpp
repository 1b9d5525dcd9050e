#include "toolbox/catalogue/download_registry.h"

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>

namespace {

constexpr auto kClaimPoll = std::chrono::milliseconds(100);

std::mutex g_lock;
std::condition_variable g_targetReleased;
std::set<DownloadJob*> g_liveJobs;
std::map<std::string, DownloadJob*> g_packageJobs;
std::set<std::string> g_claimedTargets;

// The file system ignores letter case; so does the key of a file.
std::string FileKey(const std::string& path) {
    std::string key = path;
    if (!key.empty()) ::CharLowerBuffA(&key[0], static_cast<DWORD>(key.size()));
    return key;
}

void CancelIfRunning(DownloadJob* job) {
    DownloadStop none = DownloadStop::None;
    job->stop.compare_exchange_strong(none, DownloadStop::Cancelled);
}

bool UnregisterPackageJobLocked(DownloadJob* job) {
    const auto found = g_packageJobs.find(job->controlName);
    if (found == g_packageJobs.end() || found->second != job) return false;
    g_packageJobs.erase(found);
    return true;
}

}  // namespace

std::atomic<int>& RunningDownloadCount() {
    static std::atomic<int> count{0};
    return count;
}

void RegisterJob(DownloadJob* job) {
    std::lock_guard<std::mutex> hold(g_lock);
    g_liveJobs.insert(job);
}

bool IsLiveJob(const void* job) {
    std::lock_guard<std::mutex> hold(g_lock);
    // Only compared, never followed, until it is found.
    return g_liveJobs.count(static_cast<DownloadJob*>(const_cast<void*>(job))) != 0;
}

void ReleaseJob(DownloadJob* job) {
    {
        std::lock_guard<std::mutex> hold(g_lock);
        g_liveJobs.erase(job);
        UnregisterPackageJobLocked(job);
    }
    delete job;
}

void RegisterPackageJob(DownloadJob* job) {
    std::lock_guard<std::mutex> hold(g_lock);
    DownloadJob*& current = g_packageJobs[job->controlName];
    // Two live downloads of one row would race for its file: the older one stops.
    if (current != nullptr) CancelIfRunning(current);
    current = job;
}

bool CancelPackageJob(const std::string& controlName) {
    std::lock_guard<std::mutex> hold(g_lock);
    const auto found = g_packageJobs.find(controlName);
    if (found == g_packageJobs.end()) return false;
    CancelIfRunning(found->second);
    return true;
}

bool UnregisterPackageJob(DownloadJob* job) {
    std::lock_guard<std::mutex> hold(g_lock);
    return UnregisterPackageJobLocked(job);
}

bool IsDocumentTargetBusy(const std::string& targetPath) {
    const std::string key = FileKey(targetPath);
    std::lock_guard<std::mutex> hold(g_lock);
    for (const DownloadJob* job : g_liveJobs) {
        if (job->kind == DownloadKind::Document && !job->targetPath.empty() && FileKey(job->targetPath) == key) {
            return true;
        }
    }
    return false;
}

bool ClaimTarget(DownloadJob* job) {
    const std::string key = FileKey(job->targetPath);
    std::unique_lock<std::mutex> hold(g_lock);
    // The holder is normally a cancelled download of the same row, which ends at its next
    // progress call; the wait also ends when this job is told to stop.
    while (g_claimedTargets.count(key) != 0) {
        if (job->stop.load() != DownloadStop::None) return false;
        g_targetReleased.wait_for(hold, kClaimPoll);
    }
    g_claimedTargets.insert(key);
    return true;
}

void ReleaseTarget(const DownloadJob* job) {
    {
        std::lock_guard<std::mutex> hold(g_lock);
        g_claimedTargets.erase(FileKey(job->targetPath));
    }
    g_targetReleased.notify_all();
}

void ReleaseUndeliveredJob(DownloadJob* job) {
    if (job->kind == DownloadKind::Package) --RunningDownloadCount();
    ReleaseJob(job);
}

void StopDownloadsForExit() {
    std::lock_guard<std::mutex> hold(g_lock);
    for (DownloadJob* job : g_liveJobs) {
        DownloadStop none = DownloadStop::None;
        job->stop.compare_exchange_strong(none, DownloadStop::Exiting);
    }
}
