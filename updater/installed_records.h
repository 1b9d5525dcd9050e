#pragma once
// The record of the installation's files: after each installation the updater keeps,
// for every file of the update list, its identity and digests (shared/file_identity.h) in
// one file of the installation folder, so that the next update tells which files are
// current without reading them. A file whose identity moved, a file without a record, and
// every file when the record is missing, damaged or on a volume that keeps no change
// times, are hashed.

#include "shared/file_identity.h"

#include <optional>
#include <string>

// In the installation folder; the installation writes it beside itself through its
// staging name, so no update entry may use either name.
inline constexpr char kInstalledRecordsFileName[] = "installed.records";
inline constexpr char kInstalledRecordsStagingName[] = "installed.records.partial";

// What the worker learnt of the update's files, so that the installation neither reads
// them again nor records them from nothing.
struct KnownFiles {
    FileRecords arrived;  // each download: its identity once flushed, its digests as it arrived
    FileRecords current;  // each installed file found current: its record, kept or just made
};

// Whether identities on a volume of this file system move with every write. FAT keeps no
// change time, and a last-write time can be set back, so a rewrite would go unseen there.
bool FileSystemKeepsChangeTimes(const std::string& fileSystemName);

// The installation's records; none when they cannot be trusted on its volume.
FileRecords LoadInstalledRecords(const std::string& installDir);

struct InstalledFile {
    FileRecord record;
    bool fromRecord = false;  // its identity matched the record: nothing was read
};
// The installed file's identity and digests: the record's when its identity still
// matches, else hashed through a handle that denies writers. Nothing for a missing or
// unreadable file.
std::optional<InstalledFile> InstalledFileOf(const FileRecords& records, const std::string& name,
                                             const std::string& path);

// Replaces the installation's records with these, each kept only while the file's
// identity still matches it. False when the file could not be written.
bool SaveInstalledRecords(const std::string& installDir, const FileRecords& records);
