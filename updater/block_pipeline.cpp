#include "updater/block_pipeline.h"

#include <algorithm>
#include <cstring>
#include <utility>

BlockPipeline::BlockPipeline(std::vector<Consumer> consumers, size_t blockBytes, size_t blockCount)
    : m_consumers(std::move(consumers)), m_ring(blockCount), m_consumed(m_consumers.size(), 0) {
    for (Block& block : m_ring) block.bytes.resize(blockBytes);
    for (size_t i = 0; i < m_consumers.size(); ++i) m_threads.emplace_back([this, i] { Consume(i); });
}

BlockPipeline::~BlockPipeline() { Close(); }

bool BlockPipeline::NextBlockFree() const {
    // Its place in the ring was last used m_ring.size() blocks ago; every consumer must be past that.
    const size_t slowest = *std::min_element(m_consumed.begin(), m_consumed.end());
    return m_handedOver - slowest < m_ring.size();
}

bool BlockPipeline::Push(const char* data, size_t size) {
    while (size > 0) {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_filling == 0) m_changed.wait(lock, [&] { return NextBlockFree(); });
        if (m_failed || m_closed) return false;
        Block& block = m_ring[m_handedOver % m_ring.size()];
        lock.unlock();

        const size_t taken = std::min(size, block.bytes.size() - m_filling);
        std::memcpy(block.bytes.data() + m_filling, data, taken);
        m_filling += taken;
        data += taken;
        size -= taken;
        if (m_filling == block.bytes.size()) {
            lock.lock();
            HandOver();
        }
    }
    return true;
}

void BlockPipeline::HandOver() {
    m_ring[m_handedOver % m_ring.size()].used = m_filling;
    m_filling = 0;
    ++m_handedOver;
    m_changed.notify_all();
}

bool BlockPipeline::AllConsumed() const {
    return std::all_of(m_consumed.begin(), m_consumed.end(), [&](size_t done) { return done == m_handedOver; });
}

bool BlockPipeline::Drain() {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_filling > 0) HandOver();
    m_changed.wait(lock, [&] { return AllConsumed(); });
    return !std::exchange(m_failed, false);
}

bool BlockPipeline::Close() {
    const bool succeeded = Drain();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closed = true;
        m_changed.notify_all();
    }
    for (std::thread& thread : m_threads) {
        if (thread.joinable()) thread.join();
    }
    return succeeded;
}

void BlockPipeline::Consume(size_t consumer) {
    for (;;) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [&] { return m_closed || m_consumed[consumer] < m_handedOver; });
        if (m_consumed[consumer] == m_handedOver) return;
        const Block& block = m_ring[m_consumed[consumer] % m_ring.size()];
        const bool dropped = m_failed;
        lock.unlock();

        const bool ok = dropped || m_consumers[consumer](block.bytes.data(), block.used);

        lock.lock();
        if (!ok) m_failed = true;
        ++m_consumed[consumer];
        m_changed.notify_all();
    }
}
