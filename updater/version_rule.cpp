#include "updater/version_rule.h"

#include <algorithm>

bool IsOlderVersion(const std::string& candidate, const std::string& other) {
    return std::lexicographical_compare(candidate.begin(), candidate.end(), other.begin(), other.end(),
                                        [](char a, char b) {
                                            return static_cast<unsigned char>(a) < static_cast<unsigned char>(b);
                                        });
}
