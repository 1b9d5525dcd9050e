#pragma once
// What is there already of each entry of an update: an installed copy with the listed
// content needs neither a download nor a replacement, and a signed list's file that an
// abandoned run verified needs no download. An installed copy whose identity still matches
// the installation's record is not read (updater/installed_records.h); hashing the others
// would be most of a typical update's work, so two threads of the checker's own do it, in
// list order, while the worker fetches what is known to be needed.

#include "updater/installed_records.h"
#include "updater/process_values.h"
#include "updater/update_list.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Whether the file holds what the entry lists: the signed SHA-256 where the list is
// signed, else the MD5 "id".
bool HasListedContent(const std::string& path, const UpdateEntry& entry, bool signedList);
bool HasListedDigests(const FileDigests& digests, const UpdateEntry& entry, bool signedList);

struct EntryCheck {
    bool current = false;  // the installed copy has the listed content
    bool kept = false;     // a signed list's file that an abandoned run verified
    std::optional<InstalledFile> installed;  // the installed copy's record, when there is one
};

class EntryChecker {
public:
    // The entries and values must outlive the checker.
    EntryChecker(const std::vector<UpdateEntry>& entries, const UpdaterValues& values, bool signedList);
    // Checks not begun yet are dropped.
    ~EntryChecker();
    EntryChecker(const EntryChecker&) = delete;
    EntryChecker& operator=(const EntryChecker&) = delete;

    // Waits for the entry's check.
    EntryCheck Result(size_t index);

private:
    void Run();

    const std::vector<UpdateEntry>& m_entries;
    const UpdaterValues& m_values;
    const bool m_signedList;
    const FileRecords m_records;
    std::vector<EntryCheck> m_checks;
    std::vector<char> m_done;
    std::atomic<size_t> m_next{0};
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::thread> m_threads;
};
