#include "shared/files.h"

#include "shared/unique_handle.h"

#include <direct.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// The C runtime's paths work within MAX_PATH bytes.
constexpr size_t kMaxText = MAX_PATH - 1;

bool IsDotEntry(const char* name) { return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0; }

bool IsReparsePoint(const std::string&, unsigned long attributes) {
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Removes the link, not what it points to.
void RemoveLink(const std::string& path, DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        ::RemoveDirectoryA(path.c_str());
    } else {
        ::DeleteFileA(path.c_str());
    }
}

}  // namespace

bool EnsureDirectory(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
    return ::CreateDirectoryA(path.c_str(), nullptr) != FALSE;
}

int RemoveTree(const char* path) { return RemoveTreeWith(path, IsReparsePoint); }

int RemoveTreeWith(const char* path, LinkTest isLink) {
    if (path == nullptr) return -1;
    const std::string dir(path);
    const std::string pattern = dir + "\\*.*";
    if (pattern.size() > kMaxText) return -3;
    // A junction or symbolic link is removed itself, never entered: the updater runs as
    // administrator, and a link planted in its folder must not let it delete elsewhere.
    const DWORD rootAttributes = ::GetFileAttributesA(path);
    if (rootAttributes != INVALID_FILE_ATTRIBUTES && isLink(dir, rootAttributes)) {
        RemoveLink(dir, rootAttributes);
        return 1;
    }
    WIN32_FIND_DATAA entry;
    UniqueFindHandle search(::FindFirstFileA(pattern.c_str(), &entry));
    if (!search) return -3;
    do {
        const std::string child = dir + "\\" + entry.cFileName;
        if (isLink(child, entry.dwFileAttributes)) {
            RemoveLink(child, entry.dwFileAttributes);
        } else if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!IsDotEntry(entry.cFileName)) RemoveTreeWith(child.c_str(), isLink);
        } else {
            std::remove(child.c_str());
        }
    } while (::FindNextFileA(search.get(), &entry));
    search.reset();
    ::_rmdir(path);
    return 1;
}

bool FileExists(const std::string& path) {
    // The attributes, not a directory search: a search would take "*" or "?" in the name
    // as a pattern and find some other file.
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

long long FileSizeOf(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::string StagingPathOf(const std::string& finalPath) { return finalPath + ".partial"; }

Win32Result MoveIntoPlace(const std::string& completePath, const std::string& finalPath) {
    return Win32Result::Of(
        ::MoveFileExA(completePath.c_str(), finalPath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
}

Win32Result WriteFileInPlace(const std::string& finalPath, const std::string& bytes) {
    const std::string staging = StagingPathOf(finalPath);
    Win32Result written;
    {
        UniqueFileHandle file(::CreateFileA(staging.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD count = 0;
        written = Win32Result::Of(file.valid());
        if (written) {
            written = Win32Result::Of(
                ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &count, nullptr));
        }
        if (written && count != bytes.size()) written = Win32Result::Failure(ERROR_DISK_FULL);  // a short write
        if (written) written = Win32Result::Of(::FlushFileBuffers(file.get()));
    }
    if (written) written = MoveIntoPlace(staging, finalPath);
    if (!written) ::DeleteFileA(staging.c_str());
    return written;
}

void ListFiles(const std::string& dir, std::vector<std::string>& paths, std::vector<std::string>& names) {
    const std::string pattern = dir + "\\*";
    _finddata_t entry;
    UniqueCrtFind search(::_findfirst(pattern.c_str(), &entry));
    if (!search) return;
    do {
        if (entry.attrib & _A_SUBDIR) continue;
        paths.push_back(dir + "\\" + entry.name);
        names.push_back(entry.name);
    } while (::_findnext(search.get(), &entry) == 0);
}

bool ReadFileInBlocks(const std::string& path, const std::function<void(const char*, size_t)>& consume) {
    UniqueStdioFile file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        std::fprintf(stderr, "fopen %s failed\n", path.c_str());
        return false;
    }
    // Large reads go straight into the buffer, one system call each.
    std::vector<char> block(1 << 20);
    size_t got;
    while ((got = std::fread(block.data(), 1, block.size(), file.get())) > 0) consume(block.data(), got);
    return std::ferror(file.get()) == 0;
}
