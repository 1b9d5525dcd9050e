#pragma once
// The signed update list, kept in the temporary directory beside the journal. Whoever
// could write that directory could otherwise write a journal and the files it names, and
// have them installed as administrator at the next start: in a build with keys the
// installation (and recovery after a crash) takes each new file's digest only from a
// list one of the built-in keys signed.

#include "updater/update_list.h"

#include <optional>
#include <string>
#include <vector>

inline constexpr char kKeptListFileName[] = "signed.list";

struct KeptList {
    std::string version;    // the version text the signature binds
    std::string signature;  // the "/U.sig" reply as received
    std::string body;       // the "/U" reply's bytes as received
};

// Written and flushed to the disk; false when it is not there in full.
bool KeepSignedList(const std::string& tempDir, const KeptList& list);

// The kept list's entries, when it is there, was signed by one of keys for version, and
// names a SHA-256 for every entry; else nothing, and the log says why.
std::optional<std::vector<UpdateEntry>> ReadKeptList(const std::string& tempDir, const std::string& keys,
                                                     const std::string& version);
