#pragma once
// The digest the update list names each file by (its "id").

#include <optional>
#include <string>

// MD5 of the whole file as 32 lowercase hexadecimal digits; nothing when it cannot be read.
std::optional<std::string> FileMd5(const std::string& path);
