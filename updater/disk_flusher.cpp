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

size_t DiskFlusher::Add(UniqueFileHandle file) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const size_t number = m_identities.size();
    m_identities.emplace_back();
    m_queue.emplace_back(number, std::move(file));
    m_changed.notify_all();
    return number;
}

std::optional<FileIdentity> DiskFlusher::FlushedIdentity(size_t number) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return number < m_identities.size() ? m_identities[number] : std::nullopt;
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
        auto [number, file] = std::move(m_queue.front());
        m_queue.pop_front();
        m_busy = true;
        lock.unlock();
        const bool flushed = ::FlushFileBuffers(file.get()) != 0;
        const std::optional<FileIdentity> identity = flushed ? IdentityOf(file.get()) : std::nullopt;
        file.reset();
        lock.lock();
        m_busy = false;
        m_identities[number] = identity;
        if (!flushed) m_failed = true;
        m_changed.notify_all();
    }
}
