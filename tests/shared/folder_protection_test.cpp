// The installation folder's protection: the descriptor, which access lists let standard
// users write, and what the installer and an installed copy decide. Wine keeps a folder's
// permissions only as Unix mode bits, so all of it is read from descriptors, not a disk.
#include "shared/folder_protection.h"

#include <gtest/gtest.h>
#include <sddl.h>

#include <tuple>

namespace {

PACL DaclOf(PSECURITY_DESCRIPTOR descriptor) {
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    return ::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) && present ? dacl : nullptr;
}

TEST(FolderProtection, DescriptorIsProgramFilesOwnedByAdministratorsAndInheritsNothing) {
    const UniqueLocalSecurityDescriptor descriptor = ProtectedFolderDescriptor();
    ASSERT_TRUE(descriptor);
    wchar_t* text = nullptr;
    ASSERT_TRUE(::ConvertSecurityDescriptorToStringSecurityDescriptorW(
        descriptor.get(), SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &text, nullptr));
    const UniqueLocalSecurityDescriptor textOwner(text);
    // Protected (P); owner, SYSTEM and Administrators full control, Users read and execute,
    // each for the folder and, inherited (OICI), for every file and folder below it.
    EXPECT_STREQ(text, L"O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)");
    EXPECT_FALSE(GrantsWriteToStandardUsers(DaclOf(descriptor.get())));
}

TEST(FolderProtection, StandardUsersWriteThroughTheirGroupsOnTheFolderOrWhatItHolds) {
    const std::pair<const wchar_t*, bool> cases[] = {
        // A folder made in the root of a data drive, and the root of the system drive.
        {L"D:(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;OICIID;0x1301bf;;;AU)(A;OICIID;0x1200a9;;;BU)", true},
        {L"D:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)(A;OICIIO;SDGXGWGR;;;AU)(A;;LC;;;AU)", true},
        {L"D:(A;OIIO;GA;;;WD)", true},    // only on the files in it
        {L"D:(A;;0x4;;;IU)", true},       // may add folders
        {L"D:(A;;WD;;;BU)", true},        // may change the permissions
        {L"D:(A;OICI;FA;;;AU)(D;OICI;0xd0046;;;WD)", true},  // the denial comes too late
        // Program Files, with its installer account, creator owner and app packages.
        {L"D:PAI(A;;FA;;;S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464)(A;;0x1301bf;;;SY)"
         L"(A;OICIIO;GA;;;SY)(A;;0x1301bf;;;BA)(A;OICIIO;GA;;;BA)(A;;0x1200a9;;;BU)(A;OICIIO;GXGR;;;BU)"
         L"(A;OICIIO;GA;;;CO)(A;;0x1200a9;;;AC)(A;OICIIO;GXGR;;;AC)",
         false},
        {L"D:(A;OICI;FA;;;S-1-5-21-1-2-3-1001)", false},      // one named account
        {L"D:(D;OICI;0xd0046;;;WD)(A;OICI;FA;;;AU)", false},  // denied first
        {L"D:(A;OICI;FRFX;;;WD)(A;OICI;0x110;;;BU)", false},  // attributes change no content
        {L"D:", false},
    };
    for (const auto& [sddl, grantsWrite] : cases) {
        UniqueLocalSecurityDescriptor descriptor;
        ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, descriptor.put(),
                                                                            nullptr));
        EXPECT_EQ(GrantsWriteToStandardUsers(DaclOf(descriptor.get())), grantsWrite) << testing::PrintToString(sddl);
    }
    EXPECT_TRUE(GrantsWriteToStandardUsers(nullptr)) << "no list at all";
}

TEST(FolderProtection, InstallerProtectsEveryFolderOutsideProgramFilesACopyOnlyAWritableOne) {
    using P = FolderProtection;
    const auto facts = [](bool local, bool root, bool programFiles, bool writable, bool empty, bool kestrova) {
        return FolderFacts{L"", local, root, !empty, programFiles, writable, empty, kestrova};
    };
    // local, root, under Program Files, grants write, empty, holds Kestrova
    const std::tuple<FolderFacts, P, P> cases[] = {
        {facts(true, false, true, false, true, false), P::Protected, P::Protected},  // Program Files
        {facts(true, false, true, true, false, true), P::Needed, P::Needed},         // ... loosened
        {facts(true, false, false, false, true, false), P::Needed, P::Protected},    // new folder elsewhere
        {facts(true, false, false, false, false, true), P::Needed, P::Protected},    // protected before
        {facts(true, false, false, true, false, true), P::Needed, P::Needed},        // old installation
        {facts(true, false, false, true, true, false), P::Needed, P::Needed},        // empty, writable
        {facts(true, false, false, true, false, false), P::ForeignFiles, P::ForeignFiles},
        {facts(true, false, false, false, false, false), P::ForeignFiles, P::Protected},
        {facts(true, true, false, true, false, true), P::DriveRoot, P::DriveRoot},
        {facts(false, false, false, true, true, false), P::NotLocal, P::NotLocal},  // a share
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& [folder, installing, running] = cases[i];
        EXPECT_EQ(DecideFolderProtection(folder, FolderUse::Installing), installing) << i;
        EXPECT_EQ(DecideFolderProtection(folder, FolderUse::Running), running) << i;
    }
}

TEST(FolderProtection, ExaminesWhereTheFolderReallyIs) {
    // 0: not local, 1: a drive's root, 2: a folder. "C:" is drive C's current folder.
    const std::pair<const wchar_t*, int> cases[] = {
        {L"C:\\", 1},     {L"C:\\Windows\\..", 1},      {L"\\\\?\\C:\\", 1},          {L"C:", 0},
        {L"Kestrova", 0}, {L"\\\\host\\share\\x", 0}, {L"C:\\Kestrova\\CON", 0}, {L"C:\\Windows", 2}};
    for (const auto& [given, kind] : cases) {
        const FolderFacts facts = ExamineFolder(given);
        EXPECT_EQ(facts.localPath ? (facts.driveRoot ? 1 : 2) : 0, kind) << testing::PrintToString(given);
    }
    EXPECT_TRUE(ExamineFolder(L"C:\\Program Files\\Kestrova").underProgramFiles);
    EXPECT_FALSE(ExamineFolder(L"C:\\Program Files Kestrova").underProgramFiles);
}

}  // namespace
