#include "shared/md5.h"

#include "shared/unique_handle.h"

#include <bcrypt.h>

#include <vector>

namespace {

struct AlgorithmTraits {
    using Value = BCRYPT_ALG_HANDLE;
    static Value Invalid() { return nullptr; }
    static void Close(Value v) { ::BCryptCloseAlgorithmProvider(v, 0); }
};
struct HashTraits {
    using Value = BCRYPT_HASH_HANDLE;
    static Value Invalid() { return nullptr; }
    static void Close(Value v) { ::BCryptDestroyHash(v); }
};

bool Succeeded(NTSTATUS status) { return status >= 0; }

}  // namespace

std::optional<std::string> FileMd5(const std::string& path) {
    UniqueStdioFile file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        std::fprintf(stderr, "fopen %s failed\n", path.c_str());
        return std::nullopt;
    }
    UniqueHandle<AlgorithmTraits> algorithm;
    UniqueHandle<HashTraits> hash;
    if (!Succeeded(::BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_MD5_ALGORITHM, nullptr, 0)) ||
        !Succeeded(::BCryptCreateHash(algorithm.get(), hash.put(), nullptr, 0, nullptr, 0, 0))) {
        return std::nullopt;
    }
    std::vector<unsigned char> block(1 << 16);
    size_t got;
    while ((got = std::fread(block.data(), 1, block.size(), file.get())) > 0) {
        if (!Succeeded(::BCryptHashData(hash.get(), block.data(), static_cast<ULONG>(got), 0))) return std::nullopt;
    }
    if (std::ferror(file.get())) return std::nullopt;

    unsigned char digest[16];
    if (!Succeeded(::BCryptFinishHash(hash.get(), digest, sizeof(digest), 0))) return std::nullopt;
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    for (unsigned char byte : digest) {
        text.push_back(kHex[byte >> 4]);
        text.push_back(kHex[byte & 0xF]);
    }
    return text;
}
