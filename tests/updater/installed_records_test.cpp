#include "updater/installed_records.h"

#include "shared/cng.h"
#include "shared/sha256.h"
#include "tests/updater/install_folder.h"
#include "updater/install_update.h"
#include "updater/process_values.h"

#include <gtest/gtest.h>

namespace {

std::string Sha256Hex(const std::string& bytes) { return LowerHex(Sha256Of(bytes).value_or("")); }

TEST(InstalledRecords, TrustedOnlyWhereEveryWriteMovesTheChangeTime) {
    for (const char* name : {"NTFS", "ntfs", "ReFS"}) EXPECT_TRUE(FileSystemKeepsChangeTimes(name)) << name;
    for (const char* name : {"FAT", "FAT32", "exFAT", "CDFS", ""}) EXPECT_FALSE(FileSystemKeepsChangeTimes(name)) << name;
}

// A record that names the file's identity stands for its digests: these are not the
// file's, so nothing was read. Any change of the identity, or no record, means a hash.
TEST(InstalledRecords, TheRecordStandsForTheFileOnlyWhileItsIdentityMatches) {
    TempDir dir;
    const std::string path = dir.Child("a.dll");
    ASSERT_TRUE(WriteFileBytes(path, "hello"));
    FileRecords records;
    records.Set("A.DLL", FileRecord{IdentityOfPath(path).value_or(FileIdentity{}),
                                    FileDigests{Sha256Hex("other"), Md5Of("other")}});

    std::optional<InstalledFile> file = InstalledFileOf(records, "a.dll", path);
    ASSERT_TRUE(file.has_value());
    EXPECT_TRUE(file->fromRecord);
    EXPECT_EQ(file->record.digests.md5, Md5Of("other"));

    ASSERT_TRUE(RewriteKeepingLengthAndTime(path, "HELLO"));
    file = InstalledFileOf(records, "a.dll", path);
    ASSERT_TRUE(file.has_value());
    EXPECT_FALSE(file->fromRecord);
    EXPECT_EQ(file->record.digests.sha256, Sha256Hex("HELLO"));
    EXPECT_EQ(file->record.digests.md5, Md5Of("HELLO"));

    EXPECT_FALSE(InstalledFileOf(FileRecords(), "a.dll", path)->fromRecord);
    EXPECT_FALSE(InstalledFileOf(records, "b.dll", dir.Child("b.dll")).has_value());
}

// The installation records each new file with the digests it arrived with, but only while
// nothing has written it since; the record file keeps only what still matches.
TEST(InstalledRecords, InstallationRecordsWhatArrivedUnlessItChangedSince) {
    for (const bool changedAfterArrival : {false, true}) {
        SCOPED_TRACE(changedAfterArrival ? "changed after it arrived" : "as it arrived");
        InstallFolder install;
        const UpdaterValues saved = Updater();
        Updater().InstallDir = install.Path();
        Updater().ServerVersion = "2.0";
        ::CreateDirectoryA(install.TempDirectory().c_str(), nullptr);
        const std::string incoming = install.TempDirectory() + "\\a.dll";
        ASSERT_TRUE(WriteFileBytes(incoming, "new a"));
        ASSERT_TRUE(WriteFileBytes(install.Child("b.dll"), "b"));
        KnownFiles known;
        // Digests no file here has: only an unread record can carry them.
        const FileDigests arrivedDigests{Sha256Hex("as it arrived"), Md5Of("as it arrived")};
        known.arrived.Set("a.dll", FileRecord{*IdentityOfPath(incoming), arrivedDigests});
        known.current.Set("b.dll", FileRecord{*IdentityOfPath(install.Child("b.dll")), FileDigests{Sha256Hex("b"), Md5Of("b")}});
        known.current.Set("gone.dll", FileRecord{FileIdentity{}, FileDigests{Sha256Hex(""), Md5Of("")}});
        if (changedAfterArrival) {
            ASSERT_TRUE(RewriteKeepingLengthAndTime(incoming, "NEW A"));
        }

        EXPECT_TRUE(InstallDownloadedFiles(std::vector<std::string>{"a.dll"}, known));
        const FileRecords records = FileRecords::Load(install.Child(kInstalledRecordsFileName));
        EXPECT_EQ(records.Count(), changedAfterArrival ? 1u : 2u);
        const FileRecord* a = records.Find("a.dll");
        EXPECT_EQ(a != nullptr, !changedAfterArrival);
        if (a != nullptr) {
            EXPECT_EQ(a->digests.sha256, arrivedDigests.sha256);
            EXPECT_EQ(a->identity, IdentityOfPath(install.Child("a.dll")));
        }
        ASSERT_NE(records.Find("b.dll"), nullptr);
        Updater() = saved;
    }
}

}  // namespace
