#include "shared/file_names.h"

#include <windows.h>

bool IsPlainFileName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (size_t i = 0; i < name.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(name[i]);
        // A trail byte of a double-byte character may equal '\\' without being a separator.
        if (::IsDBCSLeadByte(byte) && i + 1 < name.size()) {
            ++i;
            continue;
        }
        if (byte == '\\' || byte == '/' || byte == ':') return false;
    }
    return true;
}
