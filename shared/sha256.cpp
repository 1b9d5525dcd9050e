#include "shared/sha256.h"

#include "shared/cng.h"

std::optional<std::string> FileSha256(const std::string& path) {
    const auto digest = HashFile(path, BCRYPT_SHA256_ALGORITHM);
    if (!digest) return std::nullopt;
    return LowerHex(*digest);
}

std::optional<std::string> Sha256Of(const std::string& bytes) {
    CngHasher hasher(BCRYPT_SHA256_ALGORITHM);
    hasher.Add(bytes.data(), bytes.size());
    return hasher.Finish();
}
