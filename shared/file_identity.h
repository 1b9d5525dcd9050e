#pragma once
// What a file is right now, told without reading it, and records of verified files that
// stand for hashing them again. The identity is the file's length, its last-write and
// change times (FILE_BASIC_INFO.ChangeTime, which SetFileTime cannot set back) and its
// place on its volume (volume serial and file index): a write, a replacement, a rename
// over it or a change of its times moves at least one of them. A file whose identity still
// equals its record counts as having the recorded digests; any difference means it is hashed.
// Records of the files of one folder are kept in one text file, written atomically.

#include "shared/win32_result.h"

#include <windows.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct FileIdentity {
    uint64_t length = 0;
    uint64_t lastWriteTime = 0;  // FILETIME as one number: 100 ns since 1601
    uint64_t changeTime = 0;     // the same, of the last change of data or metadata
    uint32_t volumeSerial = 0;
    uint64_t fileIndex = 0;
};
bool operator==(const FileIdentity& a, const FileIdentity& b);
inline bool operator!=(const FileIdentity& a, const FileIdentity& b) { return !(a == b); }

// The identity of an open file (any access); nothing when the system cannot tell it.
std::optional<FileIdentity> IdentityOf(HANDLE file);
// The same by path, through a handle that shares everything; nothing for a missing file or a folder.
std::optional<FileIdentity> IdentityOfPath(const std::string& path);

struct FileDigests {
    std::string sha256;  // 64 lowercase hexadecimal digits
    std::string md5;     // 32 of them, or empty when not asked for
};

// Reads the open file (opened with read access) from its start to its end; nothing when
// a read fails. The file position moves.
std::optional<FileDigests> HashOpenFile(HANDLE file, bool withMd5);

struct FileRecord {
    FileIdentity identity;
    FileDigests digests;
};

// A record of the open file: its identity, its digests and its identity again; nothing
// when it cannot be read or changed meanwhile. Open it denying writers, so that it cannot.
std::optional<FileRecord> RecordOpenFile(HANDLE file, bool withMd5);

// Records of the files of one folder by file name, letter case ignored as the file system
// ignores it.
class FileRecords {
public:
    // The records kept in the file at path: none when it is missing or unreadable; a line
    // that does not read as a record is skipped, so that file is hashed again.
    static FileRecords Load(const std::string& path);
    // Written beside path, flushed to the disk and moved over it in one step.
    Win32Result Save(const std::string& path) const;

    const FileRecord* Find(const std::string& name) const;
    void Set(const std::string& name, const FileRecord& record);
    // False when there was no record of that name.
    bool Remove(const std::string& name);
    size_t Count() const { return m_records.size(); }
    // Every record with its name as given, ordered by name.
    std::vector<std::pair<std::string, FileRecord>> Entries() const;

private:
    struct Named {
        std::string name;  // as given
        FileRecord record;
    };
    std::map<std::string, Named> m_records;  // by the name in lower case
};
