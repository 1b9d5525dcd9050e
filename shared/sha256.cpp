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

Sha256Hasher::Sha256Hasher() : onExtensions_(ExtensionsPresent()) {
    if (!onExtensions_) cng_.emplace(BCRYPT_SHA256_ALGORITHM);
    std::memcpy(state_, kInitialState, sizeof(state_));
}

void Sha256Hasher::AddBlocks(const unsigned char* blocks, size_t count) { Sha256Blocks(state_, blocks, count); }

void Sha256Hasher::Add(const void* data, size_t size) {
    if (cng_) {
        cng_->Add(data, size);
        return;
    }
    auto bytes = static_cast<const unsigned char*>(data);
    totalBytes_ += size;
    if (pendingBytes_ > 0) {
        const size_t taken = std::min(size, sizeof(pending_) - pendingBytes_);
        std::memcpy(pending_ + pendingBytes_, bytes, taken);
        pendingBytes_ += taken;
        bytes += taken;
        size -= taken;
        if (pendingBytes_ < sizeof(pending_)) return;
        AddBlocks(pending_, 1);
        pendingBytes_ = 0;
    }
    AddBlocks(bytes, size / 64);
    pendingBytes_ = size % 64;
    std::memcpy(pending_, bytes + size - pendingBytes_, pendingBytes_);
}

std::optional<std::string> Sha256Hasher::Finish() {
    if (cng_) return cng_->Finish();
    // The padding: a one bit, zeros, and the length in bits, big-endian, ending a block.
    const uint64_t bits = totalBytes_ * 8;
    unsigned char tail[128] = {0x80};
    const size_t tailBytes = (pendingBytes_ < 56 ? 64 : 128) - pendingBytes_;
    for (int i = 0; i < 8; ++i) tail[tailBytes - 1 - i] = static_cast<unsigned char>(bits >> (8 * i));
    Add(tail, tailBytes);
    std::string digest(32, '\0');
    for (int i = 0; i < 8; ++i) {
        for (int j = 0; j < 4; ++j) digest[4 * i + j] = static_cast<char>(state_[i] >> (24 - 8 * j));
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
