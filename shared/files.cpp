#include "shared/files.h"

#include "shared/text.h"
#include "shared/unique_handle.h"

#include <direct.h>

#include <cstring>

namespace {

// Message boxes and the C runtime's paths both work within MAX_PATH bytes.
constexpr size_t kMaxText = MAX_PATH - 1;

bool IsDotEntry(const char* name) { return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0; }

std::string DirectoryErrorText(const std::string& path) {
    const std::string before = "创建目录[";
    const std::string after = "]失败,请检查权限";
    const size_t room = kMaxText - before.size() - after.size();
    return before + TruncateAnsi(path, room) + after;
}

}  // namespace

bool MakeDirectory(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
    if (::CreateDirectoryA(path.c_str(), nullptr)) return true;
    ::MessageBoxA(nullptr, DirectoryErrorText(path).c_str(), "创建目录失败", MB_ICONERROR | MB_OK);
    return false;
}

int RemoveTree(const char* path) {
    if (path == nullptr) return -1;
    const std::string dir(path);
    const std::string pattern = dir + "\\*.*";
    if (pattern.size() > kMaxText) return -3;
    _finddata_t entry;
    UniqueCrtFind search(::_findfirst(pattern.c_str(), &entry));
    if (!search) return -3;
    do {
        const std::string child = dir + "\\" + entry.name;
        if (entry.attrib & _A_SUBDIR) {
            if (!IsDotEntry(entry.name)) RemoveTree(child.c_str());
        } else {
            std::remove(child.c_str());
        }
    } while (::_findnext(search.get(), &entry) == 0);
    search.reset();
    ::_rmdir(path);
    return 1;
}

bool FileExists(const std::string& path) {
    WIN32_FIND_DATAA found;
    UniqueFindHandle search(::FindFirstFileA(path.c_str(), &found));
    return search.valid();
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
