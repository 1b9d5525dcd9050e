#include "toolbox/catalogue/download_registry.h"

#include <map>
#include <mutex>

namespace {

std::mutex g_lock;
std::map<std::string, DownloadJob*> g_packageJobs;

}  // namespace

std::atomic<int>& RunningDownloadCount() {
    static std::atomic<int> count{0};
    return count;
}

void RegisterPackageJob(DownloadJob* job) {
    std::lock_guard<std::mutex> hold(g_lock);
    DownloadJob*& current = g_packageJobs[job->controlName];
    // Two live downloads into one file would mix their bytes: the older one stops.
    if (current != nullptr) current->state = NotDownloaded;
    current = job;
}

bool CancelPackageJob(const std::string& controlName) {
    std::lock_guard<std::mutex> hold(g_lock);
    const auto found = g_packageJobs.find(controlName);
    if (found == g_packageJobs.end()) return false;
    found->second->state = NotDownloaded;
    return true;
}

bool UnregisterPackageJob(DownloadJob* job) {
    std::lock_guard<std::mutex> hold(g_lock);
    const auto found = g_packageJobs.find(job->controlName);
    if (found == g_packageJobs.end() || found->second != job) return false;
    g_packageJobs.erase(found);
    return true;
}

void ReleaseUndeliveredJob(DownloadJob* job) {
    if (job->kind == DownloadKind::Package) {
        UnregisterPackageJob(job);
        --RunningDownloadCount();
    }
    delete job;
}
