#include "updater/install_update.h"

#include "tests/support/gui_driver.h"
#include "tests/updater/install_folder.h"
#include "updater/process_values.h"

#include <gtest/gtest.h>

namespace {

class InstallTest : public ::testing::Test {
protected:
    InstallTest() : m_saved(Updater()) {
        Updater().InstallDir = m_install.Path();
        Updater().ServerVersion = "2.0";
    }
    ~InstallTest() override { Updater() = m_saved; }

    void Download(const std::string& name, const std::string& content) {
        ::CreateDirectoryA(m_install.TempDirectory().c_str(), nullptr);
        ASSERT_TRUE(WriteFileBytes(m_install.TempDirectory() + "\\" + name, content));
    }

    InstallFolder m_install;

private:
    UpdaterValues m_saved;
};

using Names = std::vector<std::string>;

TEST_F(InstallTest, FilesReplacedWithBackupsVersionRecordedMainProgramStartedTemporaryFolderGone) {
    ASSERT_TRUE(WriteFileBytes(m_install.Child("a.dll"), "old a"));
    ASSERT_TRUE(WriteFileBytes(m_install.Child("a.dllbak"), "older a"));
    ASSERT_TRUE(WriteFileBytes(m_install.Child("sys.ini"), "[Soft]\r\nVer=1.0\r\nName=Kestrova\r\n[Box]\r\nx=1\r\n"));
    Download("a.dll", "new a");
    Download("b.exe", "new b");
    Download("stray.txt", "not verified");

    EXPECT_TRUE(InstallDownloadedFiles(Names{"a.dll", "b.exe"}));

    EXPECT_EQ(ReadFileBytes(m_install.Child("a.dll")), "new a");
    EXPECT_EQ(ReadFileBytes(m_install.Child("a.dllbak")), "old a");
    EXPECT_EQ(ReadFileBytes(m_install.Child("b.exe")), "new b");
    EXPECT_FALSE(PathExists(m_install.Child("b.exebak")));
    EXPECT_FALSE(PathExists(m_install.Child("stray.txt")));
    EXPECT_EQ(ReadFileBytes(m_install.Child("sys.ini")), "[Box]\r\nx=1\r\n[Soft]\r\nName=Kestrova\r\nVer=2.0\r\n");
    EXPECT_TRUE(m_install.WaitForStarts(1));
    EXPECT_FALSE(PathExists(m_install.TempDirectory()));
}

TEST_F(InstallTest, MissingSettingsFileIsCreatedWithTheVersion) {
    Download("a.dll", "new a");
    EXPECT_TRUE(InstallDownloadedFiles(Names{"a.dll"}));
    EXPECT_EQ(m_install.RecordedVersion(), "2.0");
}

// Files already current: nothing to move, and the version is still recorded (or the
// update would come back at every start). No list at all records nothing.
TEST_F(InstallTest, WithoutFilesTheVersionIsRecordedOnlyWhenTheListNamedSome) {
    for (const bool listed : {true, false}) {
        m_install.WriteSettings("1.0");
        EXPECT_EQ(InstallDownloadedFiles(listed ? std::optional<Names>(Names{}) : std::nullopt), listed);
        EXPECT_EQ(m_install.RecordedVersion(), listed ? "2.0" : "1.0");
        EXPECT_FALSE(PathExists(m_install.TempDirectory()));
    }
    EXPECT_TRUE(m_install.WaitForStarts(2));
}

// A file that cannot be moved aside (held open without delete sharing), and a "sys.ini"
// that cannot be replaced: every file is put back, a new one goes again, nothing recorded.
TEST_F(InstallTest, FailedInstallationIsRolledBackAndTheMainProgramStillStarts) {
    for (const bool settingsFail : {false, true}) {
        ::RemoveDirectoryA(m_install.Child("sys.ini").c_str());
        m_install.WriteSettings("1.0");
        ASSERT_TRUE(WriteFileBytes(m_install.Child("a.dll"), "old a"));
        ASSERT_TRUE(WriteFileBytes(m_install.Child("held.dll"), "old held"));
        Download("a.dll", "new a");
        Download("b.exe", "new b");
        Download("held.dll", "new held");
        if (settingsFail) {
            ASSERT_TRUE(::DeleteFileA(m_install.Child("sys.ini").c_str()));
            ASSERT_TRUE(::CreateDirectoryA(m_install.Child("sys.ini").c_str(), nullptr));
        }
        UniqueFileHandle held(::CreateFileA(m_install.Child("held.dll").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        if (settingsFail) held.reset();

        EXPECT_FALSE(InstallDownloadedFiles(Names{"a.dll", "b.exe", "held.dll"}));
        held.reset();
        EXPECT_EQ(ReadFileBytes(m_install.Child("a.dll")), "old a") << settingsFail;
        EXPECT_EQ(ReadFileBytes(m_install.Child("held.dll")), "old held");
        EXPECT_FALSE(PathExists(m_install.Child("a.dllbak")));
        EXPECT_FALSE(PathExists(m_install.Child("held.dllbak")));
        EXPECT_FALSE(PathExists(m_install.Child("b.exe")));
        EXPECT_EQ(m_install.RecordedVersion(), settingsFail ? "<missing>" : "1.0");
        EXPECT_FALSE(PathExists(m_install.TempDirectory()));
    }
    EXPECT_TRUE(m_install.WaitForStarts(2));
}

TEST_F(InstallTest, InstallUpdateEndsWithAQuitRequest) {
    Download("a.dll", "new a");
    SetVerifiedUpdate(Names{"a.dll"});
    InstallUpdate();
    int exitCode = -1;
    EXPECT_TRUE(WaitForQuitMessage(2000, &exitCode));
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(ReadFileBytes(m_install.Child("a.dll")), "new a");
    EXPECT_TRUE(m_install.WaitForStarts(1));
}

TEST_F(InstallTest, RunningMainProgramIsEndedWithExitCodeFourBeforeTheCopy) {
    UniqueKernelHandle running = m_install.StartStandInAs("Veltrin.exe");
    ASSERT_TRUE(running);
    ASSERT_TRUE(WaitUntil([] { return ::FindWindowA(nullptr, kMainWindowTitle) != nullptr; }));
    Download("a.dll", "new a");

    EXPECT_TRUE(InstallDownloadedFiles(Names{"a.dll"}));
    EXPECT_EQ(WaitForExitCode(running.get(), 10000), 4);
    EXPECT_TRUE(m_install.WaitForStarts(2));  // the running copy, then the new start
}

TEST(MainWindowOwner, OnlyAVeltrinProcessIsEnded) {
    InstallFolder folder;
    // A "Veltrin.exe" that owns no window, and another program that owns "Kestrova".
    UniqueKernelHandle windowless = folder.StartStandInAs("Veltrin.exe", "--windowless");
    UniqueKernelHandle other = folder.StartStandInAs("Other.exe");
    ASSERT_TRUE(windowless);
    ASSERT_TRUE(other);
    ASSERT_TRUE(WaitUntil([] { return ::FindWindowA(nullptr, kMainWindowTitle) != nullptr; }));

    EndMainWindowOwner();
    EXPECT_EQ(WaitForExitCode(other.get(), 1500), -1);
    EXPECT_EQ(WaitForExitCode(windowless.get(), 0), -1);
}

TEST(MainWindowOwner, NothingIsEndedWhenNoMainProgramRuns) {
    InstallFolder folder;
    UniqueKernelHandle other = folder.StartStandInAs("Other.exe");
    ASSERT_TRUE(other);
    ASSERT_TRUE(WaitUntil([] { return ::FindWindowA(nullptr, kMainWindowTitle) != nullptr; }));
    EndMainWindowOwner();
    EXPECT_EQ(WaitForExitCode(other.get(), 1500), -1);
}

TEST(MainProgramProcess, ExactExecutableNameOnly) {
    InstallFolder folder;
    // File names do not differ by letter case alone within one folder.
    ASSERT_TRUE(::CreateDirectoryA(folder.Child("upper").c_str(), nullptr));
    UniqueKernelHandle exact = folder.StartStandInAs("Veltrin.exe", "--windowless");
    UniqueKernelHandle capitals = folder.StartStandInAs("upper\\VELTRIN.EXE", "--windowless");
    ASSERT_TRUE(exact);
    ASSERT_TRUE(capitals);
    EXPECT_TRUE(IsMainProgramProcess(::GetProcessId(exact.get())));
    EXPECT_FALSE(IsMainProgramProcess(::GetProcessId(capitals.get())));
    EXPECT_FALSE(IsMainProgramProcess(::GetCurrentProcessId()));
}

}  // namespace
