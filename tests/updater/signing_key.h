#pragma once
// Signs update lists as the maker does, with CNG, for tests of the updater's check.

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
    // base64 of r||s over the message of version and list; empty when signing failed.
    std::string SignUpdate(const std::string& version, const std::string& listBody) const;

private:
    UniqueCngKey m_key;
};
