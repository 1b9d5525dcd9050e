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

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<UniqueFileHandle> queue_;
    bool busy_ = false;
    bool stopping_ = false;
    bool failed_ = false;
    std::thread thread_;
};
