#include "shared/cng.h"

#include "shared/files.h"

CngHasher::CngHasher(LPCWSTR algorithm) {
    m_failed = !CngSucceeded(::BCryptOpenAlgorithmProvider(m_algorithm.put(), algorithm, nullptr, 0)) ||
              !CngSucceeded(::BCryptCreateHash(m_algorithm.get(), m_hash.put(), nullptr, 0, nullptr, 0, 0));
}

void CngHasher::Add(const void* data, size_t size) {
    if (m_failed) return;
    // The pieces are file blocks and update lists, far below CNG's ULONG counts.
    m_failed = !CngSucceeded(
        ::BCryptHashData(m_hash.get(), static_cast<PUCHAR>(const_cast<void*>(data)), static_cast<ULONG>(size), 0));
}

std::optional<std::string> CngHasher::Finish() {
    DWORD length = 0;
    ULONG written = 0;
    if (m_failed || !CngSucceeded(::BCryptGetProperty(m_algorithm.get(), BCRYPT_HASH_LENGTH,
                                                     reinterpret_cast<PUCHAR>(&length), sizeof(length), &written, 0))) {
        return std::nullopt;
    }
    std::string digest(length, '\0');
    if (!CngSucceeded(::BCryptFinishHash(m_hash.get(), reinterpret_cast<PUCHAR>(digest.data()), length, 0))) {
        return std::nullopt;
    }
    m_failed = true;  // a finished hash takes no more data
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
