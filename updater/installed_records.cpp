#include "updater/installed_records.h"

#include "shared/diagnostic_log.h"
#include "shared/text.h"
#include "shared/unique_handle.h"
#include "shared/win32_result.h"

#include <windows.h>

namespace {

std::string RecordsPath(const std::string& installDir) { return installDir + "\\" + kInstalledRecordsFileName; }

std::string FileSystemOf(const std::string& folder) {
    constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    UniqueFileHandle handle(::CreateFileA(folder.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    wchar_t name[MAX_PATH + 1] = L"";
    if (!handle ||
        !::GetVolumeInformationByHandleW(handle.get(), nullptr, 0, nullptr, nullptr, nullptr, name, MAX_PATH + 1)) {
        return std::string();
    }
    return WideToAnsi(name);
}

}  // namespace

bool FileSystemKeepsChangeTimes(const std::string& fileSystemName) {
    return ::_stricmp(fileSystemName.c_str(), "NTFS") == 0 || ::_stricmp(fileSystemName.c_str(), "ReFS") == 0;
}

FileRecords LoadInstalledRecords(const std::string& installDir) {
    const std::string fileSystem = FileSystemOf(installDir);
    if (!FileSystemKeepsChangeTimes(fileSystem)) {
        LogLine("the installation's records are not used on a volume of \"%s\": every file is hashed",
                fileSystem.c_str());
        return FileRecords();
    }
    FileRecords records = FileRecords::Load(RecordsPath(installDir));
    LogLine("the installation's records name %zu files", records.Count());
    return records;
}

std::optional<InstalledFile> InstalledFileOf(const FileRecords& records, const std::string& name,
                                             const std::string& path) {
    UniqueFileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return std::nullopt;
    const FileRecord* kept = records.Find(name);
    if (kept != nullptr && IdentityOf(file.get()) == kept->identity) return InstalledFile{*kept, true};
    std::optional<FileRecord> hashed = RecordOpenFile(file.get(), true);
    if (!hashed) return std::nullopt;
    return InstalledFile{std::move(*hashed), false};
}

bool SaveInstalledRecords(const std::string& installDir, const FileRecords& records) {
    FileRecords still;
    for (const auto& [name, record] : records.Entries()) {
        if (IdentityOfPath(installDir + "\\" + name) == record.identity) still.Set(name, record);
    }
    if (const Win32Result saved = still.Save(RecordsPath(installDir)); !saved) {
        LogLine("could not record the installed files (error %lu)", saved.Code());
        return false;
    }
    LogLine("recorded %zu installed files", still.Count());
    return true;
}
