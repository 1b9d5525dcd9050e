#pragma once
// Bytes handed over in order to several consumers, each on a thread of its own, while the
// producer goes on: a download is written to disk and hashed as it arrives instead of
// being read back, and a slow consumer only holds the producer once the ring is full.

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class BlockPipeline {
public:
    // A consumer gets every byte once, in order, in pieces of at most one block; false
    // from it drops the bytes until the next Drain.
    using Consumer = std::function<bool(const char* data, size_t size)>;

    explicit BlockPipeline(std::vector<Consumer> consumers, size_t blockBytes = 512 * 1024, size_t blockCount = 8);
    ~BlockPipeline();
    BlockPipeline(const BlockPipeline&) = delete;
    BlockPipeline& operator=(const BlockPipeline&) = delete;

    // False once a consumer has failed (the bytes are then dropped).
    bool Push(const char* data, size_t size);
    // Hands over what is left and waits until every consumer is done with it; true when
    // none failed since the last Drain. The consumers then wait for more: whatever they
    // work on may be changed until the next Push.
    bool Drain();
    // Drain, and the consumers' threads end.
    bool Close();

private:
    struct Block {
        std::vector<char> bytes;
        size_t used = 0;
    };

    void Consume(size_t consumer);
    // With the lock held.
    void HandOver();
    bool NextBlockFree() const;
    bool AllConsumed() const;

    std::vector<Consumer> m_consumers;
    std::vector<Block> m_ring;
    std::vector<std::thread> m_threads;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    size_t m_handedOver = 0;         // blocks given to the consumers so far
    size_t m_filling = 0;            // bytes in the block being filled, the next to hand over
    std::vector<size_t> m_consumed;  // per consumer, blocks done
    bool m_closed = false;
    bool m_failed = false;
};
