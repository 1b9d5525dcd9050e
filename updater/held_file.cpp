#include "updater/held_file.h"

#include <windows.h>

#include <cstring>
#include <vector>

HeldFile::HeldFile(const std::string& path)
    : m_file(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr)),
      m_opened(Win32Result::Of(m_file.valid())) {}

std::optional<FileDigests> HeldFile::Digests() {
    if (!m_file) return std::nullopt;
    return HashOpenFile(m_file.get(), true);
}

std::optional<FileIdentity> HeldFile::Identity() const {
    if (!m_file) return std::nullopt;
    return IdentityOf(m_file.get());
}

Win32Result HeldFile::MoveTo(const std::string& target, bool replace) {
    if (!m_file) return Win32Result::Failure(ERROR_INVALID_HANDLE);
    // The system's own form of the path ("\??\C:\..."), which every version takes as it is.
    const int length = ::MultiByteToWideChar(CP_ACP, 0, target.c_str(), -1, nullptr, 0);
    if (length <= 1) return Win32Result::LastError();
    std::wstring name = L"\\??\\" + std::wstring(static_cast<size_t>(length - 1), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, target.c_str(), -1, &name[4], length);
    const size_t nameBytes = name.size() * sizeof(wchar_t);
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = replace ? TRUE : FALSE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(nameBytes);
    std::memcpy(rename->FileName, name.data(), nameBytes);
    const Win32Result renamed = Win32Result::Of(
        ::SetFileInformationByHandle(m_file.get(), FileRenameInfo, rename, static_cast<DWORD>(buffer.size())));
    return renamed ? Win32Result::Of(::FlushFileBuffers(m_file.get())) : renamed;
}
