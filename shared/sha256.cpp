#include "shared/sha256.h"

#include "shared/files.h"
#include "shared/sha256_blocks.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kInitialState[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                       0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

bool ExtensionsPresent() {
    static const bool present = HasShaExtensions();
    return present;
}

}  // namespace

Sha256Hasher::Sha256Hasher() : m_onExtensions(ExtensionsPresent()) {
    if (!m_onExtensions) m_cng.emplace(BCRYPT_SHA256_ALGORITHM);
    std::memcpy(m_state, kInitialState, sizeof(m_state));
}

void Sha256Hasher::AddBlocks(const unsigned char* blocks, size_t count) { Sha256Blocks(m_state, blocks, count); }

void Sha256Hasher::Add(const void* data, size_t size) {
    if (m_cng) {
        m_cng->Add(data, size);
        return;
    }
    auto bytes = static_cast<const unsigned char*>(data);
    m_totalBytes += size;
    if (m_pendingBytes > 0) {
        const size_t taken = std::min(size, sizeof(m_pending) - m_pendingBytes);
        std::memcpy(m_pending + m_pendingBytes, bytes, taken);
        m_pendingBytes += taken;
        bytes += taken;
        size -= taken;
        if (m_pendingBytes < sizeof(m_pending)) return;
        AddBlocks(m_pending, 1);
        m_pendingBytes = 0;
    }
    AddBlocks(bytes, size / 64);
    m_pendingBytes = size % 64;
    std::memcpy(m_pending, bytes + size - m_pendingBytes, m_pendingBytes);
}

std::optional<std::string> Sha256Hasher::Finish() {
    if (m_cng) return m_cng->Finish();
    // The padding: a one bit, zeros, and the length in bits, big-endian, ending a block.
    const uint64_t bits = m_totalBytes * 8;
    unsigned char tail[128] = {0x80};
    const size_t tailBytes = (m_pendingBytes < 56 ? 64 : 128) - m_pendingBytes;
    for (int i = 0; i < 8; ++i) tail[tailBytes - 1 - i] = static_cast<unsigned char>(bits >> (8 * i));
    Add(tail, tailBytes);
    std::string digest(32, '\0');
    for (int i = 0; i < 8; ++i) {
        for (int j = 0; j < 4; ++j) digest[4 * i + j] = static_cast<char>(m_state[i] >> (24 - 8 * j));
    }
    return digest;
}

std::optional<std::string> FileSha256(const std::string& path) {
    Sha256Hasher hasher;
    if (!ReadFileInBlocks(path, [&](const char* data, size_t size) { hasher.Add(data, size); })) return std::nullopt;
    const auto digest = hasher.Finish();
    if (!digest) return std::nullopt;
    return LowerHex(*digest);
}

std::optional<std::string> Sha256Of(const std::string& bytes) {
    Sha256Hasher hasher;
    hasher.Add(bytes.data(), bytes.size());
    return hasher.Finish();
}
