#include "updater/file_receiver.h"

#include "shared/cng.h"
#include "shared/sha256.h"
#include "updater/block_pipeline.h"

struct FileReceiver::Digesters {
    explicit Digesters(bool withSha256) {
        if (withSha256) sha256.emplace();
    }
    CngHasher md5{BCRYPT_MD5_ALGORITHM};
    std::optional<Sha256Hasher> sha256;
};

FileReceiver::FileReceiver(const std::string& path, bool withSha256)
    : file_(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr)),
      digesters_(std::make_unique<Digesters>(withSha256)) {
    if (!file_) return;
    // Writing costs about as much as both digests together: one thread each.
    const HANDLE file = file_.get();
    Digesters* digesters = digesters_.get();
    pipeline_ = std::make_unique<BlockPipeline>(std::vector<BlockPipeline::Consumer>{
        [file](const char* data, size_t size) {
            DWORD written = 0;
            return ::WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) && written == size;
        },
        [digesters](const char* data, size_t size) {
            digesters->md5.Add(data, size);
            if (digesters->sha256) digesters->sha256->Add(data, size);
            return true;
        }});
}

FileReceiver::~FileReceiver() = default;

bool FileReceiver::Receive(const char* data, size_t size) { return pipeline_ && pipeline_->Push(data, size); }

std::optional<ReceivedDigests> FileReceiver::Finish(DiskFlusher& flusher) {
    if (!pipeline_ || !pipeline_->Close()) return std::nullopt;
    flusher.Add(std::move(file_));
    ReceivedDigests digests;
    const auto md5 = digesters_->md5.Finish();
    if (!md5) return std::nullopt;
    digests.md5 = LowerHex(*md5);
    if (digesters_->sha256) {
        const auto sha256 = digesters_->sha256->Finish();
        if (!sha256) return std::nullopt;
        digests.sha256 = LowerHex(*sha256);
    }
    return digests;
}

size_t FileReceiver::WriteCallback(char* data, size_t size, size_t count, void* userdata) {
    const size_t bytes = size * count;
    return static_cast<FileReceiver*>(userdata)->Receive(data, bytes) ? bytes : 0;
}

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
