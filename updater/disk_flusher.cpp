#include "updater/disk_flusher.h"

DiskFlusher::DiskFlusher() : m_thread([this] { Run(); }) {}

DiskFlusher::~DiskFlusher() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
        m_changed.notify_all();
    }
    m_thread.join();
}

void DiskFlusher::Add(UniqueFileHandle file) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_queue.push_back(std::move(file));
    m_changed.notify_all();
}

bool DiskFlusher::Wait() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [&] { return m_queue.empty() && !m_busy; });
    return !m_failed;
}

void DiskFlusher::Run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [&] { return m_stopping || !m_queue.empty(); });
        if (m_queue.empty()) return;
        UniqueFileHandle file = std::move(m_queue.front());
        m_queue.pop_front();
        m_busy = true;
        lock.unlock();
        const bool flushed = ::FlushFileBuffers(file.get()) != 0;
        file.reset();
        lock.lock();
        m_busy = false;
        if (!flushed) m_failed = true;
        m_changed.notify_all();
    }
}
