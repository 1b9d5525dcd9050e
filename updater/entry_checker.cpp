#include "updater/entry_checker.h"

#include "shared/files.h"
#include "shared/md5.h"
#include "shared/sha256.h"
#include "updater/update_worker.h"

bool HasListedContent(const std::string& path, const UpdateEntry& entry, bool signedList) {
    if (!FileExists(path)) return false;
    if (signedList) return FileSha256(path) == entry.sha256;
    const std::optional<std::string> md5 = FileMd5(path);
    return md5 && DigestMatches(entry.id, *md5);
}

EntryChecker::EntryChecker(const std::vector<UpdateEntry>& entries, const UpdaterValues& values, bool signedList)
    : entries_(entries), values_(values), signedList_(signedList), checks_(entries.size()), done_(entries.size(), 0) {
    for (int i = 0; i < 2; ++i) threads_.emplace_back([this] { Run(); });
}

EntryChecker::~EntryChecker() {
    next_ = entries_.size();
    for (std::thread& thread : threads_) thread.join();
}

EntryCheck EntryChecker::Result(size_t index) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return done_[index] != 0; });
    return checks_[index];
}

void EntryChecker::Run() {
    for (size_t i; (i = next_++) < entries_.size();) {
        const UpdateEntry& entry = entries_[i];
        EntryCheck check;
        check.current = HasListedContent(values_.InstallDir + "\\" + entry.name, entry, signedList_);
        check.kept = !check.current && signedList_ &&
                     HasListedContent(values_.TempDirectory() + "\\" + entry.name, entry, signedList_);
        std::lock_guard<std::mutex> lock(mutex_);
        checks_[i] = check;
        done_[i] = 1;
        changed_.notify_all();
    }
}
