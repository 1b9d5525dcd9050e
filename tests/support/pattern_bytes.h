#pragma once
// Contents for transfers and files whose every byte the tests check.

#include <cstddef>
#include <string>

// count bytes of the period the reference server's "/_gen/<count>" route sends.
std::string PatternBytes(size_t count);
// count bytes of a pattern that differs with seed, for contents that must not match each other.
std::string PatternBytes(size_t count, int seed);
// Digest of the bytes as 32 lowercase hexadecimal digits.
std::string Md5Of(const std::string& bytes);
