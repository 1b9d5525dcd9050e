#pragma once
// Signs update lists the way the maker does, with CNG, for tests of the updater's check.

#include "shared/cng.h"

#include <string>

class SigningKey {
public:
    // A fresh key that no build knows.
    static SigningKey Generate();
    // A key written by the publishing tool's keygen as X, Y and d in hexadecimal.
    static SigningKey FromHexFile(const std::string& path);

    bool valid() const { return key_.valid(); }
    // X||Y as 128 lowercase hexadecimal digits, as a build takes it.
    std::string PublicHex() const;
    // base64 of r||s over the update message of version and the list's bytes.
    std::string SignUpdate(const std::string& version, const std::string& listBody) const;

private:
    UniqueCngKey key_;
};
