#pragma once

#include "shared/file_identity.h"
#include "shared/unique_handle.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

// Flushes written files to the disk on a thread of its own, so that the disk catches up
// with one file while the next one arrives.
class DiskFlusher {
public:
    DiskFlusher();
    ~DiskFlusher();
    DiskFlusher(const DiskFlusher&) = delete;
    DiskFlusher& operator=(const DiskFlusher&) = delete;

    // Flushes the file, notes its identity and closes it; returns the file's number in
    // the order of Add.
    size_t Add(UniqueFileHandle file);
    // Waits until every file handed over is flushed; false when any flush failed.
    bool Wait();
    // After Wait: the file's identity once on the disk, taken while the writer's handle
    // still kept every other writer out; nothing when the system could not tell it.
    std::optional<FileIdentity> FlushedIdentity(size_t number) const;

private:
    void Run();

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::pair<size_t, UniqueFileHandle>> m_queue;
    std::vector<std::optional<FileIdentity>> m_identities;  // by number
    bool m_busy = false;
    bool m_stopping = false;
    bool m_failed = false;
    std::thread m_thread;
};
