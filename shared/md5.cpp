#include "shared/md5.h"

#include "shared/cng.h"

std::optional<std::string> FileMd5(const std::string& path) {
    const auto digest = HashFile(path, BCRYPT_MD5_ALGORITHM);
    if (!digest) return std::nullopt;
    return LowerHex(*digest);
}
