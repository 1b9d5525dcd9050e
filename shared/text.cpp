#include "shared/text.h"

#include <windows.h>

namespace {

std::wstring WideFrom(UINT codePage, const std::string& text) {
    const int units = ::MultiByteToWideChar(codePage, 0, text.c_str(), -1, nullptr, 0);
    if (units <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(units), L'\0');
    ::MultiByteToWideChar(codePage, 0, text.c_str(), -1, wide.data(), units);
    wide.resize(wide.find(L'\0'));
    return wide;
}

}  // namespace

std::wstring Utf8ToWide(const std::string& utf8) { return WideFrom(CP_UTF8, utf8); }

std::wstring AnsiToWide(const std::string& ansi) { return WideFrom(CP_ACP, ansi); }

bool IsValidUtf8(const std::string& text) {
    return ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.c_str(), -1, nullptr, 0) > 0;
}

std::string WideToAnsi(const std::wstring& wide) {
    const int bytes = ::WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return std::string();
    std::string ansi(static_cast<size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, ansi.data(), bytes, nullptr, nullptr);
    ansi.back() = '\0';
    ansi.resize(ansi.find('\0'));
    return ansi;
}

std::vector<std::string> SplitString(const std::string& text, char delimiter) {
    std::vector<std::string> pieces;
    size_t start = 0;
    while (start < text.size()) {
        const size_t found = text.find(delimiter, start);
        if (found == std::string::npos) {
            pieces.push_back(text.substr(start));
            break;
        }
        pieces.push_back(text.substr(start, found - start));
        start = found + 1;
    }
    return pieces;
}

std::string TruncateAnsi(const std::string& text, size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    size_t end = 0;
    while (end < text.size()) {
        const size_t width = ::IsDBCSLeadByte(static_cast<BYTE>(text[end])) ? 2 : 1;
        if (end + width > maxBytes) break;
        end += width;
    }
    return text.substr(0, end);
}
