#include "shared/folder_copier.h"

#include "shared/unique_handle.h"

#include <cstring>

namespace {

constexpr char kBackupSuffix[] = "bak";

// Names of all entries but "." and "..", in search order; false when the search cannot start.
bool ListEntryNames(const std::string& dir, std::vector<std::string>& names) {
    const std::string pattern = dir + "\\*.*";
    _finddata_t entry;
    UniqueCrtFind search(::_findfirst(pattern.c_str(), &entry));
    if (!search) return false;
    do {
        if (std::strcmp(entry.name, ".") != 0 && std::strcmp(entry.name, "..") != 0) names.push_back(entry.name);
    } while (::_findnext(search.get(), &entry) == 0);
    return true;
}

bool CopyStream(FILE* from, FILE* to) {
    static constexpr size_t kBlock = 1 << 16;
    std::vector<char> buffer(kBlock);
    size_t got;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), from)) > 0) {
        if (std::fwrite(buffer.data(), 1, got, to) != got) return false;
    }
    return !std::ferror(from);
}

}  // namespace

bool FolderCopier::Copy(const std::string& source, const std::string& destination) {
    source_ = source;
    destination_ = destination;
    backups_.clear();
    if (source_.find('\\') == std::string::npos) return false;

    std::vector<std::string> names;
    if (!ListEntryNames(source_, names)) {
        std::printf("%s not found\n", source_.c_str());
        return false;
    }
    if (names.empty()) return false;

    for (const std::string& name : names) {
        if (!CopyEntry(name)) {
            RollBack();
            return false;
        }
    }
    return true;
}

bool FolderCopier::CopyEntry(const std::string& name) {
    const std::string sourcePath = source_ + "\\" + name;
    const std::string targetPath = destination_ + "\\" + name;

    UniqueStdioFile from(std::fopen(sourcePath.c_str(), "rb"));
    if (!from) return false;

    if (::GetFileAttributesA(targetPath.c_str()) != INVALID_FILE_ATTRIBUTES) {
        const std::string backupPath = targetPath + kBackupSuffix;
        std::remove(backupPath.c_str());
        // Without a backup the old file could not be restored, so stop before touching it.
        if (std::rename(targetPath.c_str(), backupPath.c_str()) != 0) return false;
        backups_.push_back(backupPath);
    }

    UniqueStdioFile to(std::fopen(targetPath.c_str(), "wb"));
    if (!to) return false;
    // A short write (a full disk) would leave a truncated program in the installation.
    const bool copied = CopyStream(from.get(), to.get());
    return std::fclose(to.release()) == 0 && copied;
}

void FolderCopier::RollBack() {
    for (const std::string& backup : backups_) {
        const std::string original = backup.substr(0, backup.size() - (sizeof(kBackupSuffix) - 1));
        ::MoveFileExA(backup.c_str(), original.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    backups_.clear();
}
