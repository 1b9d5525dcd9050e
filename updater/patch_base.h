#pragma once
// The installed copy a patch is applied to. The patch's matches reach anywhere into it, so
// it is read whole into memory, and its digest is taken from the very bytes the decoder
// will use.

#include "updater/update_list.h"

#include <optional>
#include <string>

struct PatchBase {
    std::string bytes;
    std::string sha256;  // 64 lowercase hexadecimal digits
};

// Nothing when the file is missing, cannot be read, or is longer than a patch's window;
// why then says which.
std::optional<PatchBase> ReadPatchBase(const std::string& path, const char** why);

// The entry's patch made from the base with this SHA-256, or null.
const PatchSource* PatchFrom(const UpdateEntry& entry, const std::string& baseSha256);
