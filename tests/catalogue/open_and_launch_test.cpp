// Starting downloaded files and installed programs: which road each path takes (program
// start or the shell), observed through a helper program that records how it was started.
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/support/gui_driver.h"
#include "tests/support/message_box_watcher.h"
#include "toolbox/catalogue/open_and_launch.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// A copy of the recording helper under another name.
std::string CopyRecorder(const TempDir& dir, const std::string& name) {
    const std::string path = dir.Child(name);
    EXPECT_TRUE(::CopyFileA(CallRecorderPath().c_str(), path.c_str(), FALSE)) << path;
    return path;
}

// The STARTUPINFO flags a recorded start saw.
unsigned long StartFlags(const std::string& line) { return std::strtoul(line.c_str(), nullptr, 10); }

bool StartedThroughShell(const std::string& line) { return (StartFlags(line) & STARTF_USESHOWWINDOW) != 0; }

TEST(OpenLocalFile, LowerCaseExeIsStartedAndAnythingElseGoesToTheShell) {
    TempDir dir;
    CallRecord calls;
    RecordingFileType fileType;
    ASSERT_TRUE(fileType.Registered());
    const std::string program = CopyRecorder(dir, "setup.exe");
    OpenLocalFile(program);
    ASSERT_TRUE(calls.WaitForLines(1));

    const std::string shouting = CopyRecorder(dir, "SETUP2.EXE");
    OpenLocalFile(shouting);
    ASSERT_TRUE(calls.WaitForLines(2));

    const std::string document = dir.Child("manual.kestrovatest");
    ASSERT_TRUE(WriteFileBytes(document, "manual"));
    OpenLocalFile(document);
    ASSERT_TRUE(calls.WaitForLines(3));

    const auto lines = calls.Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find("setup.exe"), std::string::npos) << lines[0];
    EXPECT_FALSE(StartedThroughShell(lines[0])) << lines[0];
    EXPECT_NE(lines[1].find("SETUP2.EXE"), std::string::npos) << lines[1];
    EXPECT_TRUE(StartedThroughShell(lines[1])) << lines[1];
    EXPECT_NE(lines[2].find("manual.kestrovatest"), std::string::npos) << lines[2];
    EXPECT_TRUE(StartedThroughShell(lines[2])) << lines[2];
}

class LaunchInstalled : public ::testing::Test {
protected:
    TempDir m_dir;
    CallRecord m_calls;
    MachineTestKey m_key{UniqueTestName("Launch")};
    CatalogueTestWindow m_owner;

    void Launch(const std::string& execName) {
        DuiSoft entry;
        entry.execName = execName;
        LaunchInstalledProgram(entry, m_owner.GetHWND());
    }
};

TEST_F(LaunchInstalled, OneTwoAndThreePiecesLocateTheProgram) {
    const std::string byDefault = CopyRecorder(m_dir, "by-default.exe");
    const std::string byName = CopyRecorder(m_dir, "by-name.exe");
    ASSERT_TRUE(::CreateDirectoryA(m_dir.Child("install dir").c_str(), nullptr));
    CopyRecorder(m_dir, "install dir\\Suffixed.exe");
    ASSERT_TRUE(m_key.Set("", byDefault));
    ASSERT_TRUE(m_key.Set("ExePath", byName));
    ASSERT_TRUE(m_key.Set("InstallDir", m_dir.Child("install dir") + "\\"));

    MessageBoxWatcher boxes;
    Launch(m_key.Path());
    ASSERT_TRUE(m_calls.WaitForLines(1));
    Launch(m_key.Path() + ":ExePath");
    ASSERT_TRUE(m_calls.WaitForLines(2));
    Launch(m_key.Path() + ":InstallDir:Suffixed.exe");
    ASSERT_TRUE(m_calls.WaitForLines(3));

    const auto lines = m_calls.Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find("by-default.exe"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("by-name.exe"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find("install dir\\Suffixed.exe"), std::string::npos) << lines[2];
    for (const std::string& line : lines) EXPECT_FALSE(StartedThroughShell(line)) << line;
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(LaunchInstalled, AMissingProgramIsReportedToTheUser) {
    ASSERT_TRUE(m_key.Set("Gone", m_dir.Child("gone.exe")));
    MessageBoxWatcher boxes;
    Launch(m_key.Path() + ":Gone");
    Launch(m_key.Path() + ":NoSuchValue");
    Launch("SOFTWARE\\KestrovaTest\\NoSuchKey:Path");
    const auto shown = boxes.Boxes();
    ASSERT_EQ(shown.size(), 3u);
    for (const auto& box : shown) {
        EXPECT_EQ(box.text, "没有找到安装路径");
        EXPECT_EQ(box.caption, "警告");
        EXPECT_EQ(box.owner, m_owner.GetHWND());  // the window is disabled while the box is up
    }
    EXPECT_TRUE(m_calls.Lines().empty());
}

TEST_F(LaunchInstalled, AnEntryWithoutLocatorDoesNothing) {
    MessageBoxWatcher boxes;
    Launch("");
    PumpMessagesFor(300);
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_TRUE(m_calls.Lines().empty());
}

}  // namespace
