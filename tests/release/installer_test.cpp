// The installer that scripts/package makes from this build, run silently as a user's setup
// would run it: what it installs, what it registers, and what its uninstaller takes away.
#include "shared/com_helpers.h"
#include "shared/com_ptr.h"
#include "shared/logon_task.h"
#include "shared/text.h"
#include "shared/unique_handle.h"
#include "tests/support/folder_access.h"
#include "tests/support/registry.h"
#include "tests/support/scheduled_task.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <softpub.h>
#include <wintrust.h>

#include <filesystem>
#include <string>

namespace {

constexpr char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kestrova";
constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kInstalledFiles[] = {"Veltrin.exe", "Morvane.exe", "KestrovaSkin.dll",
                                       "skin.zip",    "upload.zip",  "sys.ini"};

// scripts/package puts the package made from this build beside the test programs.
std::string PackageDir() { return TestProgramDir() + "\\release"; }
std::string InstallerPath() { return PackageDir() + "\\Kestrova-" KESTROVA_VERSION "-win64-setup.exe"; }
std::string PackagedFolder() { return PackageDir() + "\\Kestrova-" KESTROVA_VERSION "-win64"; }

std::string KnownFolder(int csidl) {
    char path[MAX_PATH] = {};
    return SUCCEEDED(::SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) ? path : "";
}
std::string InstallDir() { return KnownFolder(CSIDL_PROGRAM_FILES) + "\\Kestrova"; }
std::string ShortcutPath() { return KnownFolder(CSIDL_COMMON_PROGRAMS) + "\\Kestrova.lnk"; }

// Runs a command line to its end; the exit code, or -1 when it could not start or hung.
int RunToEnd(std::string commandLine) {
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &info)) {
        return -1;
    }
    UniqueKernelHandle process(info.hProcess);
    UniqueKernelHandle thread(info.hThread);
    if (::WaitForSingleObject(process.get(), 120000) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.get(), 1);
        return -1;
    }
    DWORD code = 0;
    return ::GetExitCodeProcess(process.get(), &code) ? static_cast<int>(code) : -1;
}

// A REG_SZ value below HKEY_LOCAL_MACHINE; empty when the key or the value is missing.
std::string ReadMachineString(const char* subkey, const char* name) {
    std::string text;
    DWORD type = 0;
    return ReadRegistryText(HKEY_LOCAL_MACHINE, subkey, name, &text, &type) && type == REG_SZ ? text : "";
}

// The program a shortcut starts, read through the shell's own link object.
std::string ShortcutTarget(const std::string& linkPath) {
    ComPtr<IShellLinkA> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(link.put())))) {
        return "";
    }
    const ComPtr<IPersistFile> file = link.As<IPersistFile>();
    if (!file) return "";
    if (FAILED(file->Load(AnsiToWide(linkPath).c_str(), STGM_READ))) return "";
    char target[MAX_PATH] = {};
    return SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH)) ? target : "";
}

// Windows' own check of a file's Authenticode signature. Wine checks the signature and the
// file's digest but not the chain: an unsigned file gives TRUST_E_NOSIGNATURE, a changed one
// TRUST_E_BAD_DIGEST, and an intact signature passes whatever its CA.
LONG VerifyAuthenticode(const std::string& path) {
    const std::wstring widePath = AnsiToWide(path);
    WINTRUST_FILE_INFO file{sizeof(file), widePath.c_str(), nullptr, nullptr};
    WINTRUST_DATA data{};
    data.cbStruct = sizeof(data);
    data.dwUIChoice = WTD_UI_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    return ::WinVerifyTrust(nullptr, &action, &data);
}

class InstallerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(PathExists(InstallerPath())) << InstallerPath();
        ASSERT_FALSE(InstallDir().empty());
        RemoveInstallation();
    }
    void TearDown() override { RemoveInstallation(); }

    // What an earlier, interrupted run may have left, so each test starts from a clean machine.
    static void RemoveInstallation() {
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::u8path(InstallDir()), ignored);
        ::DeleteFileA(ShortcutPath().c_str());
        ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKey);
        DeleteRegistryValue(HKEY_LOCAL_MACHINE, kRunKey, "Veltrin");
        DeleteRegistryValue(HKEY_LOCAL_MACHINE, kRunKey, kOtherRunValue);
        EXPECT_TRUE(RemoveScheduledTask(kLogonTaskName));
    }

    static int Install(const std::string& folder = "") {
        return RunToEnd("\"" + InstallerPath() + "\" /S" + (folder.empty() ? "" : " /D=" + folder));
    }

    // Runs the quiet uninstall command the installer registered. The uninstaller copies
    // itself to the temporary folder and returns at once, so wait for its last step.
    static bool UninstallAsRegistered() {
        const std::string command = ReadMachineString(kUninstallKey, "QuietUninstallString");
        if (command.empty() || RunToEnd(command) != 0) return false;
        return WaitUntil([] { return !RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey); }, 60000);
    }

    static constexpr char kOtherRunValue[] = "KestrovaInstallerTestOther";
    ComScope m_com;
};

TEST_F(InstallerTest, InstallsTheFolderTheShortcutAndTheUninstaller) {
    ASSERT_EQ(Install(), 0);

    const std::string dir = InstallDir();
    for (const char* name : kInstalledFiles) {
        SCOPED_TRACE(name);
        const std::string installed = ReadFileBytes(dir + "\\" + name);
        EXPECT_FALSE(installed.empty());
        EXPECT_EQ(installed, ReadFileBytes(PackagedFolder() + "\\" + name));
    }
    EXPECT_EQ(ReadFileBytes(dir + "\\sys.ini"), "[Soft]\r\nVer=" KESTROVA_VERSION "\r\n");
    EXPECT_TRUE(PathExists(dir + "\\uninstall.exe"));
    // The package is Authenticode-signed, and so is the uninstaller that the installer writes.
    EXPECT_EQ(VerifyAuthenticode(InstallerPath()), ERROR_SUCCESS);
    for (const char* name : {"Veltrin.exe", "Morvane.exe", "KestrovaSkin.dll", "uninstall.exe"}) {
        EXPECT_EQ(VerifyAuthenticode(dir + "\\" + name), ERROR_SUCCESS) << name;
    }

    EXPECT_EQ(ShortcutTarget(ShortcutPath()), dir + "\\Veltrin.exe");

    EXPECT_EQ(ReadMachineString(kUninstallKey, "DisplayName"), "Kestrova");
    EXPECT_EQ(ReadMachineString(kUninstallKey, "DisplayVersion"), KESTROVA_VERSION);
    EXPECT_EQ(ReadMachineString(kUninstallKey, "InstallLocation"), dir);
    EXPECT_EQ(ReadMachineString(kUninstallKey, "UninstallString"), "\"" + dir + "\\uninstall.exe\"");
    // The Run value is the toolbox's to write at its first start; the logon task is there
    // at once (Wine keeps no triggers or actions, so its definition is tested as text).
    EXPECT_EQ(ReadMachineString(kRunKey, "Veltrin"), "");
    EXPECT_TRUE(ScheduledTaskExists(kLogonTaskName));
}

// Made beforehand by a standard user, or inheriting write access from the drive's root.
TEST_F(InstallerTest, GivesAFolderOutsideProgramFilesTheProtectionOfProgramFiles) {
    TempDir parent;
    const std::string dir = parent.Child("Kestrova");
    ASSERT_TRUE(::CreateDirectoryA(dir.c_str(), nullptr));
    ASSERT_TRUE(LetEveryoneWrite(dir));

    ASSERT_EQ(Install(dir), 0);
    EXPECT_EQ(ReadFileBytes(dir + "\\Veltrin.exe"), ReadFileBytes(PackagedFolder() + "\\Veltrin.exe"));
    EXPECT_FALSE(EveryoneMayWrite(dir));
    EXPECT_EQ(ReadMachineString(kUninstallKey, "InstallLocation"), dir);
    EXPECT_TRUE(ScheduledTaskExists(kLogonTaskName));
}

