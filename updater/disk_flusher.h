#pragma once

#include "shared/unique_handle.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

// Flushes written files to the disk on a thread of its own, so that the disk catches up
// with one file while the next one arrives.
class DiskFlusher {
public:
    DiskFlusher();
    ~DiskFlusher();
    DiskFlusher(const DiskFlusher&) = delete;
    DiskFlusher& operator=(const DiskFlusher&) = delete;

    // Flushes and closes the file.
    void Add(UniqueFileHandle file);
    // Waits until every file handed over is flushed; false when any flush failed.
    bool Wait();

private:
    void Run();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<UniqueFileHandle> m_queue;
    bool m_busy = false;
    bool m_stopping = false;
    bool m_failed = false;
    std::thread m_thread;
};
