#include "tests/support/pattern_bytes.h"

#include "shared/md5.h"
#include "tests/support/temp_dir.h"

std::string PatternBytes(size_t count) {
    std::string bytes(count, '\0');
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>((i * 31 + 7) & 0xFF);
    return bytes;
}

std::string PatternBytes(size_t count, int seed) {
    std::string bytes(count, '\0');
    unsigned value = 2166136261u ^ static_cast<unsigned>(seed);
    for (size_t i = 0; i < count; ++i) {
        value = value * 16777619u + 13u;
        bytes[i] = static_cast<char>(value >> 24);
    }
    return bytes;
}

std::string Md5Of(const std::string& bytes) {
    TempDir dir;
    WriteFileBytes(dir.Child("bytes"), bytes);
    return FileMd5(dir.Child("bytes")).value_or("");
}
