#include "shared/file_identity.h"

#include "shared/cng.h"
#include "shared/files.h"
#include "shared/sha256.h"
#include "shared/unique_handle.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace {

constexpr char kRecordsHeader[] = "KESTROVA-FILE-RECORDS-1";
constexpr DWORD kReadBlockBytes = 1 << 20;

uint64_t Combined(DWORD high, DWORD low) { return (static_cast<uint64_t>(high) << 32) | low; }
uint64_t TimeValue(const FILETIME& time) { return Combined(time.dwHighDateTime, time.dwLowDateTime); }

std::string KeyOf(const std::string& name) {
    std::string key = name;
    if (!key.empty()) ::CharLowerBuffA(&key[0], static_cast<DWORD>(key.size()));
    return key;
}

bool IsLowerHex(const std::string& text, size_t digits) {
    return text.size() == digits && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

bool ParseHexNumber(const std::string& text, uint64_t* value) {
    if (text.empty() || text.size() > 16 || text.find_first_not_of("0123456789abcdef") != std::string::npos) {
        return false;
    }
    *value = std::strtoull(text.c_str(), nullptr, 16);
    return true;
}

// "<length> <last write> <change> <volume> <index> <sha256> <md5 or -> <name>", numbers in hexadecimal.
std::string FormatLine(const std::string& name, const FileRecord& record) {
    const FileIdentity& id = record.identity;
    char numbers[128];
    std::snprintf(numbers, sizeof(numbers), "%" PRIx64 " %" PRIx64 " %" PRIx64 " %" PRIx32 " %" PRIx64, id.length,
                  id.lastWriteTime, id.changeTime, id.volumeSerial, id.fileIndex);
    return std::string(numbers) + " " + record.digests.sha256 + " " +
           (record.digests.md5.empty() ? "-" : record.digests.md5) + " " + name + "\n";
}

bool ParseLine(const std::string& line, std::string* name, FileRecord* record) {
    std::istringstream fields(line);
    std::string length, lastWrite, change, volume, index, sha256, md5;
    if (!(fields >> length >> lastWrite >> change >> volume >> index >> sha256 >> md5)) return false;
    uint64_t volumeSerial = 0;
    FileIdentity& id = record->identity;
    if (!ParseHexNumber(length, &id.length) || !ParseHexNumber(lastWrite, &id.lastWriteTime) ||
        !ParseHexNumber(change, &id.changeTime) || !ParseHexNumber(volume, &volumeSerial) ||
        volumeSerial > UINT32_MAX || !ParseHexNumber(index, &id.fileIndex) || !IsLowerHex(sha256, 64) ||
        !(md5 == "-" || IsLowerHex(md5, 32))) {
        return false;
    }
    id.volumeSerial = static_cast<uint32_t>(volumeSerial);
    record->digests.sha256 = sha256;
    record->digests.md5 = md5 == "-" ? std::string() : md5;
    // The name is the rest of the line after one space: it may hold spaces of its own.
    const std::streamoff at = fields.tellg();
    if (at < 0 || static_cast<size_t>(at) + 1 >= line.size() || line[static_cast<size_t>(at)] != ' ') return false;
    *name = line.substr(static_cast<size_t>(at) + 1);
    return true;
}

// The whole text of a small file; empty when it is missing, unreadable or not small.
std::string ReadRecordsText(const std::string& path) {
    constexpr uint64_t kMaxRecordsBytes = 16 * 1024 * 1024;
    UniqueFileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.get(), &size) || static_cast<uint64_t>(size.QuadPart) > kMaxRecordsBytes) {
        return std::string();
    }
    std::string text(static_cast<size_t>(size.QuadPart), '\0');
    DWORD got = 0;
    if (!text.empty() && (!::ReadFile(file.get(), &text[0], static_cast<DWORD>(text.size()), &got, nullptr) ||
                          got != text.size())) {
        return std::string();
    }
    return text;
}

}  // namespace

