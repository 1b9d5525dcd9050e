#include "updater/block_pipeline.h"

#include <algorithm>
#include <cstring>
#include <utility>

BlockPipeline::BlockPipeline(std::vector<Consumer> consumers, size_t blockBytes, size_t blockCount)
    : consumers_(std::move(consumers)), ring_(blockCount), consumed_(consumers_.size(), 0) {
    for (Block& block : ring_) block.bytes.resize(blockBytes);
    for (size_t i = 0; i < consumers_.size(); ++i) threads_.emplace_back([this, i] { Consume(i); });
}

BlockPipeline::~BlockPipeline() { Close(); }

bool BlockPipeline::NextBlockFree() const {
    // Its place in the ring was last used ring_.size() blocks ago; every consumer must be past that.
    const size_t slowest = *std::min_element(consumed_.begin(), consumed_.end());
    return handedOver_ - slowest < ring_.size();
}

bool BlockPipeline::Push(const char* data, size_t size) {
    while (size > 0) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (filling_ == 0) changed_.wait(lock, [&] { return NextBlockFree(); });
        if (failed_ || closed_) return false;
        Block& block = ring_[handedOver_ % ring_.size()];
        lock.unlock();

        const size_t taken = std::min(size, block.bytes.size() - filling_);
        std::memcpy(block.bytes.data() + filling_, data, taken);
        filling_ += taken;
        data += taken;
        size -= taken;
        if (filling_ == block.bytes.size()) {
            lock.lock();
            HandOver();
        }
    }
    return true;
}

void BlockPipeline::HandOver() {
    ring_[handedOver_ % ring_.size()].used = filling_;
    filling_ = 0;
    ++handedOver_;
    changed_.notify_all();
}

bool BlockPipeline::AllConsumed() const {
    return std::all_of(consumed_.begin(), consumed_.end(), [&](size_t done) { return done == handedOver_; });
}

bool BlockPipeline::Drain() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (filling_ > 0) HandOver();
    changed_.wait(lock, [&] { return AllConsumed(); });
    return !std::exchange(failed_, false);
}

bool BlockPipeline::Close() {
    const bool succeeded = Drain();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        changed_.notify_all();
    }
    for (std::thread& thread : threads_) {
        if (thread.joinable()) thread.join();
    }
    return succeeded;
}

void BlockPipeline::Consume(size_t consumer) {
    for (;;) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return closed_ || consumed_[consumer] < handedOver_; });
        if (consumed_[consumer] == handedOver_) return;
        const Block& block = ring_[consumed_[consumer] % ring_.size()];
        const bool dropped = failed_;
        lock.unlock();

        const bool ok = dropped || consumers_[consumer](block.bytes.data(), block.used);

        lock.lock();
        if (!ok) failed_ = true;
        ++consumed_[consumer];
        changed_.notify_all();
    }
}
