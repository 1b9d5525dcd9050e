#pragma once
// The maker's detached signatures, one implementation for both programs: ECDSA over P-256
// with SHA-256, verified through Windows CNG. The updater checks update lists with it and
// the toolbox its catalogues, with the same built-in keys (KESTROVA_UPDATE_KEY).

#include <cstddef>
#include <string>

// A signature reply is 88 characters of base64; anything much longer is no signature.
inline constexpr size_t kSignatureReplyMaxBytes = 1024;

// Whether signatureText (base64 of r||s, 64 bytes: 88 characters with the padding; white
// space around it is allowed) is a signature of message by one of keys (X||Y as 128
// hexadecimal digits each, separated by commas). No key, a malformed key or a malformed
// signature: false.
bool IsSignedByOneOf(const std::string& keys, const std::string& message, const std::string& signatureText);

// Whether text is a SHA-256 as the maker's lists name it: 64 lowercase hexadecimal digits.
bool IsLowerHexSha256(const std::string& text);