TEST_F(InstallerTest, RefusesADriveRootAndAFolderOfOtherPrograms) {
    TempDir parent;
    const std::string tools = parent.Child("Tools");
    ASSERT_TRUE(::CreateDirectoryA(tools.c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(tools + "\\tool.exe", "another program"));
    ASSERT_TRUE(LetEveryoneWrite(tools));
    // The folder helper's exit code says why.
    for (const auto& [dir, exitCode] : {std::pair<std::string, int>("C:\\", 2), {tools, 3}}) {
        SCOPED_TRACE(dir);
        const std::string folder = dir.back() == '\\' ? dir : dir + "\\";
        EXPECT_EQ(Install(dir), exitCode);
        EXPECT_FALSE(PathExists(folder + "Veltrin.exe"));
        EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
        EXPECT_FALSE(ScheduledTaskExists(kLogonTaskName));
        for (const char* name : kInstalledFiles) ::DeleteFileA((folder + name).c_str());
        ::DeleteFileA((folder + "uninstall.exe").c_str());
    }
    EXPECT_TRUE(EveryoneMayWrite(tools)) << "left as it was";
}

TEST_F(InstallerTest, UninstallerRemovesWhatWasInstalledAndTheLogonEntry) {
    ASSERT_EQ(Install(), 0);
    const std::string dir = InstallDir();
    // What running the suite adds: the toolbox's logon entry for the updater and its saved
    // copy of the Run key, and the updater's backups and an unfinished download folder.
    ASSERT_TRUE(WriteRegistryText(HKEY_LOCAL_MACHINE, kRunKey, "Veltrin", dir + "\\Morvane.exe"));
    ASSERT_TRUE(WriteRegistryText(HKEY_LOCAL_MACHINE, kRunKey, kOtherRunValue, "C:\\elsewhere\\other.exe"));
    ASSERT_TRUE(WriteFileBytes(dir + "\\Veltrin.exebak", "previous version"));
    ASSERT_TRUE(WriteFileBytes(dir + "\\Veltrin", "the Run key as the toolbox saves it"));
    ASSERT_TRUE(::CreateDirectoryA((dir + "\\uploadtemp").c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(dir + "\\uploadtemp\\skin.zip", "half a download"));
    ASSERT_TRUE(::CreateDirectoryA((dir + "\\log").c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(dir + "\\log\\morvane.log", "a diagnostic line"));
    ASSERT_TRUE(ScheduledTaskExists(kLogonTaskName));

    ASSERT_TRUE(UninstallAsRegistered());

    EXPECT_TRUE(WaitUntil([&] { return !PathExists(dir); }, 20000)) << dir;
    EXPECT_FALSE(PathExists(ShortcutPath()));
    EXPECT_EQ(ReadMachineString(kRunKey, "Veltrin"), "");
    EXPECT_EQ(ReadMachineString(kRunKey, kOtherRunValue), "C:\\elsewhere\\other.exe");
    EXPECT_FALSE(ScheduledTaskExists(kLogonTaskName));
}

TEST_F(InstallerTest, UninstallerKeepsTheUsersDownloads) {
    ASSERT_EQ(Install(), 0);
    const std::string dir = InstallDir();
    ASSERT_TRUE(::CreateDirectoryA((dir + "\\soft").c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(dir + "\\soft\\package.exe", "a downloaded package"));

    ASSERT_TRUE(UninstallAsRegistered());

    EXPECT_TRUE(WaitUntil([&] { return !PathExists(dir + "\\uninstall.exe"); }, 20000));
    for (const char* name : kInstalledFiles) {
        EXPECT_FALSE(PathExists(dir + "\\" + name)) << name;
    }
    EXPECT_EQ(ReadFileBytes(dir + "\\soft\\package.exe"), "a downloaded package");
    EXPECT_FALSE(PathExists(ShortcutPath()));
}

}  // namespace
