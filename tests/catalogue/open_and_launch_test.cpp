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
    TempDir dir_;
    CallRecord calls_;
    MachineTestKey key_{UniqueTestName("Launch")};
    CatalogueTestWindow owner_;

    void Launch(const std::string& execName) {
        DuiSoft entry;
        entry.execName = execName;
        LaunchInstalledProgram(entry, owner_.GetHWND());
    }
};

TEST_F(LaunchInstalled, OneTwoAndThreePiecesLocateTheProgram) {
    const std::string byDefault = CopyRecorder(dir_, "by-default.exe");
    const std::string byName = CopyRecorder(dir_, "by-name.exe");
    ASSERT_TRUE(::CreateDirectoryA(dir_.Child("install dir").c_str(), nullptr));
    CopyRecorder(dir_, "install dir\\Suffixed.exe");
    ASSERT_TRUE(key_.Set("", byDefault));
    ASSERT_TRUE(key_.Set("ExePath", byName));
    ASSERT_TRUE(key_.Set("InstallDir", dir_.Child("install dir") + "\\"));

    MessageBoxWatcher boxes;
    Launch(key_.Path());
    ASSERT_TRUE(calls_.WaitForLines(1));
    Launch(key_.Path() + ":ExePath");
    ASSERT_TRUE(calls_.WaitForLines(2));
    Launch(key_.Path() + ":InstallDir:Suffixed.exe");
    ASSERT_TRUE(calls_.WaitForLines(3));

    const auto lines = calls_.Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find("by-default.exe"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("by-name.exe"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find("install dir\\Suffixed.exe"), std::string::npos) << lines[2];
    for (const std::string& line : lines) EXPECT_FALSE(StartedThroughShell(line)) << line;
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(LaunchInstalled, AMissingProgramIsReportedToTheUser) {
    ASSERT_TRUE(key_.Set("Gone", dir_.Child("gone.exe")));
    MessageBoxWatcher boxes;
    Launch(key_.Path() + ":Gone");
    Launch(key_.Path() + ":NoSuchValue");
    Launch("SOFTWARE\\KestrovaTest\\NoSuchKey:Path");
    const auto shown = boxes.Boxes();
    ASSERT_EQ(shown.size(), 3u);
    for (const auto& box : shown) {
        EXPECT_EQ(box.text, "没有找到安装路径");
        EXPECT_EQ(box.caption, "警告");
        EXPECT_EQ(box.owner, owner_.GetHWND());  // the window is disabled while the box is up
    }
    EXPECT_TRUE(calls_.Lines().empty());
}

TEST_F(LaunchInstalled, AnEntryWithoutLocatorDoesNothing) {
    MessageBoxWatcher boxes;
    Launch("");
    PumpMessagesFor(300);
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_TRUE(calls_.Lines().empty());
}

}  // namespace
