#include "tests/support/signing_key.h"

#include "shared/sha256.h"
#include "tests/support/temp_dir.h"

#include <wincrypt.h>

namespace {

// Open for the whole run: the keys made from it must not outlive it.
BCRYPT_ALG_HANDLE EcdsaP256() {
    static const UniqueCngAlgorithm algorithm = [] {
        UniqueCngAlgorithm opened;
        ::BCryptOpenAlgorithmProvider(opened.put(), BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0);
        return opened;
    }();
    return algorithm.get();
}

PUCHAR Bytes(std::string& bytes) { return reinterpret_cast<PUCHAR>(bytes.data()); }

}  // namespace

SigningKey SigningKey::Generate() {
    SigningKey signer;
    if (!CngSucceeded(::BCryptGenerateKeyPair(EcdsaP256(), signer.m_key.put(), 256, 0)) ||
        !CngSucceeded(::BCryptFinalizeKeyPair(signer.m_key.get(), 0))) {
        signer.m_key.reset();
    }
    return signer;
}

SigningKey SigningKey::FromBlobFile(const std::string& path) {
    std::string blob = ReadFileBytes(path);
    SigningKey signer;
    if (!CngSucceeded(::BCryptImportKeyPair(EcdsaP256(), nullptr, BCRYPT_ECCPRIVATE_BLOB, signer.m_key.put(),
                                            Bytes(blob), static_cast<ULONG>(blob.size()), 0))) {
        signer.m_key.reset();
    }
    return signer;
}

std::string SigningKey::PublicHex() const {
    std::string blob(sizeof(BCRYPT_ECCKEY_BLOB) + 64, '\0');
    ULONG size = 0;
    ::BCryptExportKey(m_key.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, Bytes(blob), static_cast<ULONG>(blob.size()), &size,
                      0);
    return LowerHex(blob.substr(sizeof(BCRYPT_ECCKEY_BLOB)));
}

std::string SigningKey::Sign(const std::string& message) const {
    std::string digest = Sha256Of(message).value_or("");
    std::string signature(64, '\0');
    ULONG size = 0;
    ::BCryptSignHash(m_key.get(), nullptr, Bytes(digest), static_cast<ULONG>(digest.size()), Bytes(signature),
                     static_cast<ULONG>(signature.size()), &size, 0);
    char text[128] = "";
    DWORD length = sizeof(text);
    ::CryptBinaryToStringA(reinterpret_cast<const BYTE*>(signature.data()), size,
                           CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF, text, &length);
    return text;
}
