#include "updater/entry_checker.h"

#include "shared/files.h"
#include "shared/md5.h"
#include "shared/sha256.h"
#include "updater/update_worker.h"

bool HasListedDigests(const FileDigests& digests, const UpdateEntry& entry, bool signedList) {
    return signedList ? digests.sha256 == entry.sha256 : DigestMatches(entry.id, digests.md5);
}

bool HasListedContent(const std::string& path, const UpdateEntry& entry, bool signedList) {
    if (!FileExists(path)) return false;
    if (signedList) return FileSha256(path) == entry.sha256;
    const std::optional<std::string> md5 = FileMd5(path);
    return md5 && DigestMatches(entry.id, *md5);
}

EntryChecker::EntryChecker(const std::vector<UpdateEntry>& entries, const UpdaterValues& values, bool signedList)
    : m_entries(entries),
      m_values(values),
      m_signedList(signedList),
      m_records(LoadInstalledRecords(values.InstallDir)),
      m_checks(entries.size()),
      m_done(entries.size(), 0) {
    for (int i = 0; i < 2; ++i) m_threads.emplace_back([this] { Run(); });
}

EntryChecker::~EntryChecker() {
    m_next = m_entries.size();
    for (std::thread& thread : m_threads) thread.join();
}

EntryCheck EntryChecker::Result(size_t index) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [&] { return m_done[index] != 0; });
    return m_checks[index];
}

void EntryChecker::Run() {
    for (size_t i; (i = m_next++) < m_entries.size();) {
        const UpdateEntry& entry = m_entries[i];
        EntryCheck check;
        check.installed = InstalledFileOf(m_records, entry.name, m_values.InstallDir + "\\" + entry.name);
        check.current = check.installed && HasListedDigests(check.installed->record.digests, entry, m_signedList);
        check.kept = !check.current && m_signedList &&
                     HasListedContent(m_values.TempDirectory() + "\\" + entry.name, entry, m_signedList);
        std::lock_guard<std::mutex> lock(m_mutex);
        m_checks[i] = check;
        m_done[i] = 1;
        m_changed.notify_all();
    }
}
