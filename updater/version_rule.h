#pragma once

#include <string>

// Versions are compared as raw bytes, not as numbers: the first differing byte decides
// (the smaller one is older), and a proper prefix is older than the longer text.
bool IsOlderVersion(const std::string& candidate, const std::string& other);
