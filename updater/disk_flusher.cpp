#include "updater/disk_flusher.h"

DiskFlusher::DiskFlusher() : thread_([this] { Run(); }) {}

DiskFlusher::~DiskFlusher() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        changed_.notify_all();
    }
    thread_.join();
}

void DiskFlusher::Add(UniqueFileHandle file) {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(file));
    changed_.notify_all();
}

bool DiskFlusher::Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return queue_.empty() && !busy_; });
    return !failed_;
}

void DiskFlusher::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) return;
        UniqueFileHandle file = std::move(queue_.front());
        queue_.pop_front();
        busy_ = true;
        lock.unlock();
        const bool flushed = ::FlushFileBuffers(file.get()) != 0;
        file.reset();
        lock.lock();
        busy_ = false;
        if (!flushed) failed_ = true;
        changed_.notify_all();
    }
}
