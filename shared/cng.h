#pragma once
// Windows CNG (bcrypt), as digests and signature checks use it: owned handles and a
// one-pass hash.

#include "shared/unique_handle.h"

#include <windows.h>
#include <bcrypt.h>

#include <optional>
#include <string>

inline void CloseCngAlgorithm(BCRYPT_ALG_HANDLE algorithm) noexcept { ::BCryptCloseAlgorithmProvider(algorithm, 0); }
using UniqueCngAlgorithm = UniqueHandle<NullableHandleTraits<BCRYPT_ALG_HANDLE, CloseCngAlgorithm>>;
using UniqueCngHash = UniqueHandle<NullableHandleTraits<BCRYPT_HASH_HANDLE, ::BCryptDestroyHash>>;
using UniqueCngKey = UniqueHandle<NullableHandleTraits<BCRYPT_KEY_HANDLE, ::BCryptDestroyKey>>;

inline bool CngSucceeded(NTSTATUS status) { return status >= 0; }

// One digest computed from pieces, with a CNG hash algorithm such as BCRYPT_MD5_ALGORITHM.
class CngHasher {
public:
    explicit CngHasher(LPCWSTR algorithm);
    void Add(const void* data, size_t size);
    // The raw digest; nothing when any step failed.
    std::optional<std::string> Finish();

private:
    UniqueCngAlgorithm m_algorithm;
    UniqueCngHash m_hash;
    bool m_failed = false;
};

// The raw digest of the whole file; nothing when it cannot be read (with the line
// "fopen <path> failed" on the standard error stream when it cannot be opened).
std::optional<std::string> HashFile(const std::string& path, LPCWSTR algorithm);

// Two lowercase hexadecimal digits per byte.
std::string LowerHex(const std::string& bytes);
