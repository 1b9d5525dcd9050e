#include "updater/file_receiver.h"

#include "updater/block_pipeline.h"

FileReceiver::FileReceiver(bool withSha256) : withSha256_(withSha256) {
    // Writing costs about as much as both digests together: a thread each, beside the
    // transfer's own.
    pipeline_ = std::make_unique<BlockPipeline>(std::vector<BlockPipeline::Consumer>{
        [this](const char* data, size_t size) {
            DWORD written = 0;
            return ::WriteFile(file_.get(), data, static_cast<DWORD>(size), &written, nullptr) && written == size;
        },
        [this](const char* data, size_t size) {
            md5_->Add(data, size);
            if (sha256_) sha256_->Add(data, size);
            return true;
        }});
}

FileReceiver::~FileReceiver() { pipeline_->Close(); }

bool FileReceiver::Begin(const std::string& path) {
    file_.reset(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    md5_.emplace(BCRYPT_MD5_ALGORITHM);
    sha256_.reset();
    if (withSha256_) sha256_.emplace();
    return file_.valid();
}

bool FileReceiver::Receive(const char* data, size_t size) { return file_ && pipeline_->Push(data, size); }

std::optional<ReceivedDigests> FileReceiver::Finish(DiskFlusher& flusher) {
    const bool written = pipeline_->Drain();
    if (!written || !file_) {
        file_.reset();
        return std::nullopt;
    }
    flusher.Add(std::move(file_));
    ReceivedDigests digests;
    const auto md5 = md5_->Finish();
    if (!md5) return std::nullopt;
    digests.md5 = LowerHex(*md5);
    if (sha256_) {
        const auto sha256 = sha256_->Finish();
        if (!sha256) return std::nullopt;
        digests.sha256 = LowerHex(*sha256);
    }
    return digests;
}

size_t FileReceiver::WriteCallback(char* data, size_t size, size_t count, void* userdata) {
    const size_t bytes = size * count;
    return static_cast<FileReceiver*>(userdata)->Receive(data, bytes) ? bytes : 0;
}
