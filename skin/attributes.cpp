#include "skin/attributes.h"

#include <cstdlib>
#include <cstring>

namespace skin_detail {

namespace {

const char* SkipSpaces(const char* p) {
    while (*p == ' ' || *p == '\t') ++p;
    return p;
}

bool ReadInt(const char*& p, int& value) {
    p = SkipSpaces(p);
    char* end = nullptr;
    const long parsed = std::strtol(p, &end, 10);
    if (end == p) return false;
    value = static_cast<int>(parsed);
    p = SkipSpaces(end);
    return true;
}

}  // namespace

int ParseInt(const char* text, int fallback) {
    if (text == nullptr) return fallback;
    const char* p = text;
    int value = fallback;
    return ReadInt(p, value) ? value : fallback;
}

int ParseInts(const char* text, int* values, int count) {
    if (text == nullptr) return 0;
    const char* p = text;
    int read = 0;
    while (read < count) {
        int value = 0;
        if (!ReadInt(p, value)) break;
        values[read++] = value;
        if (*p != ',') break;
        ++p;
    }
    return read;
}

RECT ParseRect(const char* text) {
    int v[4] = {0, 0, 0, 0};
    ParseInts(text, v, 4);
    return RECT{v[0], v[1], v[2], v[3]};
}

SIZE ParseSize(const char* text) {
    int v[2] = {0, 0};
    ParseInts(text, v, 2);
    return SIZE{v[0], v[1]};
}

DWORD ParseColor(const char* text) {
    if (text == nullptr) return 0;
    const char* p = SkipSpaces(text);
    bool hex = false;
    if (*p == '#') {
        hex = true;
        ++p;
    } else if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        hex = true;
        p += 2;
    }
    if (!hex) return static_cast<DWORD>(std::strtoul(p, nullptr, 10));
    char* end = nullptr;
    const DWORD value = static_cast<DWORD>(std::strtoul(p, &end, 16));
    // Six digits name an opaque colour.
    if (end - p == 6) return 0xFF000000u | value;
    return value;
}

bool ParseBool(const char* text) {
    if (text == nullptr) return false;
    return EqualsNoCase(text, "true") || std::strcmp(text, "1") == 0;
}

bool EqualsNoCase(const char* a, const char* b) {
    if (a == nullptr || b == nullptr) return a == b;
    for (; *a && *b; ++a, ++b) {
        char ca = *a >= 'A' && *a <= 'Z' ? static_cast<char>(*a - 'A' + 'a') : *a;
        char cb = *b >= 'A' && *b <= 'Z' ? static_cast<char>(*b - 'A' + 'a') : *b;
        if (ca != cb) return false;
    }
    return *a == *b;
}

}  // namespace skin_detail
