#include "shared/file_names.h"

#include <windows.h>

#include <cstring>

namespace {

bool IsReservedCharacter(unsigned char byte) {
    return byte < 0x20 || byte == 0x7F || std::strchr("<>:\"/\\|?*", byte) != nullptr;
}

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Windows opens the device whatever extension follows: "nul.txt" and "aux.dll" are NUL and AUX.
bool IsDeviceName(const std::string& name) {
    std::string stem = name.substr(0, name.find('.'));
    // The system also ignores spaces before the extension ("CON .txt").
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    for (char& c : stem) c = Upper(c);
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") return true;
    return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
           stem[3] >= '0' && stem[3] <= '9';  // COM0 and LPT0 too, as newer systems reserve them
}

}  // namespace

bool IsPlainFileName(const std::string& name) {
    if (name.empty() || name.back() == '.' || name.back() == ' ') return false;  // also "." and ".."
    for (size_t i = 0; i < name.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(name[i]);
        // A trail byte of a double-byte character may equal '\\' without being a separator.
        if (::IsDBCSLeadByte(byte) && i + 1 < name.size()) {
            ++i;
            continue;
        }
        if (IsReservedCharacter(byte)) return false;
    }
    return !IsDeviceName(name);
}
