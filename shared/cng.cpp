#include "shared/cng.h"

#include "shared/files.h"

CngHasher::CngHasher(LPCWSTR algorithm) {
    failed_ = !CngSucceeded(::BCryptOpenAlgorithmProvider(algorithm_.put(), algorithm, nullptr, 0)) ||
              !CngSucceeded(::BCryptCreateHash(algorithm_.get(), hash_.put(), nullptr, 0, nullptr, 0, 0));
}

void CngHasher::Add(const void* data, size_t size) {
    if (failed_) return;
    // The pieces are file blocks and update lists, far below CNG's ULONG counts.
    failed_ = !CngSucceeded(
        ::BCryptHashData(hash_.get(), static_cast<PUCHAR>(const_cast<void*>(data)), static_cast<ULONG>(size), 0));
}

std::optional<std::string> CngHasher::Finish() {
    DWORD length = 0;
    ULONG written = 0;
    if (failed_ || !CngSucceeded(::BCryptGetProperty(algorithm_.get(), BCRYPT_HASH_LENGTH,
                                                     reinterpret_cast<PUCHAR>(&length), sizeof(length), &written, 0))) {
        return std::nullopt;
    }
    std::string digest(length, '\0');
    if (!CngSucceeded(::BCryptFinishHash(hash_.get(), reinterpret_cast<PUCHAR>(digest.data()), length, 0))) {
        return std::nullopt;
    }
    failed_ = true;  // a finished hash takes no more data
    return digest;
}

std::optional<std::string> HashFile(const std::string& path, LPCWSTR algorithm) {
    CngHasher hasher(algorithm);
    if (!ReadFileInBlocks(path, [&](const char* data, size_t size) { hasher.Add(data, size); })) return std::nullopt;
    return hasher.Finish();
}

std::string LowerHex(const std::string& bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    for (unsigned char byte : bytes) {
        text.push_back(kHex[byte >> 4]);
        text.push_back(kHex[byte & 0xF]);
    }
    return text;
}
