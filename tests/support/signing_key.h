#pragma once
// Signs as the maker does (ECDSA P-256 over SHA-256), with CNG, for tests of the programs'
// checks of update lists and catalogues.

#include "shared/cng.h"

#include <string>

class SigningKey {
public:
    // A fresh key that no build holds.
    static SigningKey Generate();
    // A private key as keygen --cng-out writes it, a CNG private key blob.
    static SigningKey FromBlobFile(const std::string& path);

    bool valid() const { return m_key.valid(); }
    // X||Y in hexadecimal, as a build takes it.
    std::string PublicHex() const;
    // base64 of r||s over the message's SHA-256; empty when signing failed.
    std::string Sign(const std::string& message) const;

private:
    UniqueCngKey m_key;
};
