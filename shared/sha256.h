#pragma once
// The digest that signed update lists and catalogues name, and that signatures cover.

#include "shared/cng.h"

#include <cstdint>
#include <optional>
#include <string>

// SHA-256 computed from pieces: on the processor's SHA extensions where it has them,
// else through CNG.
class Sha256Hasher {
public:
    Sha256Hasher();
    void Add(const void* data, size_t size);
    // The raw 32 bytes; nothing when CNG failed.
    std::optional<std::string> Finish();

private:
    void AddBlocks(const unsigned char* blocks, size_t count);

    bool m_onExtensions;
    std::optional<CngHasher> m_cng;
    uint32_t m_state[8];
    unsigned char m_pending[64];
    size_t m_pendingBytes = 0;
    uint64_t m_totalBytes = 0;
};

// SHA-256 of the whole file as 64 lowercase hexadecimal digits; nothing when it cannot be read.
std::optional<std::string> FileSha256(const std::string& path);
// SHA-256 of the bytes, as 32 raw bytes; nothing when the system cannot compute it.
std::optional<std::string> Sha256Of(const std::string& bytes);
