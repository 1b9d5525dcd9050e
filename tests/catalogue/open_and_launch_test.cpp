// Starting downloaded files and installed programs: which road each path takes (program
// start or the shell), observed through a helper program that records how it was started.
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/support/gui_driver.h"
#include "tests/support/message_box_watcher.h"
#include "tests/support/registry.h"
#include "toolbox/catalogue/open_and_launch.h"
#include "toolbox/catalogue/user_shell.h"

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

// ---- which programs may start with the toolbox's rights --------------------------------

struct LaunchCase {
    const char* name;
    RegistryView view;
    const char* value;   // "%D" stands for the test's folder
    const char* suffix;
    LaunchRoad road;
    const char* refusal;  // the reason given, when refused
};

class LaunchRule : public ::testing::TestWithParam<LaunchCase> {};

TEST_P(LaunchRule, DecidesTheRoad) {
    const LaunchCase& c = GetParam();
    TempDir dir;
    ASSERT_TRUE(::CreateDirectoryA(dir.Child("app").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA(dir.Child("app\\bin").c_str(), nullptr));
    for (const char* name : {"outside.exe", "app\\app.exe", "app\\bin\\tool.exe"}) {
        ASSERT_TRUE(WriteFileBytes(dir.Child(name), "MZ"));
    }
    auto expand = [&](std::string text) {
        const size_t at = text.find("%D");
        return at == std::string::npos ? text : text.replace(at, 2, dir.Path());
    };
    const LaunchDecision decision = DecideLaunch(c.view, expand(c.value), c.suffix);
    EXPECT_EQ(decision.road, c.road) << (decision.refusal != nullptr ? decision.refusal : "");
    EXPECT_STREQ(decision.refusal, c.refusal);
    EXPECT_EQ(decision.path.empty(), c.road == LaunchRoad::Refused) << decision.path;
}

constexpr char kNotLocal[] = "the registry's path is not a local absolute path";
constexpr char kBadSuffix[] = "the catalogue's suffix leaves the registry's folder";
constexpr char kOutside[] = "the program's path lies outside the registry's folder";
constexpr char kNoProgram[] = "no program is there";

INSTANTIATE_TEST_SUITE_P(
    Paths, LaunchRule,
    ::testing::Values(
        LaunchCase{"ProgramNamedByTheValue", MachineView32, "%D\\app\\app.exe", "", LaunchRoad::Elevated, nullptr},
        LaunchCase{"FolderAndSuffix", MachineView64, "%D\\app\\", "bin\\tool.exe", LaunchRoad::Elevated, nullptr},
        LaunchCase{"Unc", MachineView32, "\\\\127.0.0.1\\share\\t.exe", "", LaunchRoad::Refused, kNotLocal},
        LaunchCase{"UncLongForm", MachineView32, "\\\\?\\UNC\\127.0.0.1\\share\\t.exe", "", LaunchRoad::Refused,
                   kNotLocal},
        LaunchCase{"DevicePathToARealProgram", MachineView32, "\\\\?\\%D\\app\\app.exe", "", LaunchRoad::Refused,
                   kNotLocal},
        LaunchCase{"DeviceNameInTheFolder", MachineView32, "%D\\app\\", "CON", LaunchRoad::Refused, kOutside},
        LaunchCase{"DriveRelative", MachineView32, "C:app.exe", "", LaunchRoad::Refused, kNotLocal},
        LaunchCase{"DotDotInTheSuffix", MachineView32, "%D\\app\\", "..\\outside.exe", LaunchRoad::Refused,
                   kBadSuffix},
        LaunchCase{"ColonInTheSuffix", MachineView32, "%D\\app\\", "C:\\outside.exe", LaunchRoad::Refused, kBadSuffix},
        LaunchCase{"LeadingBackslashInTheSuffix", MachineView32, "%D\\app", "\\app.exe", LaunchRoad::Refused,
                   kBadSuffix},
        LaunchCase{"MissingFile", MachineView32, "%D\\app\\gone.exe", "", LaunchRoad::Refused, kNoProgram},
        LaunchCase{"AFolder", MachineView32, "%D\\app\\", "bin", LaunchRoad::Refused, kNoProgram},
        // The user's own registry: whatever it names starts with the user's rights only.
        LaunchCase{"UserKey", UserView, "%D\\app\\app.exe", "", LaunchRoad::AsUser, nullptr}),
    [](const ::testing::TestParamInfo<LaunchCase>& info) { return std::string(info.param.name); });

// ---- end to end: the registry, the click and the programs started ------------------------

// A copy of the helper that, started without arguments, records its parent process in
// "<its path>.record".
std::string CopyParentRecorder(const TempDir& dir, const std::string& name) {
    const std::string path = dir.Child(name);
    EXPECT_TRUE(::CopyFileA((TestProgramDir() + "\\shell_open_recorder.exe").c_str(), path.c_str(), FALSE)) << path;
    return path;
}

// The helper's record once it is complete; empty when nothing started within the time.
std::string WaitForRecord(const std::string& recordPath, DWORD milliseconds) {
    PumpMessagesUntil([&] { return ReadFileBytes(recordPath).find('\n') != std::string::npos; }, milliseconds);
    return ReadFileBytes(recordPath);
}

struct LaunchRoadCase {
    const char* name;
    bool userKey;        // the key is under HKEY_CURRENT_USER only
    const char* value;   // "%P" stands for the program's path, "%D" for its folder
    const char* suffix;  // null: a two-piece locator
    const char* startedBy;  // the parent of the started program; null: nothing starts, the box shows
};

class LaunchRoads : public ::testing::TestWithParam<LaunchRoadCase> {};

TEST_P(LaunchRoads, NothingOutsideTheRulesStartsWithTheToolboxsRights) {
    const LaunchRoadCase& c = GetParam();
    TempDir dir;
    ASSERT_TRUE(::CreateDirectoryA(dir.Child("sub").c_str(), nullptr));
    const std::string program = CopyParentRecorder(dir, "tool.exe");
    MachineTestKey key(UniqueTestName("Road"), c.userKey ? UserView : MachineView32);
    std::string value = c.value;
    for (const auto& [mark, text] : {std::pair<std::string, std::string>{"%P", program}, {"%D", dir.Path()}}) {
        if (const size_t at = value.find(mark); at != std::string::npos) value.replace(at, 2, text);
    }
    ASSERT_TRUE(key.Set("Exe", value));
    CatalogueTestWindow owner;
    ASSERT_TRUE(!c.userKey || WaitForDesktopShell());
    DuiSoft entry;
    entry.execName = key.Path() + ":Exe" + (c.suffix != nullptr ? std::string(":") + c.suffix : "");
    entry.registryView = c.userKey ? UserView : MachineView32;

    MessageBoxWatcher boxes;
    LaunchInstalledProgram(entry, owner.GetHWND());
    const std::string record = WaitForRecord(program + ".record", c.startedBy != nullptr ? 20000 : 2000);
    if (c.startedBy != nullptr) {
        EXPECT_EQ(record, std::string("parent ") + c.startedBy + "\n");
        EXPECT_TRUE(boxes.Boxes().empty());
    } else {
        EXPECT_EQ(record, "") << "started, though the rules refuse it";
        const auto shown = boxes.Boxes();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].text, "没有找到安装路径");
        EXPECT_EQ(shown[0].caption, "警告");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Locators, LaunchRoads,
    ::testing::Values(LaunchRoadCase{"MachineKey", false, "%P", nullptr, "catalogue_tests.exe"},
                      LaunchRoadCase{"Unc", false, "\\\\127.0.0.1\\share\\tool.exe", nullptr, nullptr},
                      LaunchRoadCase{"UncLongForm", false, "\\\\?\\UNC\\127.0.0.1\\share\\tool.exe", nullptr, nullptr},
                      LaunchRoadCase{"DevicePath", false, "\\\\?\\%P", nullptr, nullptr},
                      LaunchRoadCase{"DotDotInTheSuffix", false, "%D\\sub\\", "..\\tool.exe", nullptr},
                      LaunchRoadCase{"MissingFile", false, "%D\\gone.exe", nullptr, nullptr},
                      LaunchRoadCase{"KeyOnlyUnderTheUser", true, "%P", nullptr, "explorer.exe"}),
    [](const ::testing::TestParamInfo<LaunchRoadCase>& info) { return std::string(info.param.name); });

