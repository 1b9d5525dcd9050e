#pragma once
// The record of verified packages in the package folder ("soft\packages.verified"): each
// package's identity (shared/file_identity.h) and SHA-256 from the moment its download was
// verified, so that a click can tell at once, without reading 200 MB, that it is still the
// file the signed catalogue names. Used by workers and the window thread, one at a time.

#include <windows.h>

#include <cstdint>
#include <string>

inline constexpr char kPackageRecordsName[] = "packages.verified";

std::string PackageRecordsPath(const std::string& packageDirectory);

// Records the package just moved into place under name with the digest it was verified
// against. Call it while still holding the handle it was written through, which denies
// writers: the identity is read by the name (seen under Wine 8: through a handle the file
// was renamed under, the volume serial reads 0).
bool RecordVerifiedPackage(const std::string& directory, const std::string& name, const std::string& sha256);
// Removes a package's record.
void ForgetPackage(const std::string& directory, const std::string& name);

// Whether the record says, without reading the file, that the open file is the package of
// this digest and length: its identity now is the recorded one.
bool RecordVouchesFor(const std::string& directory, const std::string& name, HANDLE file, const std::string& sha256,
                      int64_t bytes);

enum class PackageCheck {
    Verified,    // the package the catalogue names
    Changed,     // another file: it must never run
    Missing,     // no such file
    Unreadable,  // it cannot be read now (another program writes it): not offered, left alone
};
const char* DescribePackageCheck(PackageCheck check);

// Off the window thread, through a handle opened for reading that denies writers: whether
// the open file has this digest and length, by its record or else by hashing it (a match
// is recorded for the next time).
PackageCheck CheckOpenPackage(const std::string& directory, const std::string& name, HANDLE file,
                              const std::string& sha256, int64_t bytes);

// Off the window thread: the same for the file by name. A changed package is removed with
// its record, so that the row offers its download again.
PackageCheck CheckPackageFile(const std::string& directory, const std::string& name, const std::string& sha256,
                              int64_t bytes);

// Opens a package for reading and denies writers and deleters as long as the handle is
// held, so that what was checked is what runs; INVALID_HANDLE_VALUE when it cannot.
HANDLE OpenPackageForCheck(const std::string& path);

// Removes a changed package and its record (the handle on it already closed).
void RemoveChangedPackage(const std::string& directory, const std::string& name);
