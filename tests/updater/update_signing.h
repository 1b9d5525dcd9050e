#pragma once
// Update lists signed as the maker signs them, for the updater's tests.

#include "tests/support/signing_key.h"
#include "updater/update_signature.h"

#include <string>

// base64 of r||s over the message of version and list; empty when signing failed.
inline std::string SignUpdate(const SigningKey& key, const std::string& version, const std::string& listBody) {
    return key.Sign(SignedUpdateMessage(version, listBody));
}