// ---- documents ---------------------------------------------------------------------------

// Opened by the desktop's shell, which runs with the user's rights: the handler's parent is
// explorer.exe. A document named like a program is no exception: the shell decides, and
// the toolbox never starts it itself.
TEST(OpenDocument, GoesThroughTheDesktopShellWhateverItsName) {
    TempDir dir;
    const std::string record = dir.Child("opened.txt");
    RecordingDocumentType type(record);
    ASSERT_TRUE(type.ok());
    const std::string document = dir.Child("申报指南.kestrovadoc");
    ASSERT_TRUE(WriteFileBytes(document, "guide"));
    const std::string namedLikeAProgram = CopyParentRecorder(dir, "guide.exe");
    CatalogueTestWindow owner;
    ASSERT_TRUE(WaitForDesktopShell());
    MessageBoxWatcher boxes;

    OpenDocument(document, owner.GetHWND());
    EXPECT_EQ(WaitForRecord(record, 20000), document + "\nparent explorer.exe\n");
    OpenDocument(namedLikeAProgram, owner.GetHWND());
    EXPECT_EQ(WaitForRecord(namedLikeAProgram + ".record", 20000), "parent explorer.exe\n");
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(LaunchInstalled, AnEntryWithoutLocatorDoesNothing) {
    MessageBoxWatcher boxes;
    Launch("");
    PumpMessagesFor(300);
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_TRUE(m_calls.Lines().empty());
}

}  // namespace
