#pragma once
// The installed copy a patch is applied to. The patch's matches reach anywhere into it, so
// it is read whole into memory, and its digest is taken from the very bytes the decoder
// will use.

#include "updater/update_list.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct PatchBase {
    // Allocated without throwing: a 32-bit process may not find that much room in one
    // piece, and then the next form is fetched.
    std::unique_ptr<char[]> data;
    size_t size = 0;
    std::string sha256;  // 64 lowercase hexadecimal digits

    std::string_view Bytes() const { return {data.get(), size}; }
};

// Nothing when the file is missing, cannot be read, or is longer than a patch's window;
// why then says which.
std::optional<PatchBase> ReadPatchBase(const std::string& path, const char** why);

// The entry's patch made from the base with this SHA-256, or null.
const PatchSource* PatchFrom(const UpdateEntry& entry, const std::string& baseSha256);