bool operator==(const FileIdentity& a, const FileIdentity& b) {
    return a.length == b.length && a.lastWriteTime == b.lastWriteTime && a.changeTime == b.changeTime &&
           a.volumeSerial == b.volumeSerial && a.fileIndex == b.fileIndex;
}

std::optional<FileIdentity> IdentityOf(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION information{};
    FILE_BASIC_INFO basic{};
    if (!::GetFileInformationByHandle(file, &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
        !::GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof(basic))) {
        return std::nullopt;
    }
    FileIdentity identity;
    identity.length = Combined(information.nFileSizeHigh, information.nFileSizeLow);
    identity.lastWriteTime = TimeValue(information.ftLastWriteTime);
    identity.changeTime = static_cast<uint64_t>(basic.ChangeTime.QuadPart);
    identity.volumeSerial = information.dwVolumeSerialNumber;
    identity.fileIndex = Combined(information.nFileIndexHigh, information.nFileIndexLow);
    return identity;
}

std::optional<FileIdentity> IdentityOfPath(const std::string& path) {
    UniqueFileHandle file(::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    return IdentityOf(file.get());
}

std::optional<FileDigests> HashOpenFile(HANDLE file, bool withMd5) {
    LARGE_INTEGER start{};
    if (!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return std::nullopt;
    Sha256Hasher sha256;
    std::optional<CngHasher> md5;
    if (withMd5) md5.emplace(BCRYPT_MD5_ALGORITHM);
    std::vector<char> block(kReadBlockBytes);
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(file, block.data(), kReadBlockBytes, &got, nullptr)) return std::nullopt;
        if (got == 0) break;
        sha256.Add(block.data(), got);
        if (md5) md5->Add(block.data(), got);
    }
    FileDigests digests;
    const std::optional<std::string> sha256Digest = sha256.Finish();
    if (!sha256Digest) return std::nullopt;
    digests.sha256 = LowerHex(*sha256Digest);
    if (md5) {
        const std::optional<std::string> md5Digest = md5->Finish();
        if (!md5Digest) return std::nullopt;
        digests.md5 = LowerHex(*md5Digest);
    }
    return digests;
}

std::optional<FileRecord> RecordOpenFile(HANDLE file, bool withMd5) {
    const std::optional<FileIdentity> before = IdentityOf(file);
    if (!before) return std::nullopt;
    std::optional<FileDigests> digests = HashOpenFile(file, withMd5);
    const std::optional<FileIdentity> after = IdentityOf(file);
    if (!digests || !after || *after != *before) return std::nullopt;
    return FileRecord{*before, std::move(*digests)};
}

FileRecords FileRecords::Load(const std::string& path) {
    FileRecords records;
    std::istringstream lines(ReadRecordsText(path));
    std::string line;
    if (!std::getline(lines, line) || line != kRecordsHeader) return records;
    while (std::getline(lines, line)) {
        std::string name;
        FileRecord record;
        if (ParseLine(line, &name, &record)) records.Set(name, record);
    }
    return records;
}

Win32Result FileRecords::Save(const std::string& path) const {
    std::string text = std::string(kRecordsHeader) + "\n";
    for (const auto& entry : m_records) text += FormatLine(entry.second.name, entry.second.record);
    return WriteFileInPlace(path, text);
}

const FileRecord* FileRecords::Find(const std::string& name) const {
    const auto found = m_records.find(KeyOf(name));
    return found == m_records.end() ? nullptr : &found->second.record;
}

void FileRecords::Set(const std::string& name, const FileRecord& record) {
    // A line end in a name would split its record; such a name is no file name anyway.
    if (name.empty() || name.find_first_of("\r\n") != std::string::npos) return;
    m_records[KeyOf(name)] = Named{name, record};
}

bool FileRecords::Remove(const std::string& name) { return m_records.erase(KeyOf(name)) != 0; }

std::vector<std::pair<std::string, FileRecord>> FileRecords::Entries() const {
    std::vector<std::pair<std::string, FileRecord>> entries;
    for (const auto& entry : m_records) entries.emplace_back(entry.second.name, entry.second.record);
    return entries;
}
