#include "toolbox/catalogue/package_records.h"

#include "shared/diagnostic_log.h"
#include "shared/file_identity.h"
#include "shared/unique_handle.h"
#include "shared/win32_result.h"

#include <mutex>

namespace {

// Workers record downloads, loads and clicks check packages: the file is read, changed
// and written back by one of them at a time.
std::mutex g_recordsLock;

}  // namespace

std::string PackageRecordsPath(const std::string& packageDirectory) {
    return packageDirectory + "\\" + kPackageRecordsName;
}

bool RecordVerifiedPackage(const std::string& directory, const std::string& name, const std::string& sha256) {
    const std::optional<FileIdentity> identity = IdentityOfPath(directory + "\\" + name);
    if (!identity) return false;
    std::lock_guard<std::mutex> hold(g_recordsLock);
    FileRecords records = FileRecords::Load(PackageRecordsPath(directory));
    records.Set(name, FileRecord{*identity, FileDigests{sha256, ""}});
    return records.Save(PackageRecordsPath(directory)).Succeeded();
}

void ForgetPackage(const std::string& directory, const std::string& name) {
    std::lock_guard<std::mutex> hold(g_recordsLock);
    FileRecords records = FileRecords::Load(PackageRecordsPath(directory));
    if (records.Remove(name)) records.Save(PackageRecordsPath(directory));
}

bool RecordVouchesFor(const std::string& directory, const std::string& name, HANDLE file, const std::string& sha256,
                      int64_t bytes) {
    const std::optional<FileIdentity> identity = IdentityOf(file);
    if (!identity || bytes < 0 || identity->length != static_cast<uint64_t>(bytes)) return false;
    std::lock_guard<std::mutex> hold(g_recordsLock);
    const FileRecords records = FileRecords::Load(PackageRecordsPath(directory));
    const FileRecord* record = records.Find(name);
    return record != nullptr && record->identity == *identity && record->digests.sha256 == sha256;
}

const char* DescribePackageCheck(PackageCheck check) {
    switch (check) {
    case PackageCheck::Verified:
        return "the package the catalogue names";
    case PackageCheck::Changed:
        return "changed since the maker published it";
    case PackageCheck::Missing:
        return "missing";
    case PackageCheck::Unreadable:
        return "unreadable now";
    }
    return "?";
}

PackageCheck CheckOpenPackage(const std::string& directory, const std::string& name, HANDLE file,
                              const std::string& sha256, int64_t bytes) {
    if (RecordVouchesFor(directory, name, file, sha256, bytes)) return PackageCheck::Verified;
    const std::optional<FileRecord> record = RecordOpenFile(file, false);
    if (!record) return PackageCheck::Unreadable;
    if (bytes < 0 || record->identity.length != static_cast<uint64_t>(bytes) || record->digests.sha256 != sha256) {
        return PackageCheck::Changed;
    }
    std::lock_guard<std::mutex> hold(g_recordsLock);
    FileRecords records = FileRecords::Load(PackageRecordsPath(directory));
    records.Set(name, *record);
    records.Save(PackageRecordsPath(directory));
    return PackageCheck::Verified;
}

HANDLE OpenPackageForCheck(const std::string& path) {
    return ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

void RemoveChangedPackage(const std::string& directory, const std::string& name) {
    const std::string path = directory + "\\" + name;
    if (const Win32Result deleted = Win32Result::Of(::DeleteFileA(path.c_str()));
        !deleted && deleted.Code() != ERROR_FILE_NOT_FOUND) {
        LogLine("the changed package %s could not be removed (error %lu)", path.c_str(), deleted.Code());
    }
    ForgetPackage(directory, name);
}

PackageCheck CheckPackageFile(const std::string& directory, const std::string& name, const std::string& sha256,
                              int64_t bytes) {
    const std::string path = directory + "\\" + name;
    PackageCheck check;
    {
        UniqueFileHandle file(OpenPackageForCheck(path));
        if (!file) {
            const DWORD error = ::GetLastError();
            return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? PackageCheck::Missing
                                                                                  : PackageCheck::Unreadable;
        }
        check = CheckOpenPackage(directory, name, file.get(), sha256, bytes);
    }
    if (check == PackageCheck::Changed) RemoveChangedPackage(directory, name);
    return check;
}
