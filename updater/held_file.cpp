#include "updater/held_file.h"

#include "shared/sha256.h"

#include <windows.h>

#include <cstring>
#include <vector>

HeldFile::HeldFile(const std::string& path)
    : m_file(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr)) {}

std::optional<std::string> HeldFile::Sha256() {
    LARGE_INTEGER start{};
    if (!m_file || !::SetFilePointerEx(m_file.get(), start, nullptr, FILE_BEGIN)) return std::nullopt;
    Sha256Hasher hasher;
    std::vector<char> block(1 << 20);
    for (DWORD read = 0;; hasher.Add(block.data(), read)) {
        if (!::ReadFile(m_file.get(), block.data(), static_cast<DWORD>(block.size()), &read, nullptr)) return std::nullopt;
        if (read == 0) break;
    }
    const std::optional<std::string> digest = hasher.Finish();
    if (!digest) return std::nullopt;
    return LowerHex(*digest);
}

bool HeldFile::MoveTo(const std::string& target, bool replace) {
    // The system's own form of the path ("\??\C:\..."), which every version takes as it is.
    const int length = ::MultiByteToWideChar(CP_ACP, 0, target.c_str(), -1, nullptr, 0);
    if (!m_file || length <= 1) return false;
    std::wstring name = L"\\??\\" + std::wstring(static_cast<size_t>(length - 1), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, target.c_str(), -1, &name[4], length);
    const size_t nameBytes = name.size() * sizeof(wchar_t);
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = replace ? TRUE : FALSE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(nameBytes);
    std::memcpy(rename->FileName, name.data(), nameBytes);
    return ::SetFileInformationByHandle(m_file.get(), FileRenameInfo, rename, static_cast<DWORD>(buffer.size())) &&
           ::FlushFileBuffers(m_file.get());
}
