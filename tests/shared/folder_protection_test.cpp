// The installation folder's protection: the descriptor, which access lists let standard
// users write, and what the installer and an installed copy decide. Wine keeps a folder's
// permissions only as Unix mode bits, so all of it is read from descriptors, not a disk.
#include "shared/folder_protection.h"

#include <gtest/gtest.h>
#include <sddl.h>

namespace {

PACL DaclOf(PSECURITY_DESCRIPTOR descriptor) {
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    return ::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) && present ? dacl : nullptr;
}

TEST(FolderProtection, DescriptorIsProgramFilesOwnedByAdministratorsAndInheritsNothing) {
    const UniqueLocalSecurityDescriptor descriptor = ProtectedFolderDescriptor();
    ASSERT_TRUE(descriptor);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    ASSERT_TRUE(::GetSecurityDescriptorControl(descriptor.get(), &control, &revision));
    EXPECT_TRUE(control & SE_DACL_PROTECTED) << "nothing inherited from the drive's root";
    ASSERT_TRUE(::GetSecurityDescriptorOwner(descriptor.get(), &owner, &defaulted));
    EXPECT_TRUE(::IsWellKnownSid(owner, WinBuiltinAdministratorsSid));
    // Each for the folder and, inherited, for every file and folder below it.
    const std::pair<WELL_KNOWN_SID_TYPE, ACCESS_MASK> expected[] = {
        {WinLocalSystemSid, FILE_ALL_ACCESS},
        {WinBuiltinAdministratorsSid, FILE_ALL_ACCESS},
        {WinBuiltinUsersSid, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE}};
    const PACL dacl = DaclOf(descriptor.get());
    ASSERT_NE(dacl, nullptr);
    ASSERT_EQ(dacl->AceCount, std::size(expected));
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        ASSERT_TRUE(::GetAce(dacl, i, &ace));
        const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE) << i;
        EXPECT_EQ(allowed->Header.AceFlags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE) << i;
        EXPECT_TRUE(::IsWellKnownSid(const_cast<DWORD*>(&allowed->SidStart), expected[i].first)) << i;
        EXPECT_EQ(allowed->Mask, expected[i].second) << i;
    }
    EXPECT_FALSE(GrantsWriteToStandardUsers(dacl));
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
    // local, root, under Program Files, grants write, empty, holds Kestrova; then the decisions.
    struct Case {
        bool local, root, programFiles, writable, empty, kestrova;
        P installing, running;
    };
    const Case cases[] = {
        {true, false, true, false, true, false, P::Protected, P::Protected},   // Program Files
        {true, false, true, true, false, true, P::Needed, P::Needed},          // ... loosened
        {true, false, false, false, true, false, P::Needed, P::Protected},     // new folder elsewhere
        {true, false, false, false, false, true, P::Needed, P::Protected},     // protected before
        {true, false, false, true, false, true, P::Needed, P::Needed},         // old installation
        {true, false, false, true, true, false, P::Needed, P::Needed},         // empty, writable
        {true, false, false, true, false, false, P::ForeignFiles, P::ForeignFiles},
        {true, false, false, false, false, false, P::ForeignFiles, P::Protected},
        {true, true, false, true, false, true, P::DriveRoot, P::DriveRoot},
        {false, false, false, true, true, false, P::NotLocal, P::NotLocal},    // a share
    };
    for (const Case& c : cases) {
        FolderFacts facts;
        facts.localPath = c.local;
        facts.driveRoot = c.root;
        facts.underProgramFiles = c.programFiles;
        facts.grantsWrite = c.writable;
        facts.empty = c.empty;
        facts.holdsKestrova = c.kestrova;
        EXPECT_EQ(DecideFolderProtection(facts, FolderUse::Installing), c.installing) << &c - cases;
        EXPECT_EQ(DecideFolderProtection(facts, FolderUse::Running), c.running) << &c - cases;
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
