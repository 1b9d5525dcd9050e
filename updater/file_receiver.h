#pragma once
// The update's files as they arrive: each written to disk and hashed (MD5 and SHA-256) on
// helper threads while the transfer goes on, so that no byte has to be read back for its
// digests, neither to check it nor to record it once installed.

#include "shared/cng.h"
#include "shared/sha256.h"
#include "shared/unique_handle.h"
#include "updater/disk_flusher.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class BlockPipeline;

struct ReceivedDigests {
    std::string md5;     // 32 lowercase hexadecimal digits
    std::string sha256;  // 64 of them
    uint64_t bytes = 0;  // the file's length
    size_t flushNumber = 0;  // the file's number at the flusher
};

// Receives the update's files one after another, over the same helper threads.
class FileReceiver {
public:
    FileReceiver();
    ~FileReceiver();
    FileReceiver(const FileReceiver&) = delete;
    FileReceiver& operator=(const FileReceiver&) = delete;

    // Creates (truncates) the next file; false when it cannot. With maxBytes, a piece
    // that would take the file beyond it is refused, so that no server can fill the disk.
    bool Begin(const std::string& path, std::optional<uint64_t> maxBytes);
    // A piece from the transfer; false once the file cannot be written or would grow
    // beyond its limit (the transfer should stop).
    bool Receive(const char* data, size_t size);
    // Whether more bytes arrived than the current file may have.
    bool OverLength() const { return m_overLength; }
    // Waits until the helpers are done with the file; nothing when a write or a digest
    // failed. The file then goes to the flusher: it counts once it is on the disk.
    std::optional<ReceivedDigests> Finish(DiskFlusher& flusher);

    // libcurl's write callback; userdata is the FileReceiver.
    static size_t WriteCallback(char* data, size_t size, size_t count, void* userdata);

private:
    std::optional<uint64_t> m_maxBytes;
    uint64_t m_received = 0;
    bool m_overLength = false;
    // The current file's; changed only while the helpers wait for more.
    UniqueFileHandle m_file;
    std::optional<CngHasher> m_md5;
    std::optional<Sha256Hasher> m_sha256;
    std::unique_ptr<BlockPipeline> m_pPipeline;
};
