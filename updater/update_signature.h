#pragma once
// Signed updates. The updater runs as administrator and fetches over plain HTTP, so a list
// and digests from the same server prove nothing; a build that carries the maker's public
// keys installs only a list that one of them signed (ECDSA P-256 over SHA-256), and every
// file of it must match the SHA-256 the list names. The check itself is the base layer's
// (shared/signature.h), which the toolbox's catalogues use too.

#include "shared/signature.h"
#include "updater/process_values.h"
#include "updater/update_list.h"

#include <string>
#include <vector>

// What the maker signs: the list's bytes as received, bound to the version text the
// updater records, so that an old signed list cannot be served as a newer version.
std::string SignedUpdateMessage(const std::string& version, const std::string& listBody);

// Whether every entry names its file's SHA-256 as 64 lowercase hexadecimal digits.
bool EveryEntryHasSha256(const std::vector<UpdateEntry>& entries);

// For a build with keys: fetches the list's signature from the server and accepts the
// list only when one of the keys signed it for the server's version and every entry
// names its SHA-256. signature gets the signature's text, without white space around it.
bool IsTrustedUpdateList(const UpdaterValues& values, const std::string& listBody,
                         const std::vector<UpdateEntry>& entries, std::string* signature);
