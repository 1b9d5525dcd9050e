#include "updater/installed_records.h"

#include "shared/cng.h"
#include "shared/sha256.h"
#include "tests/updater/install_folder.h"
#include "updater/install_update.h"
#include "updater/process_values.h"

#include <gtest/gtest.h>

namespace {

// Wine's drives all report NTFS, so only the decision can be tested for FAT.
TEST(InstalledRecords, TrustedOnlyWhereEveryWriteMovesTheChangeTime) {
    for (const char* name : {"NTFS", "ntfs", "ReFS"}) EXPECT_TRUE(FileSystemKeepsChangeTimes(name)) << name;
    for (const char* name : {"FAT", "FAT32", "exFAT", ""}) EXPECT_FALSE(FileSystemKeepsChangeTimes(name)) << name;
}

// A new file keeps the digests it arrived with (here digests no file has, so they were not
// read again) only while nothing has written it since; the records keep only what matches.
TEST(InstalledRecords, InstallationRecordsWhatArrivedUnlessItChangedSince) {
    const UpdaterValues saved = Updater();
    for (const bool changedAfterArrival : {false, true}) {
        InstallFolder install;
        Updater().InstallDir = install.Path();
        ::CreateDirectoryA(install.TempDirectory().c_str(), nullptr);
        const std::string incoming = install.TempDirectory() + "\\a.dll";
        ASSERT_TRUE(WriteFileBytes(incoming, "new a") && WriteFileBytes(install.Child("b.dll"), "b"));
        const FileDigests arrived{LowerHex(Sha256Of("as it arrived").value_or("")), Md5Of("as it arrived")};
        KnownFiles known;
        known.arrived.Set("a.dll", FileRecord{*IdentityOfPath(incoming), arrived});
        known.current.Set("b.dll", FileRecord{*IdentityOfPath(install.Child("b.dll")), arrived});
        known.current.Set("gone.dll", FileRecord{FileIdentity{}, arrived});
        ASSERT_TRUE(!changedAfterArrival || RewriteKeepingLengthAndTime(incoming, "NEW A"));

        EXPECT_TRUE(InstallDownloadedFiles(std::vector<std::string>{"a.dll"}, known));
        const FileRecords records = FileRecords::Load(install.Child(kInstalledRecordsFileName));
        EXPECT_EQ(records.Count(), changedAfterArrival ? 1u : 2u) << changedAfterArrival;
        EXPECT_NE(records.Find("b.dll"), nullptr);
        const FileRecord* a = records.Find("a.dll");
        ASSERT_EQ(a != nullptr, !changedAfterArrival);
        EXPECT_TRUE(a == nullptr || IdentityOfPath(install.Child("a.dll")) == a->identity);
    }
    Updater() = saved;
}

}  // namespace
