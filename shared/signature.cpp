#include "shared/signature.h"

#include "shared/cng.h"
#include "shared/sha256.h"

#include <wincrypt.h>

#include <optional>

namespace {

constexpr size_t kCoordinateBytes = 32;  // P-256
constexpr size_t kSignatureBytes = 2 * kCoordinateBytes;
constexpr size_t kSignatureBase64Chars = (kSignatureBytes + 2) / 3 * 4;
constexpr size_t kKeyHexDigits = 4 * kCoordinateBytes;

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The public key blob CNG imports: its header, then X and Y.
std::optional<std::string> PublicKeyBlob(const std::string& hex) {
    if (hex.size() != kKeyHexDigits) return std::nullopt;
    BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, static_cast<ULONG>(kCoordinateBytes)};
    std::string blob(reinterpret_cast<const char*>(&header), sizeof(header));
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int high = HexValue(hex[i]);
        const int low = HexValue(hex[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        blob.push_back(static_cast<char>(high * 16 + low));
    }
    return blob;
}

std::optional<std::string> DecodeSignature(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return std::nullopt;
    const std::string trimmed = text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
    // Only the one padded form: decoders differ in what they make of text after the padding.
    std::string bytes(kSignatureBytes + 1, '\0');
    DWORD size = static_cast<DWORD>(bytes.size());
    if (trimmed.size() != kSignatureBase64Chars ||
        !::CryptStringToBinaryA(trimmed.c_str(), static_cast<DWORD>(trimmed.size()), CRYPT_STRING_BASE64,
                                reinterpret_cast<BYTE*>(bytes.data()), &size, nullptr, nullptr) ||
        size != kSignatureBytes) {
        return std::nullopt;
    }
    bytes.resize(size);
    return bytes;
}

bool VerifiesWithKey(const UniqueCngAlgorithm& algorithm, const std::string& keyHex, std::string digest,
                     std::string signature) {
    std::optional<std::string> blob = PublicKeyBlob(keyHex);
    UniqueCngKey key;
    if (!blob || !CngSucceeded(::BCryptImportKeyPair(algorithm.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, key.put(),
                                                      reinterpret_cast<PUCHAR>(blob->data()),
                                                      static_cast<ULONG>(blob->size()), 0))) {
        return false;
    }
    return ::BCryptVerifySignature(key.get(), nullptr, reinterpret_cast<PUCHAR>(digest.data()),
                                   static_cast<ULONG>(digest.size()), reinterpret_cast<PUCHAR>(signature.data()),
                                   static_cast<ULONG>(signature.size()), 0) == 0;  // STATUS_SUCCESS
}

}  // namespace

bool IsSignedByOneOf(const std::string& keys, const std::string& message, const std::string& signatureText) {
    const std::optional<std::string> signature = DecodeSignature(signatureText);
    const std::optional<std::string> digest = Sha256Of(message);
    UniqueCngAlgorithm algorithm;
    if (!signature || !digest ||
        !CngSucceeded(::BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0))) {
        return false;
    }
    size_t start = 0;
    while (start <= keys.size()) {
        size_t end = keys.find(',', start);
        if (end == std::string::npos) end = keys.size();
        if (VerifiesWithKey(algorithm, keys.substr(start, end - start), *digest, *signature)) return true;
        start = end + 1;
    }
    return false;
}

bool IsLowerHexSha256(const std::string& text) {
    return text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}
