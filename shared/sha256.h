#pragma once

#include <optional>
#include <string>

// SHA-256 of the whole file as 64 lowercase hexadecimal digits; nothing when it cannot be read.
std::optional<std::string> FileSha256(const std::string& path);
// SHA-256 of the bytes, as 32 raw bytes; nothing when the system cannot compute it.
std::optional<std::string> Sha256Of(const std::string& bytes);
