// The installation folder's protection: the descriptor itself, which lists let standard
// users write, and what the installer and an installed copy decide. Wine keeps a folder's
// permissions only as Unix mode bits, so these are read from the descriptors, not a disk.
#include "shared/folder_protection.h"

#include <gtest/gtest.h>
#include <sddl.h>

namespace {

bool IsWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type) { return ::IsWellKnownSid(sid, type) != FALSE; }

TEST(FolderProtection, DescriptorIsProgramFilesOwnedByAdministratorsAndInheritsNothing) {
    const UniqueLocalSecurityDescriptor descriptor = ProtectedFolderDescriptor();
    ASSERT_TRUE(descriptor);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(::GetSecurityDescriptorControl(descriptor.get(), &control, &revision));
    EXPECT_TRUE(control & SE_DACL_PROTECTED) << "nothing inherited from the drive's root";
    PSID owner = nullptr;
    BOOL present = FALSE, defaulted = FALSE;
    ASSERT_TRUE(::GetSecurityDescriptorOwner(descriptor.get(), &owner, &defaulted));
    EXPECT_TRUE(IsWellKnown(owner, WinBuiltinAdministratorsSid));
    PACL dacl = nullptr;
    ASSERT_TRUE(::GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted));
    ASSERT_TRUE(present && dacl != nullptr);

    struct Expected {
        WELL_KNOWN_SID_TYPE who;
        ACCESS_MASK rights;
    };
    // Each for the folder and, inherited, for every file and folder below it.
    const Expected expected[] = {{WinLocalSystemSid, FILE_ALL_ACCESS},
                                 {WinBuiltinAdministratorsSid, FILE_ALL_ACCESS},
                                 {WinBuiltinUsersSid, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE}};
    ASSERT_EQ(dacl->AceCount, std::size(expected));
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        SCOPED_TRACE(i);
        void* entry = nullptr;
        ASSERT_TRUE(::GetAce(dacl, i, &entry));
        const auto* ace = static_cast<ACCESS_ALLOWED_ACE*>(entry);
        EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
        EXPECT_EQ(ace->Header.AceFlags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
        EXPECT_TRUE(IsWellKnown(const_cast<DWORD*>(&ace->SidStart), expected[i].who));
        EXPECT_EQ(ace->Mask, expected[i].rights);
    }
    EXPECT_FALSE(GrantsWriteToStandardUsers(dacl));
}

TEST(FolderProtection, StandardUsersWriteThroughTheirGroupsOnTheFolderOrWhatItHolds) {
    struct Case {
        const wchar_t* sddl;
        bool grantsWrite;
    };
    const Case cases[] = {
        // A folder made in the root of a data drive, and the root of the system drive.
        {L"D:(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;OICIID;0x1301bf;;;AU)(A;OICIID;0x1200a9;;;BU)", true},
        {L"D:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)(A;OICIIO;SDGXGWGR;;;AU)(A;;LC;;;AU)", true},
        {L"D:(A;OICIIO;GA;;;WD)", true},            // only on what the folder holds
        {L"D:(A;;0x4;;;IU)", true},                 // may add folders
        {L"D:(A;;WD;;;BU)", true},                  // may change the permissions
        // Program Files, with its installer account, creator owner and app packages.
        {L"D:PAI(A;;FA;;;S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464)(A;;0x1301bf;;;SY)"
         L"(A;OICIIO;GA;;;SY)(A;;0x1301bf;;;BA)(A;OICIIO;GA;;;BA)(A;;0x1200a9;;;BU)(A;OICIIO;GXGR;;;BU)"
         L"(A;OICIIO;GA;;;CO)(A;;0x1200a9;;;AC)(A;OICIIO;GXGR;;;AC)",
         false},
        {L"D:(A;OICI;FA;;;S-1-5-21-1-2-3-1001)", false},  // one named account
        {L"D:(D;OICI;0xd0046;;;WD)(A;OICI;FA;;;AU)", false},  // denied first, then allowed
        {L"D:(A;OICI;FA;;;AU)(D;OICI;0xd0046;;;WD)", true},   // allowed first: the denial comes too late
        {L"D:(A;OICI;FRFX;;;WD)(A;OICI;0x110;;;BU)", false},  // attributes change no content
        {L"D:", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.sddl);
        UniqueLocalSecurityDescriptor descriptor;
        ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(c.sddl, SDDL_REVISION_1, descriptor.put(),
                                                                            nullptr));
        BOOL present = FALSE, defaulted = FALSE;
        PACL dacl = nullptr;
        ASSERT_TRUE(::GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted));
        EXPECT_EQ(GrantsWriteToStandardUsers(dacl), c.grantsWrite);
    }
    EXPECT_TRUE(GrantsWriteToStandardUsers(nullptr)) << "no list at all";
}

TEST(FolderProtection, InstallerProtectsEveryFolderOutsideProgramFilesACopyOnlyAWritableOne) {
    using P = FolderProtection;
    struct Case {
        const char* what;
        FolderFacts facts;
        P installing, running;
    };
    auto facts = [](bool underProgramFiles, bool grantsWrite, bool empty = true, bool holdsKestrova = false) {
        FolderFacts f;
        f.localPath = true;
        f.exists = !empty || holdsKestrova;
        f.underProgramFiles = underProgramFiles;
        f.grantsWrite = grantsWrite;
        f.empty = empty;
        f.holdsKestrova = holdsKestrova;
        return f;
    };
    FolderFacts share = facts(false, true);
    share.localPath = false;
    FolderFacts root = facts(false, true, false);
    root.driveRoot = true;
    const Case cases[] = {
        {"Program Files", facts(true, false), P::Protected, P::Protected},
        {"Program Files, loosened", facts(true, true, false, true), P::Needed, P::Needed},
        {"new folder elsewhere", facts(false, false), P::Needed, P::Protected},
        {"protected before", facts(false, false, false, true), P::Needed, P::Protected},
        {"old installation", facts(false, true, false, true), P::Needed, P::Needed},
        {"empty, writable", facts(false, true), P::Needed, P::Needed},
        {"other programs", facts(false, true, false), P::ForeignFiles, P::ForeignFiles},
        {"other programs, protected", facts(false, false, false), P::ForeignFiles, P::Protected},
        {"drive root", root, P::DriveRoot, P::DriveRoot},
        {"share", share, P::NotLocal, P::NotLocal},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(DecideFolderProtection(c.facts, FolderUse::Installing), c.installing);
        EXPECT_EQ(DecideFolderProtection(c.facts, FolderUse::Running), c.running);
    }
}

TEST(FolderProtection, ExaminesWhereTheFolderReallyIs) {
    struct Case {
        const wchar_t* given;
        bool localPath, driveRoot;
    };
    const Case cases[] = {{L"C:\\", true, true},           {L"C:\\Windows\\..", true, true},
                          {L"\\\\?\\C:\\", true, true},     {L"C:", false, false},
                          {L"Kestrova", false, false},      {L"\\\\host\\share\\Kestrova", false, false},
                          {L"C:\\Kestrova\\CON", false, false}, {L"C:\\Windows", true, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.given);
        const FolderFacts facts = ExamineFolder(c.given);
        EXPECT_EQ(facts.localPath, c.localPath);
        EXPECT_EQ(facts.driveRoot, c.driveRoot);
    }
    EXPECT_TRUE(ExamineFolder(L"C:\\Program Files\\Kestrova").underProgramFiles);
    EXPECT_FALSE(ExamineFolder(L"C:\\Program Files Kestrova").underProgramFiles);
}

}  // namespace
