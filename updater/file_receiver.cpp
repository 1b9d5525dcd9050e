#include "updater/file_receiver.h"

#include "updater/block_pipeline.h"

FileReceiver::FileReceiver() {
    // Writing costs about as much as both digests together: a thread each, beside the
    // transfer's own.
    m_pPipeline = std::make_unique<BlockPipeline>(std::vector<BlockPipeline::Consumer>{
        [this](const char* data, size_t size) {
            DWORD written = 0;
            return ::WriteFile(m_file.get(), data, static_cast<DWORD>(size), &written, nullptr) && written == size;
        },
        [this](const char* data, size_t size) {
            m_md5->Add(data, size);
            m_sha256->Add(data, size);
            return true;
        }});
}

FileReceiver::~FileReceiver() { m_pPipeline->Close(); }

bool FileReceiver::Begin(const std::string& path, std::optional<uint64_t> maxBytes) {
    m_maxBytes = maxBytes;
    m_received = 0;
    m_overLength = false;
    // Reading its attributes too: the flusher notes the file's identity through this handle.
    m_file.reset(::CreateFileA(path.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    m_md5.emplace(BCRYPT_MD5_ALGORITHM);
    m_sha256.emplace();
    return m_file.valid();
}

bool FileReceiver::Receive(const char* data, size_t size) {
    m_received += size;
    if (m_maxBytes && m_received > *m_maxBytes) {
        m_overLength = true;
        return false;
    }
    return m_file && m_pPipeline->Push(data, size);
}

std::optional<ReceivedDigests> FileReceiver::Finish(DiskFlusher& flusher) {
    const bool written = m_pPipeline->Drain();
    if (!written || !m_file) {
        m_file.reset();
        return std::nullopt;
    }
    ReceivedDigests digests;
    digests.flushNumber = flusher.Add(std::move(m_file));
    digests.bytes = m_received;
    const auto md5 = m_md5->Finish();
    if (!md5) return std::nullopt;
    digests.md5 = LowerHex(*md5);
    const auto sha256 = m_sha256->Finish();
    if (!sha256) return std::nullopt;
    digests.sha256 = LowerHex(*sha256);
    return digests;
}

size_t FileReceiver::WriteCallback(char* data, size_t size, size_t count, void* userdata) {
    const size_t bytes = size * count;
    return static_cast<FileReceiver*>(userdata)->Receive(data, bytes) ? bytes : 0;
}
