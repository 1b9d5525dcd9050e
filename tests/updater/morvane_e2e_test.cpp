// The built Morvane.exe in a temporary installation folder, against the reference server
// in the namespace its test build talks to, with the stand-in as "Veltrin.exe".
#include "shared/cng.h"
#include "shared/com_helpers.h"
#include "shared/file_identity.h"
#include "shared/sha256.h"
#include "tests/support/accessible_tree.h"
#include "tests/support/folder_access.h"
#include "tests/support/test_server.h"
#include "tests/updater/install_folder.h"
#include "tests/updater/update_signing.h"
#include "updater/install_step.h"
#include "updater/update_list.h"

#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <set>
#include <thread>

namespace {

constexpr DWORD kRunLimit = 60000;
// "sys.ini" as InstallFolder::WriteSettings("1.0") leaves it.
constexpr char kOldSettings[] = "[Soft]\r\nVer=1.0\r\n";


struct RunResult {
    long exitCode = -1;
    // Seen by polling, so a window that lives only a moment may be missed: the server's
    // request for the update list is the firm sign that the update road was taken.
    bool windowShown = false;
};

class MorvaneEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        // The test build's address of the server must be this namespace, or nothing here means anything.
        ASSERT_EQ(std::string(KESTROVA_SERVER_URL), m_server.BaseUrl())
            << "configure the test build with -DKESTROVA_SERVER_URL=<server root>/t/"
            << TestServer::kEndToEndNamespace << " and start the server on that port";
        ASSERT_TRUE(m_install.PlaceUpdater(m_pProgram)) << m_pProgram;
    }

    std::string Publish(const std::string& path, const std::string& content) {
        EXPECT_TRUE(m_server.Put(path, content));
        return m_server.Url(path);
    }
    std::string Entry(const std::string& name, const std::string& content, bool capitalDigest = false) {
        return UpdateListEntry(name, m_server.Url("/files/" + name), content, capitalDigest);
    }
    void PublishList(const std::string& json) { ASSERT_TRUE(m_server.Put("/U", json)); }

    // Starts Morvane and returns once the update window shows (or the program has ended).
    UniqueKernelHandle Start(bool* windowShown) {
        UniqueKernelHandle process = StartProgram(m_install.Child("Morvane.exe"));
        if (!process) return process;
        const DWORD id = ::GetProcessId(process.get());
        *windowShown = WaitUntil(
            [&] {
                if (::WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0) return true;
                return UpdateWindowOf(id) != nullptr;
            },
            kRunLimit) &&
                       UpdateWindowOf(id) != nullptr;
        return process;
    }

    RunResult Run() {
        RunResult result;
        UniqueKernelHandle process = Start(&result.windowShown);
        result.exitCode = WaitForExitCode(process.get(), kRunLimit);
        return result;
    }

    static HWND UpdateWindowOf(DWORD processId) { return TopLevelWindowOf(processId, "Morvane", true); }

    // Runs that must not start the main program: nothing may arrive a while later either.
    void ExpectNoStartFor(std::chrono::milliseconds time) {
        std::this_thread::sleep_for(time);
        EXPECT_TRUE(m_install.Starts().empty());
    }

    // The variant of the build that runs as "Morvane.exe".
    const char* m_pProgram = "MorvaneKeyless.exe";
    InstallFolder m_install;
    TestServer m_server{TestServer::kEndToEndNamespace, TestServer::ExactName{}};
};

// ---- no update -------------------------------------------------------------------------

struct NoUpdateCase {
    const char* name;
    const char* settings;  // null: no "sys.ini"
    const char* serverVersion;
    const char* versionFault;  // null: none
};

class NoUpdate : public MorvaneEndToEnd, public ::testing::WithParamInterface<NoUpdateCase> {};

TEST_P(NoUpdate, MainProgramStartedNoWindowExitCodeZero) {
    const NoUpdateCase& c = GetParam();
    if (c.settings != nullptr) {
        ASSERT_TRUE(WriteFileBytes(m_install.Child("sys.ini"), c.settings));
    }
    ASSERT_TRUE(m_server.Put("/V", c.serverVersion));
    if (c.versionFault != nullptr) {
        ASSERT_TRUE(m_server.SetFault("/V", c.versionFault));
    }
    PublishList("[]");

    const RunResult result = Run();
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_FALSE(result.windowShown);
    EXPECT_TRUE(m_install.WaitForStarts(1));
    EXPECT_EQ(m_install.Starts().size(), 1u);
    EXPECT_EQ(m_server.CountRequests("/V"), 1);  // asked even without a local version
    EXPECT_EQ(m_server.CountRequests("/U"), 0);
    if (c.settings != nullptr) {
        EXPECT_EQ(ReadFileBytes(m_install.Child("sys.ini")), c.settings);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Roads, NoUpdate,
    ::testing::Values(NoUpdateCase{"EqualTexts", "[Soft]\r\nVer=1.0.0.2\r\n", "1.0.0.2", nullptr},
                      NoUpdateCase{"ServerOlderByBytes", "[Soft]\r\nVer=1.0.0.9\r\n", "1.0.0.10", nullptr},
                      NoUpdateCase{"ServerOlderShorter", "[Soft]\r\nVer=2.0\r\n", "10.0", nullptr},
                      NoUpdateCase{"SettingsFileMissing", nullptr, "9.0", nullptr},
                      NoUpdateCase{"NoVersionKey", "[Soft]\r\nName=Kestrova\r\n", "9.0", nullptr},
                      NoUpdateCase{"ServerUnreachable", "[Soft]\r\nVer=1.0\r\n", "9.0", "mode=drop&after=0&reset=1"},
                      NoUpdateCase{"EmptyReply", "[Soft]\r\nVer=1.0\r\n", "", nullptr},
                      // Texts "sys.ini" cannot give back: recorded, they would update at every start or never again.
                      NoUpdateCase{"TrailingSpace", "[Soft]\r\nVer=1.0\r\n", "1.0.4 ", nullptr},
                      NoUpdateCase{"Brackets", "[Soft]\r\nVer=1.0\r\n", "1.0[b]", nullptr},
                      NoUpdateCase{"ErrorPage", "[Soft]\r\nVer=1.0\r\n", "9.0", "mode=status&code=404"}),
    [](const ::testing::TestParamInfo<NoUpdateCase>& info) { return std::string(info.param.name); });

TEST_F(MorvaneEndToEnd, RunningMainProgramsAreEndedAtEveryStart) {
    m_install.WriteSettings("1.0");
    ASSERT_TRUE(m_server.Put("/V", "1.0"));
    UniqueKernelHandle first = m_install.StartStandInAs("Veltrin.exe");
    ASSERT_TRUE(::CreateDirectoryA(m_install.Child("other").c_str(), nullptr));
    UniqueKernelHandle second = m_install.StartStandInAs("other\\Veltrin.exe");
    ASSERT_TRUE(first && second);

    EXPECT_EQ(Run().exitCode, 0);
    EXPECT_EQ(WaitForExitCode(first.get(), 10000), 0);
    EXPECT_EQ(WaitForExitCode(second.get(), 10000), 0);
    EXPECT_TRUE(m_install.WaitForStarts(2));  // the one ended, then the one started
}

// The updater replaces programs in its folder, so the shipped file asks for administrator rights.
TEST_F(MorvaneEndToEnd, ExecutableCarriesAManifestAskingForAdministratorRights) {
    UniqueModule image(::LoadLibraryExA(m_install.Child("Morvane.exe").c_str(), nullptr,
                                        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    ASSERT_TRUE(image);
    const HRSRC manifest = ::FindResourceA(image.get(), MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
    ASSERT_NE(manifest, nullptr);
    const char* bytes = static_cast<const char*>(::LockResource(::LoadResource(image.get(), manifest)));
    const std::string text(bytes, ::SizeofResource(image.get(), manifest));
    EXPECT_NE(text.find("level=\"requireAdministrator\""), std::string::npos);
}

// ---- update ----------------------------------------------------------------------------

TEST_F(MorvaneEndToEnd, UpdateEndsTheMainProgramReplacesFilesRecordsTheVersionAndRestartsIt) {
    ASSERT_TRUE(WriteFileBytes(m_install.Child("sys.ini"), "[Soft]\r\nVer=1.0.3\r\n[Box]\r\nx=1\r\n"));
    ASSERT_TRUE(WriteFileBytes(m_install.Child("a.dll"), "old a"));
    const std::string newA = PatternBytes(900000, 21);
    const std::string newB = PatternBytes(300000, 22);
    Publish("/files/a.dll", newA);
    Publish("/files/b.exe", newB);
    PublishList("[" + Entry("a.dll", newA, true) + "," + Entry("b.exe", newB) + "]");
    ASSERT_TRUE(m_server.Put("/V", "1.1.0"));
    UniqueKernelHandle running = m_install.StartStandInAs("Veltrin.exe");
    ASSERT_TRUE(running);

    const RunResult result = Run();
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(WaitForExitCode(running.get(), 10000), 0);  // ended at start-up
    EXPECT_TRUE(ReadFileBytes(m_install.Child("a.dll")) == newA);
    EXPECT_EQ(ReadFileBytes(m_install.Child("a.dllbak")), "old a");
    EXPECT_TRUE(ReadFileBytes(m_install.Child("b.exe")) == newB);
    EXPECT_EQ(ReadFileBytes(m_install.Child("sys.ini")), "[Box]\r\nx=1\r\n[Soft]\r\nVer=1.1.0\r\n");
    EXPECT_TRUE(m_install.WaitForStarts(2));
    EXPECT_FALSE(PathExists(m_install.TempDirectory()));
    const std::vector<std::string> requests = m_server.Requests();
    const std::vector<std::string> expected{"/V", "/U", "/files/a.dll", "/files/b.exe"};
    EXPECT_EQ(requests, expected);
    // One easy handle for all files: the connection stays open from one to the next.
    const std::string log = ReadFileBytes(m_install.Child("log\\Morvane.log"));
    EXPECT_NE(log.find("file \"b.exe\" verified (HTTP 200, reused connection)"), std::string::npos) << log;
}

TEST_F(MorvaneEndToEnd, VersionPublishedWithALineEndIsInstalledOnce) {
    m_install.WriteSettings("1.0");
    const std::string content = PatternBytes(10000, 23);
    Publish("/files/a.dll", content);
    PublishList("[" + Entry("a.dll", content) + "]");
    ASSERT_TRUE(m_server.Put("/V", "2.0\r\n"));

    EXPECT_EQ(Run().exitCode, 0);
    EXPECT_EQ(m_install.RecordedVersion(), "2.0");
    EXPECT_TRUE(m_install.WaitForStarts(1));

    const RunResult second = Run();
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_FALSE(second.windowShown);
    EXPECT_EQ(m_install.RecordedVersion(), "2.0");
    EXPECT_EQ(m_server.CountRequests("/U"), 1);
    EXPECT_TRUE(m_install.WaitForStarts(2));
}

// A screen reader in another process reads the window by name: the status, the close
// button, and the progress of the file that downloads.
TEST_F(MorvaneEndToEnd, AScreenReaderReadsTheProgressWhileTheUpdateDownloads) {
    ComScope com;
    ASSERT_TRUE(com.usable());
    m_install.WriteSettings("1.0");
    const std::string content = PatternBytes(300000, 29);
    Publish("/files/a.dll", content);
    PublishList("[" + Entry("a.dll", content) + "]");
    ASSERT_TRUE(m_server.SetFault("/files/a.dll", "mode=trickle&chunk=8192&delay=0.1"));
    ASSERT_TRUE(m_server.Put("/V", "2.0"));
    bool shown = false;
    UniqueKernelHandle process = Start(&shown);
    ASSERT_TRUE(shown);

    const AccessibleElement window = AccessibleWindow(UpdateWindowOf(::GetProcessId(process.get())));
    EXPECT_EQ(window.Name(), L"Kestrova自动升级程序");
    EXPECT_TRUE(FindAccessible(window, L"系统更新中......", ROLE_SYSTEM_STATICTEXT));
    EXPECT_EQ(FindAccessible(window, L"关闭", ROLE_SYSTEM_PUSHBUTTON).DefaultAction(), L"按下");
    const AccessibleElement progress = FindAccessible(window, L"更新进度", ROLE_SYSTEM_PROGRESSBAR);
    ASSERT_TRUE(progress);
    int percent = -1;
    EXPECT_TRUE(WaitUntil([&] { return (percent = progress.Percent()) > 0 && percent < 100; }, kRunLimit)) << percent;
    EXPECT_EQ(WaitForExitCode(process.get(), kRunLimit), 0);
    EXPECT_EQ(m_install.RecordedVersion(), "2.0");
    EXPECT_TRUE(FAILED(progress.NameResult())) << "the window is gone, and so is its bar";
}

// Started together (the logon task and the Run value, or a second user logging on): one
// copy updates, the other waits for it, then only starts the main program.
TEST_F(MorvaneEndToEnd, SecondCopyWaitsForTheUpdateThenStartsTheMainProgramWithoutAsking) {
    m_install.WriteSettings("1.0");
    const std::string content = PatternBytes(40000, 28);
    Publish("/files/a.dll", content);
    PublishList("[" + Entry("a.dll", content) + "]");
    // Seconds of download, so that the two surely overlap.
    ASSERT_TRUE(m_server.SetFault("/files/a.dll", "mode=trickle&chunk=4096&delay=0.2"));
    ASSERT_TRUE(m_server.Put("/V", "2.0"));

    UniqueKernelHandle copies[] = {StartProgram(m_install.Child("Morvane.exe")),
                                   StartProgram(m_install.Child("Morvane.exe"))};
    ASSERT_TRUE(copies[0] && copies[1]);
    ASSERT_TRUE(WaitUntil([&] { return m_server.CountRequests("/files/a.dll") == 1; }));
    EXPECT_TRUE(m_install.Starts().empty()) << "the waiting copy starts nothing yet";

    for (const UniqueKernelHandle& copy : copies) EXPECT_EQ(WaitForExitCode(copy.get(), kRunLimit), 0);
    EXPECT_EQ(m_install.RecordedVersion(), "2.0");
    EXPECT_TRUE(m_install.WaitForStarts(2));  // by the update, and by the copy that waited
    EXPECT_EQ(m_install.Starts().size(), 2u);
    const std::vector<std::string> expected{"/V", "/U", "/files/a.dll"};
    EXPECT_EQ(m_server.Requests(), expected);
}

// ---- abandoned update ------------------------------------------------------------------

struct AbandonCase {
    const char* name;
    const char* entryName;
    bool wrongDigest;
    bool withoutUrl;
    const char* fileFault;  // null: none
    const char* loggedCause;  // what the log must say of the failed file
};

class AbandonedUpdate : public MorvaneEndToEnd, public ::testing::WithParamInterface<AbandonCase> {};

TEST_P(AbandonedUpdate, MainProgramStartedInstallationUntouchedExitCodeZero) {
    const AbandonCase& c = GetParam();
    m_install.WriteSettings("1.0");
    ASSERT_TRUE(WriteFileBytes(m_install.Child("a.dll"), "old a"));
    const std::string good = PatternBytes(200000, 24);
    const std::string second = PatternBytes(1000, 25);
    Publish("/files/a.dll", good);
    Publish("/files/b.dll", second);
    std::string entry = c.withoutUrl ? R"({"id":")" + Md5Of(good) + R"(","name":"a.dll"})"
                                     : Entry("a.dll", c.wrongDigest ? good + "!" : good);
    if (c.entryName != nullptr) {
        entry = R"({"id":")" + Md5Of(good) + R"(","name":")" + c.entryName + R"(","url":")" +
                m_server.Url("/files/a.dll") + "\"}";
    }
    PublishList("[" + entry + "," + Entry("b.dll", second) + "]");
    if (c.fileFault != nullptr) {
        ASSERT_TRUE(m_server.SetFault("/files/a.dll", c.fileFault));
    }
    ASSERT_TRUE(m_server.Put("/V", "2.0"));

    EXPECT_EQ(Run().exitCode, 0);
    EXPECT_EQ(m_server.CountRequests("/U"), 1);  // the worker ran
    EXPECT_TRUE(m_install.WaitForStarts(1));
    EXPECT_EQ(m_install.Starts().size(), 1u);
    EXPECT_EQ(ReadFileBytes(m_install.Child("a.dll")), "old a");
    EXPECT_FALSE(PathExists(m_install.Child("a.dllbak")));
    EXPECT_FALSE(PathExists(m_install.Child("b.dll")));
    EXPECT_FALSE(PathExists(m_install.Child("evil.dll")));
    EXPECT_EQ(ReadFileBytes(m_install.Child("sys.ini")), kOldSettings);
    EXPECT_EQ(m_server.CountRequests("/files/b.dll"), 0);  // the first failure ends the update
    const std::string log = ReadFileBytes(m_install.Child("log\\Morvane.log"));
    EXPECT_NE(log.find("failed: " + std::string(c.loggedCause)), std::string::npos) << log;
    EXPECT_NE(log.find("update abandoned"), std::string::npos) << log;
}

INSTANTIATE_TEST_SUITE_P(
    Roads, AbandonedUpdate,
    ::testing::Values(AbandonCase{"DigestMismatch", nullptr, true, false, nullptr, "MD5 differs"},
                      AbandonCase{"NotFound", nullptr, false, false, "mode=status&code=404", "HTTP 404"},
                      AbandonCase{"EntryWithoutUrl", nullptr, false, true, nullptr, "URL"},
                      AbandonCase{"ConnectionDroppedMidFile", nullptr, false, false, "mode=drop&after=70000", ""},
                      AbandonCase{"NameWithPath", "..\\\\evil.dll", false, false, nullptr, "not a plain file name"},
                      AbandonCase{"NameWithDrive", "C:evil.dll", false, false, nullptr, "not a plain file name"},
                      AbandonCase{"DeviceName", "NUL", false, false, nullptr, "not a plain file name"}),
    [](const ::testing::TestParamInfo<AbandonCase>& info) { return std::string(info.param.name); });

// ---- exact lengths -----------------------------------------------------------------------

struct LengthCase {
    const char* name;
    const char* bytes;  // the member's JSON value; null: no member
    const char* fileFault;  // null: none
    const char* loggedCause;  // null: the update installs
};

class ListedLength : public MorvaneEndToEnd, public ::testing::WithParamInterface<LengthCase> {};

TEST_P(ListedLength, FileOfAnotherLengthAbandonsTheUpdateAndAnEndlessOneStopsNearIt) {
    const LengthCase& c = GetParam();
    constexpr long long kLength = 200000;
    constexpr long long kSurplus = 8 * 1024 * 1024;
    m_install.WriteSettings("1.0");
    const std::string content = PatternBytes(kLength, 27);
    Publish("/files/a.dll", content);
    std::string entry = Entry("a.dll", content);
    if (c.bytes != nullptr) entry.insert(entry.size() - 1, std::string(",\"bytes\":") + c.bytes);
    PublishList("[" + entry + "]");
    if (c.fileFault != nullptr) {
        ASSERT_TRUE(m_server.SetFault("/files/a.dll", std::string(c.fileFault) + std::to_string(kSurplus)));
    }
    ASSERT_TRUE(m_server.Put("/V", "2.0"));

    EXPECT_EQ(Run().exitCode, 0);
    const bool installs = c.loggedCause == nullptr;
    EXPECT_EQ(m_install.RecordedVersion(), installs ? "2.0" : "1.0");
    EXPECT_TRUE(ReadFileBytes(m_install.Child("a.dll")) == (installs ? content : ""));
    const std::string log = ReadFileBytes(m_install.Child("log\\Morvane.log"));
    if (!installs) {
        EXPECT_NE(log.find("failed: " + std::string(c.loggedCause)), std::string::npos) << log;
    }
    if (c.fileFault != nullptr) {
        // The server's count, once the reply is over: the transfer stopped near the length.
        std::vector<long long> sent;
        ASSERT_TRUE(WaitUntil(
            [&] { return !(sent = m_server.BytesSentFor("/files/a.dll")).empty() && sent.back() > 0; }, kRunLimit));
        EXPECT_LT(sent.back(), kLength + kSurplus / 8) << "of " << kSurplus << " too many";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Members, ListedLength,
    ::testing::Values(LengthCase{"Exact", "200000", nullptr, nullptr},
                      LengthCase{"Absent", nullptr, nullptr, nullptr},
                      // Only a signed list is abandoned for it; an unsigned one names no cap then.
                      LengthCase{"TextInAnUnsignedList", "\"200000\"", nullptr, nullptr},
                      LengthCase{"FileShorter", "200001", nullptr, "its length differs from the list's"},
                      LengthCase{"FileLonger", "199999", nullptr, "more bytes arrived than the list names"},
                      LengthCase{"EndlessAnnounced", "200000", "mode=extra&bytes=", "more bytes arrived"},
                      LengthCase{"EndlessUnframed", "200000", "mode=extra&nolength=1&bytes=", "more bytes arrived"}),
    [](const ::testing::TestParamInfo<LengthCase>& info) { return std::string(info.param.name); });

// ---- recorded digests --------------------------------------------------------------------

enum class RecordState { Intact, Damaged, Missing };

struct RecordCase {
    const char* name;
    RecordState record;  // before the second release
    bool fileRewritten;  // a.dll, in place, its length and last-write time restored
};

class RecordedFiles : public MorvaneEndToEnd, public ::testing::WithParamInterface<RecordCase> {};

// Two releases of the same files: the second reads only what its record cannot vouch for.
TEST_P(RecordedFiles, AFileChangedBehindTheRecordsBackIsHashedAndReplaced) {
    const RecordCase& c = GetParam();
    m_install.WriteSettings("1.0");
    const std::string a = PatternBytes(300000, 41), b = PatternBytes(200000, 42);
    Publish("/files/a.dll", a);
    Publish("/files/b.dll", b);
    PublishList("[" + Entry("a.dll", a) + "," + Entry("b.dll", b) + "]");
    ASSERT_TRUE(m_server.Put("/V", "2.0"));
    EXPECT_EQ(Run().exitCode, 0);
    const std::string records = m_install.Child("installed.records");
    ASSERT_EQ(FileRecords::Load(records).Count(), 2u);
    std::string changed = a;
    changed[1000] ^= 0x5A;
    ASSERT_TRUE(!c.fileRewritten || RewriteKeepingLengthAndTime(m_install.Child("a.dll"), changed));
    if (c.record == RecordState::Damaged) {
        ASSERT_TRUE(WriteFileBytes(records, "KESTROVA-FILE-RECORDS-1\nnot a record\n"));
    } else if (c.record == RecordState::Missing) {
        ASSERT_TRUE(::DeleteFileA(records.c_str()));
    }
    const size_t logged = ReadFileBytes(m_install.Child("log\\Morvane.log")).size();
    ASSERT_TRUE(m_server.Put("/V", "2.1"));
    EXPECT_EQ(Run().exitCode, 0);

    EXPECT_EQ(m_install.RecordedVersion(), "2.1");
    EXPECT_TRUE(ReadFileBytes(m_install.Child("a.dll")) == a);
    EXPECT_EQ(m_server.CountRequests("/files/a.dll"), c.fileRewritten ? 2 : 1);
    EXPECT_EQ(m_server.CountRequests("/files/b.dll"), 1);
    const std::string log = ReadFileBytes(m_install.Child("log\\Morvane.log")).substr(logged);
    const bool recordStands = c.record == RecordState::Intact;
    EXPECT_NE(log.find(std::string("\"b.dll\" is current (") + (recordStands ? "its record stands" : "hashed")),
              std::string::npos) << log;
    EXPECT_EQ(FileRecords::Load(records).Count(), 2u) << "the second installation records both again";
}

INSTANTIATE_TEST_SUITE_P(
    Changes, RecordedFiles,
    ::testing::Values(RecordCase{"NothingChanged", RecordState::Intact, false},
                      RecordCase{"FileRewrittenInPlace", RecordState::Intact, true},
                      RecordCase{"RecordDamaged", RecordState::Damaged, true},
                      RecordCase{"RecordMissing", RecordState::Missing, false}),
    [](const ::testing::TestParamInfo<RecordCase>& info) { return std::string(info.param.name); });

TEST_F(MorvaneEndToEnd, NextRunDeletesTheLeftoverTemporaryFolderBeforeDownloading) {
    m_install.WriteSettings("1.0");
    const std::string content = PatternBytes(30000, 26);
    Publish("/files/a.dll", content);
    PublishList("[" + Entry("a.dll", content + "x") + "]");
    ASSERT_TRUE(m_server.Put("/V", "2.0"));
    EXPECT_EQ(Run().exitCode, 0);
    ASSERT_TRUE(PathExists(m_install.TempDirectory() + "\\a.dll"));  // the refused file stays
    ASSERT_TRUE(WriteFileBytes(m_install.TempDirectory() + "\\leftover.txt", "from before"));

    PublishList("[" + Entry("a.dll", content) + "]");
    EXPECT_EQ(Run().exitCode, 0);
    EXPECT_TRUE(ReadFileBytes(m_install.Child("a.dll")) == content);
    EXPECT_FALSE(PathExists(m_install.Child("leftover.txt")));
    EXPECT_EQ(m_install.RecordedVersion(), "2.0");
    EXPECT_FALSE(PathExists(m_install.TempDirectory()));
}

class NothingToInstall : public MorvaneEndToEnd, public ::testing::WithParamInterface<const char*> {};

TEST_P(NothingToInstall, TemporaryFolderDeletedNothingChangedMainProgramStarted) {
    m_install.WriteSettings("1.0");
    ASSERT_TRUE(WriteFileBytes(m_install.Child("a.dll"), "old a"));
    ASSERT_TRUE(::CreateDirectoryA(m_install.TempDirectory().c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(m_install.TempDirectory() + "\\a.dll", "left from an abandoned run"));
    PublishList(GetParam());
    ASSERT_TRUE(m_server.Put("/V", "2.0"));

    EXPECT_EQ(Run().exitCode, 0);
    EXPECT_EQ(m_server.CountRequests("/U"), 1);  // the worker ran
    EXPECT_FALSE(PathExists(m_install.TempDirectory()));
    EXPECT_EQ(ReadFileBytes(m_install.Child("a.dll")), "old a");
    EXPECT_FALSE(PathExists(m_install.Child("a.dllbak")));
    EXPECT_EQ(ReadFileBytes(m_install.Child("sys.ini")), kOldSettings);
    EXPECT_TRUE(m_install.WaitForStarts(1));
}

INSTANTIATE_TEST_SUITE_P(Lists, NothingToInstall,
                         ::testing::Values("[]", "<html><body>Service Unavailable</body></html>",
                                           R"({"id":"1","name":"a.dll","url":"x"})"));

// ---- the window ------------------------------------------------------------------------

class SlowDownload : public MorvaneEndToEnd {
protected:
    void SetUp() override {
        MorvaneEndToEnd::SetUp();
        if (HasFatalFailure()) return;
        m_install.WriteSettings("1.0");
        ASSERT_TRUE(WriteFileBytes(m_install.Child("a.dll"), "old a"));
        const std::string content = PatternBytes(400000, 27);
        Publish("/files/a.dll", content);
        PublishList("[" + Entry("a.dll", content) + "]");
        // 2 KB every 0.2 s: minutes for the whole file, so the window waits for the test.
        ASSERT_TRUE(m_server.SetFault("/files/a.dll", "mode=trickle&chunk=2048&delay=0.2"));
        ASSERT_TRUE(m_server.Put("/V", "2.0"));
    }

    HWND WaitForDownload(HANDLE process) {
        const DWORD id = ::GetProcessId(process);
        HWND window = nullptr;
        WaitUntil([&] { return (window = UpdateWindowOf(id)) != nullptr; });
        // The file's transfer is under way once its first pieces are on disk.
        WaitUntil([&] { return ReadFileBytes(m_install.TempDirectory() + "\\a.dll").size() >= 4096; });
        return window;
    }

    void ExpectUntouched() {
        EXPECT_EQ(ReadFileBytes(m_install.Child("a.dll")), "old a");
        EXPECT_EQ(ReadFileBytes(m_install.Child("sys.ini")), kOldSettings);
        // The partial download stays until the next run deletes it.
        EXPECT_TRUE(PathExists(m_install.TempDirectory() + "\\a.dll"));
    }
};

TEST_F(SlowDownload, CloseButtonStartsTheMainProgramAndEndsTheUpdater) {
    bool shown = false;
    UniqueKernelHandle process = Start(&shown);
    ASSERT_TRUE(shown);
    const HWND window = WaitForDownload(process.get());
    ASSERT_NE(window, nullptr);

    RECT client;
    ::GetClientRect(window, &client);
    const LPARAM where = MAKELPARAM(client.right - 19, 19);
    ::PostMessageA(window, WM_MOUSEMOVE, 0, where);
    ::PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, where);
    ::PostMessageA(window, WM_LBUTTONUP, 0, where);

    EXPECT_EQ(WaitForExitCode(process.get(), 15000), 0);
    EXPECT_TRUE(m_install.WaitForStarts(1));
    EXPECT_EQ(m_install.Starts().size(), 1u);
    ExpectUntouched();
}

TEST_F(SlowDownload, AltF4EndsTheUpdaterWithoutStartingTheMainProgram) {
    bool shown = false;
    UniqueKernelHandle process = Start(&shown);
    ASSERT_TRUE(shown);
    const HWND window = WaitForDownload(process.get());
    ASSERT_NE(window, nullptr);

    // Alt+F4 as the keyboard delivers it: F4 with the Alt bit, turned into SC_CLOSE by the default handling.
    ::PostMessageA(window, WM_SYSKEYDOWN, VK_F4, (1 << 29) | (0x3E << 16) | 1);

    EXPECT_EQ(WaitForExitCode(process.get(), 15000), 0);
    ExpectNoStartFor(std::chrono::milliseconds(1500));
    ExpectUntouched();
}

// ---- signed updates --------------------------------------------------------------------

// Folders that scripts/test names: the test keys' private halves, a set the publishing tool signed.
std::string FromEnvironment(const char* name) { return std::getenv(name) != nullptr ? std::getenv(name) : ""; }

struct KeyedUpdater : MorvaneEndToEnd {
    KeyedUpdater() { m_pProgram = "MorvaneKeyed.exe"; }
};

enum class ListedSha256 { Right, Wrong, None };  // Wrong: the MD5 still right

struct SignedCase {
    const char* name;
    const char* signer;  // a key the build holds ("current", "next"), "other", or null: no "/U.sig"
    bool changedAfterSigning;
    ListedSha256 sha256;
    bool installs;
    const char* moreMembers = "";  // added to the entry
};

class SignedUpdate : public KeyedUpdater, public ::testing::WithParamInterface<SignedCase> {};

TEST_P(SignedUpdate, InstallsOnlyWhatABuiltKeySigned) {
    const SignedCase& c = GetParam();
    m_install.WriteSettings("1.0");
    ASSERT_TRUE(WriteFileBytes(m_install.Child("a.dll"), "old a"));
    const std::string content = PatternBytes(50000, 31);
    Publish("/files/a.dll", content);
    std::string list = "[" + Entry("a.dll", content) + "]";
    if (c.sha256 != ListedSha256::None) {
        const std::string digest = LowerHex(Sha256Of(c.sha256 == ListedSha256::Right ? content : "").value_or(""));
        list.insert(list.size() - 2, ",\"sha256\":\"" + digest + "\"");
    }
    list.insert(list.size() - 2, c.moreMembers);
    if (c.signer != nullptr) {
        const std::string keyFile = FromEnvironment("KESTROVA_TEST_KEYS") + "\\" + c.signer + ".blob";
        const SigningKey key =
            std::strcmp(c.signer, "other") == 0 ? SigningKey::Generate() : SigningKey::FromBlobFile(keyFile);
        ASSERT_TRUE(key.valid()) << "scripts/test names the test keys' folder in KESTROVA_TEST_KEYS";
        Publish("/U.sig", SignUpdate(key, "2.0", list));
    }
    PublishList(c.changedAfterSigning ? list + " " : list);
    ASSERT_TRUE(m_server.Put("/V", "2.0"));

    EXPECT_EQ(Run().exitCode, 0);
    EXPECT_EQ(m_server.CountRequests("/U.sig"), 1);
    EXPECT_TRUE(m_install.WaitForStarts(1));
    EXPECT_EQ(m_install.Starts().size(), 1u);
    // Nothing is downloaded before the list is trusted.
    EXPECT_EQ(m_server.CountRequests("/files/a.dll"), c.installs || c.sha256 == ListedSha256::Wrong ? 1 : 0);
    EXPECT_TRUE(ReadFileBytes(m_install.Child("a.dll")) == (c.installs ? content : "old a"));
    EXPECT_EQ(PathExists(m_install.Child("a.dllbak")), c.installs);
    EXPECT_EQ(m_install.RecordedVersion(), c.installs ? "2.0" : "1.0");
}

INSTANTIATE_TEST_SUITE_P(
    Roads, SignedUpdate,
    ::testing::Values(SignedCase{"SignedByTheCurrentKey", "current", false, ListedSha256::Right, true},
                      SignedCase{"SignedByTheNextKey", "next", false, ListedSha256::Right, true},
                      SignedCase{"ListChangedAfterSigning", "current", true, ListedSha256::Right, false},
                      SignedCase{"SignedByAnotherKey", "other", false, ListedSha256::Right, false},
                      SignedCase{"SignatureMissing", nullptr, false, ListedSha256::Right, false},
                      SignedCase{"EntryWithoutSha256", "current", false, ListedSha256::None, false},
                      SignedCase{"FileSha256Differs", "current", false, ListedSha256::Wrong, false},
                      SignedCase{"WithItsLength", "current", false, ListedSha256::Right, true, ",\"bytes\":50000"},
                      SignedCase{"LengthAsText", "current", false, ListedSha256::Right, false, ",\"bytes\":\"50000\""},
                      SignedCase{"LengthAsFraction", "current", false, ListedSha256::Right, false, ",\"bytes\":5e4"},
                      SignedCase{"NegativeLength", "current", false, ListedSha256::Right, false, ",\"bytes\":-1"}),
    [](const ::testing::TestParamInfo<SignedCase>& info) { return std::string(info.param.name); });

// Signed by the publishing tool (Python's cryptography), checked by the updater (CNG):
// both sides agree on the message, the digest and the encoding.
TEST_F(KeyedUpdater, InstallsTheSetThePublishingToolSigned) {
    const std::string set = FromEnvironment("KESTROVA_TEST_SIGNED_UPDATE") + "\\";
    const std::vector<UpdateEntry> entries = ParseUpdateList(ReadFileBytes(set + "update.json"));
    ASSERT_FALSE(entries.empty()) << "scripts/test publishes a signed set and names it in KESTROVA_TEST_SIGNED_UPDATE";
    const std::pair<const char*, const char*> routes[] = {
        {"/V", "version.txt"}, {"/U", "update.json"}, {"/U.sig", "update.sig"}};
    for (const auto& [route, file] : routes) Publish(route, ReadFileBytes(set + file));
    // Each file lies in the set under the path of its URL.
    auto path = [&](const UpdateEntry& entry) { return entry.url.substr(m_server.BaseUrl().size()); };
    auto published = [&](const UpdateEntry& entry) {
        std::string file = path(entry).substr(1);
        std::replace(file.begin(), file.end(), '/', '\\');
        return ReadFileBytes(set + file);
    };
    for (const UpdateEntry& entry : entries) Publish(path(entry), published(entry));
    m_install.WriteSettings("1.0");

    EXPECT_EQ(Run().exitCode, 0);
    EXPECT_EQ(m_server.CountRequests("/U.sig"), 1);
    EXPECT_EQ(m_install.RecordedVersion(), ReadFileBytes(set + "version.txt"));
    for (const UpdateEntry& entry : entries) EXPECT_TRUE(ReadFileBytes(m_install.Child(entry.name)) == published(entry));
}

// ---- compressed files and patches -------------------------------------------------------

// The publishing tool's three releases of "a.dll" (scripts/test), the third offered
// compressed and as patches from the first two, served as published or changed.
enum class Installed { FirstRelease, Other };
enum class ListChange { None, PatchFromTheSecond, PatchToTheSecond, CorruptPatchListed, WithoutNewMembers };
enum class Served { AsPublished, CorruptPatch, CorruptFrame };

struct SmallerFormCase {
    const char* name;
    bool keyed;
    Installed installed;
    ListChange change;
    Served served;
    int patchFetches, frameFetches, wholeFetches;
    const char* verifiedFrom;  // "patch", "compressed file", or null: the whole file
    const char* cause;         // a line the log must hold, or null
};

class SmallerForms : public MorvaneEndToEnd, public ::testing::WithParamInterface<SmallerFormCase> {
protected:
    SmallerForms() {
        if (GetParam().keyed) m_pProgram = "MorvaneKeyed.exe";
    }
    static rapidjson::Document ListOf(int release) {
        rapidjson::Document list;
        list.Parse(ReadFileBytes(Set() + "releases\\00000" + std::to_string(release) + "\\update.json").c_str());
        return list;
    }
    static std::string Set() { return FromEnvironment("KESTROVA_TEST_DELTA_UPDATE") + "\\"; }
    std::string PathOf(const rapidjson::Value& source) const {
        return std::string(source["url"].GetString()).substr(m_server.BaseUrl().size());
    }
    std::string Published(const rapidjson::Value& source) const {
        std::string file = PathOf(source).substr(1);
        std::replace(file.begin(), file.end(), '/', '\\');
        return ReadFileBytes(Set() + file);
    }
    // Serves the file, its frame and its patches as published.
    void Serve(const rapidjson::Value& entry) {
        Publish(PathOf(entry), Published(entry));
        if (entry.HasMember("zst")) Publish(PathOf(entry["zst"]), Published(entry["zst"]));
        if (entry.HasMember("patches")) {
            for (const auto& patch : entry["patches"].GetArray()) Publish(PathOf(patch), Published(patch));
        }
    }
    static rapidjson::Value& PatchFrom(rapidjson::Value& entry, const rapidjson::Value& base) {
        for (auto& patch : entry["patches"].GetArray()) {
            if (std::strcmp(patch["from"].GetString(), base["sha256"].GetString()) == 0) return patch;
        }
        ADD_FAILURE() << "no patch from " << base["sha256"].GetString();
        return entry;
    }
};

std::string Corrupted(std::string bytes) {
    bytes[bytes.size() / 2] ^= 0x5A;
    return bytes;
}

TEST_P(SmallerForms, EachFailingFormFallsBackToTheNextAndTheFileInstalls) {
    const SmallerFormCase& c = GetParam();
    rapidjson::Document first = ListOf(1), second = ListOf(2), list = ListOf(3);
    ASSERT_TRUE(list.IsArray() && !list.Empty()) << "scripts/test publishes the set and names it in KESTROVA_TEST_DELTA_UPDATE";
    rapidjson::Value& entry = list[0];
    const std::string content = Published(entry);
    Serve(first[0]);
    Serve(second[0]);
    Serve(entry);
    ASSERT_TRUE(WriteFileBytes(m_install.Child("a.dll"), c.installed == Installed::Other ? "old a" : Published(first[0])));

    rapidjson::Value& patch = PatchFrom(entry, first[0]);
    auto& allocator = list.GetAllocator();
    auto take = [&](const rapidjson::Value& from) {
        for (const char* member : {"url", "bytes", "sha256"}) patch[member].CopyFrom(from[member], allocator);
    };
    if (c.change == ListChange::PatchFromTheSecond) take(PatchFrom(entry, second[0]));
    if (c.change == ListChange::PatchToTheSecond) take(PatchFrom(second[0], first[0]));
    if (c.change == ListChange::CorruptPatchListed) {
        const std::string corrupt = Corrupted(Published(patch));
        const std::string path = PathOf(patch) + ".corrupt";
        Publish(path, corrupt);
        patch["url"].SetString((m_server.BaseUrl() + path).c_str(), allocator);
        patch["sha256"].SetString(LowerHex(Sha256Of(corrupt).value_or("")).c_str(), allocator);
    }
    if (c.change == ListChange::WithoutNewMembers) {
        for (const char* member : {"zst", "patches", "bytes"}) entry.RemoveMember(member);
    }
    if (c.served == Served::CorruptPatch) Publish(PathOf(patch), Corrupted(Published(patch)));
    if (c.served == Served::CorruptFrame) Publish(PathOf(entry["zst"]), Corrupted(Published(entry["zst"])));
    rapidjson::StringBuffer text;
    rapidjson::Writer<rapidjson::StringBuffer> writer(text);
    list.Accept(writer);
    const std::string body = text.GetString();
    PublishList(body);
    if (c.keyed) {
        const SigningKey key = SigningKey::FromBlobFile(FromEnvironment("KESTROVA_TEST_KEYS") + "\\current.blob");
        Publish("/U.sig", SignUpdate(key, "3.9", body));
    }
    ASSERT_TRUE(m_server.Put("/V", "3.9"));
    m_install.WriteSettings("1.0");

    EXPECT_EQ(Run().exitCode, 0);
    EXPECT_TRUE(ReadFileBytes(m_install.Child("a.dll")) == content);
    EXPECT_EQ(m_install.RecordedVersion(), "3.9");
    std::set<std::string> patches;  // two may name one file
    if (entry.HasMember("patches")) {
        for (const auto& offered : entry["patches"].GetArray()) patches.insert(PathOf(offered));
    }
    int patchFetches = 0;
    for (const std::string& path : patches) patchFetches += m_server.CountRequests(path);
    EXPECT_EQ(patchFetches, c.patchFetches);
    EXPECT_EQ(m_server.CountRequests(PathOf(ListOf(3)[0]["zst"])), c.frameFetches);
    EXPECT_EQ(m_server.CountRequests(PathOf(entry)), c.wholeFetches);
    const std::string log = ReadFileBytes(m_install.Child("log\\Morvane.log"));
    const std::string verified = c.verifiedFrom != nullptr ? std::string("verified from its ") + c.verifiedFrom : "verified (";
    EXPECT_NE(log.find("file \"a.dll\" " + verified), std::string::npos) << log;
    if (c.cause != nullptr) {
        EXPECT_NE(log.find(c.cause), std::string::npos) << log;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Roads, SmallerForms,
    ::testing::Values(
        SmallerFormCase{"PatchFromTheInstalledVersion", true, Installed::FirstRelease, ListChange::None,
                        Served::AsPublished, 1, 0, 0, "patch", nullptr},
        SmallerFormCase{"InstalledCopyMatchesNoPatch", true, Installed::Other, ListChange::None, Served::AsPublished, 0,
                        1, 0, "compressed file", "no patch from the installed version"},
        SmallerFormCase{"PatchMadeFromAnotherBase", true, Installed::FirstRelease, ListChange::PatchFromTheSecond,
                        Served::AsPublished, 1, 1, 0, "compressed file", "its patch failed: "},
        SmallerFormCase{"PatchCorruptedOnTheWay", true, Installed::FirstRelease, ListChange::None, Served::CorruptPatch,
                        1, 1, 0, "compressed file", "its patch failed: "},
        SmallerFormCase{"CorruptPatchAsListed", true, Installed::FirstRelease, ListChange::CorruptPatchListed,
                        Served::AsPublished, 1, 1, 0, "compressed file", "its patch failed: "},
        SmallerFormCase{"PatchDecodesToAnotherFile", true, Installed::FirstRelease, ListChange::PatchToTheSecond,
                        Served::AsPublished, 1, 1, 0, "compressed file", "its patch failed: it decodes to another MD5"},
        SmallerFormCase{"CorruptCompressedFile", true, Installed::Other, ListChange::None, Served::CorruptFrame, 0, 1, 1,
                        nullptr, "its compressed file failed: "},
        SmallerFormCase{"ListWithoutTheNewMembers", true, Installed::FirstRelease, ListChange::WithoutNewMembers,
                        Served::AsPublished, 0, 0, 1, nullptr, nullptr},
        // Unsigned, the smaller forms could be anything a server in the path chose.
        SmallerFormCase{"UnsignedListIsFetchedWhole", false, Installed::FirstRelease, ListChange::None,
                        Served::AsPublished, 0, 0, 1, nullptr, nullptr}),
    [](const ::testing::TestParamInfo<SmallerFormCase>& info) { return std::string(info.param.name); });

// ---- the installation folder -------------------------------------------------------------

// A copy installed before the installer protected its folder, in a folder that inherits
// write access for every user (as from the root of a data drive).
TEST_F(MorvaneEndToEnd, FolderStandardUsersCanWriteIsProtectedAtStart) {
    m_install.WriteSettings("1.0");
    ASSERT_TRUE(m_server.Put("/V", "1.0"));
    ASSERT_TRUE(LetEveryoneWrite(m_install.Path()));
    ASSERT_TRUE(EveryoneMayWrite(m_install.Path()));

    EXPECT_EQ(Run().exitCode, 0);
    EXPECT_FALSE(EveryoneMayWrite(m_install.Path()));
    EXPECT_TRUE(m_install.WaitForStarts(1));
    const std::string log = ReadFileBytes(m_install.Child("log\\Morvane.log"));
    EXPECT_NE(log.find("it is protected now"), std::string::npos) << log;
}

// No installation writes such a journal: whoever could write "uploadtemp" would, to move
// a file of theirs anywhere as administrator.
TEST_F(MorvaneEndToEnd, JournalNamingAPathOutsideIsRolledBackAndItsFileStaysOut) {
    const std::string name = "..\\kestrova-planted.dll";
    const std::string place = m_install.Path() + "\\" + name;  // and "uploadtemp\\" + name is in the folder
    ASSERT_TRUE(::DeleteFileA(place.c_str()) || !PathExists(place));
    ASSERT_TRUE(WriteFileBytes(m_install.Child("kestrova-planted.dll"), "planted"));
    // a.dll had been moved in when the installation ended.
    ASSERT_TRUE(WriteFileBytes(m_install.Child("a.dll"), "new a"));
    ASSERT_TRUE(WriteFileBytes(m_install.Child("a.dllbak"), "old a"));
    ASSERT_TRUE(::CreateDirectoryA(m_install.TempDirectory().c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(m_install.TempDirectory() + "\\install.journal",
                               "kestrova installation journal 1\nversion 2.0\nreplace a.dll\nadd " + name + "\nend\n"));
    m_install.WriteSettings("1.0");
    ASSERT_TRUE(m_server.Put("/V", "1.0"));

    EXPECT_EQ(Run().exitCode, 0);
    EXPECT_FALSE(::DeleteFileA(place.c_str()));
    EXPECT_EQ(ReadFileBytes(m_install.Child("a.dll")), "old a");
    EXPECT_FALSE(PathExists(m_install.Child("a.dllbak")));
    EXPECT_EQ(m_install.RecordedVersion(), "1.0");
    EXPECT_FALSE(PathExists(m_install.TempDirectory()));
    const std::string log = ReadFileBytes(m_install.Child("log\\Morvane.log"));
    EXPECT_NE(log.find("names \"" + name + "\", not a plain file name: nothing of it is installed"), std::string::npos)
        << log;
}

// An installation of a signed update that ended once its journal was written, in a folder
// whose temporary directory someone then changed: the next start installs only files that
// match the signed list kept there, checked again with the built-in keys.
struct KeptListCase {
    const char* name;
    void (*change)(const std::string& tempDir);  // null: nothing changed
    const char* logged;                          // what the recovery logs (a refusal: no error code after it)
};

class KeptListRecovery : public KeyedUpdater, public ::testing::WithParamInterface<KeptListCase> {};

TEST_P(KeptListRecovery, InstallsOnlyWhatTheKeptListSigned) {
    const KeptListCase& c = GetParam();
    m_install.WriteSettings("1.0");
    ASSERT_TRUE(WriteFileBytes(m_install.Child("a.dll"), "old a"));
    const std::string content = PatternBytes(50000, 37);
    Publish("/files/a.dll", content);
    std::string list = "[" + Entry("a.dll", content) + "]";
    list.insert(list.size() - 2, ",\"sha256\":\"" + LowerHex(Sha256Of(content).value_or("")) + "\"");
    const SigningKey key = SigningKey::FromBlobFile(FromEnvironment("KESTROVA_TEST_KEYS") + "\\current.blob");
    ASSERT_TRUE(key.valid()) << "scripts/test names the test keys' folder in KESTROVA_TEST_KEYS";
    Publish("/U.sig", SignUpdate(key, "2.0", list));
    PublishList(list);
    ASSERT_TRUE(m_server.Put("/V", "2.0"));
    ::SetEnvironmentVariableA("KESTROVA_INSTALL_FAULT", "journal");
    const long firstExit = Run().exitCode;
    ::SetEnvironmentVariableA("KESTROVA_INSTALL_FAULT", nullptr);
    ASSERT_EQ(firstExit, static_cast<long>(kEndedAtStepExitCode));
    ASSERT_TRUE(PathExists(m_install.TempDirectory() + "\\signed.list"));
    if (c.change != nullptr) c.change(m_install.TempDirectory());
    // The second start only recovers.
    ASSERT_TRUE(m_server.Put("/V", "1.0"));
    EXPECT_EQ(Run().exitCode, 0);

    const bool completes = c.change == nullptr;
    EXPECT_TRUE(ReadFileBytes(m_install.Child("a.dll")) == (completes ? content : "old a"));
    EXPECT_EQ(PathExists(m_install.Child("a.dllbak")), completes);
    EXPECT_EQ(m_install.RecordedVersion(), completes ? "2.0" : "1.0");
    EXPECT_FALSE(PathExists(m_install.TempDirectory()));
    const std::string log = ReadFileBytes(m_install.Child("log\\Morvane.log"));
    EXPECT_NE(log.find(c.logged), std::string::npos) << log;
    // The changed file was never moved in, not even for a moment.
    EXPECT_EQ(log.find("installed \"a.dll\"") != std::string::npos, completes) << log;
}

void AppendTo(const std::string& path, const std::string& bytes) {
    ASSERT_TRUE(WriteFileBytes(path, ReadFileBytes(path) + bytes));
}

INSTANTIATE_TEST_SUITE_P(
    Changes, KeptListRecovery,
    ::testing::Values(
        KeptListCase{"Unchanged", nullptr, "found: completing it"},
        KeptListCase{"FileBytesDifferFromTheList",
                     [](const std::string& dir) { ASSERT_TRUE(WriteFileBytes(dir + "\\a.dll", "planted")); },
                     "its bytes differ from the signed list\r\n"},
        KeptListCase{"FileLongerThanListed", [](const std::string& dir) { AppendTo(dir + "\\a.dll", "x"); },
                     "its bytes differ from the signed list\r\n"},
        KeptListCase{"ListChangedAfterItWasKept", [](const std::string& dir) { AppendTo(dir + "\\signed.list", " "); },
                     "the kept list's signature is not the maker's"},
        KeptListCase{"ListGone", [](const std::string& dir) { ASSERT_TRUE(::DeleteFileA((dir + "\\signed.list").c_str())); },
                     "no signed list is kept"}),
    [](const ::testing::TestParamInfo<KeptListCase>& info) { return std::string(info.param.name); });

// ---- crash-safe installation -----------------------------------------------------------

struct CrashCase {
    const char* step;  // where the first run ends itself; null: it runs to its end
    int heldRuns;      // runs during which z.dat cannot be moved aside, so its installation fails
    bool endsNew;      // what the next start leaves: all new, else all old
};

class InterruptedInstallation : public MorvaneEndToEnd, public ::testing::WithParamInterface<CrashCase> {};

// Whatever the step at which the updater ended, the next start (before it asks the server
// anything) completes the installation with the files it verified, or rolls it back when
// that fails: every file complete and of one version, "sys.ini" matching, no journal or
// temporary file.
TEST_P(InterruptedInstallation, NextStartLeavesOneVersion) {
    const CrashCase& c = GetParam();
    const std::string oldExe = ReadFileBytes(m_install.Child("Morvane.exe"));
    // name, old content (empty: not installed), new content; u.dll is current already.
    const std::vector<std::array<std::string, 3>> files = {{"Morvane.exe", oldExe, oldExe + "new build"},
                                                            {"a.dll", "old a", PatternBytes(300000, 41)},
                                                            {"b.dll", "", PatternBytes(1000, 42)},
                                                            {"u.dll", "current u", "current u"},
                                                            {"z.dat", "old z", "new z"}};
    std::string list;
    for (const auto& [name, before, after] : files) {
        ASSERT_TRUE(before.empty() || WriteFileBytes(m_install.Child(name), before));
        Publish("/files/" + name, after);
        list += (list.empty() ? "[" : ",") + Entry(name, after);
    }
    PublishList(list + "]");
    m_install.WriteSettings("1.0");
    ASSERT_TRUE(m_server.Put("/V", "2.0"));
    auto holdIf = [&](bool hold) {
        return UniqueFileHandle(hold ? ::CreateFileA(m_install.Child("z.dat").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                     nullptr, OPEN_EXISTING, 0, nullptr)
                                     : INVALID_HANDLE_VALUE);
    };
    UniqueFileHandle held = holdIf(c.heldRuns >= 1);
    ::SetEnvironmentVariableA("KESTROVA_INSTALL_FAULT", c.step);
    const long firstExit = Run().exitCode;
    ::SetEnvironmentVariableA("KESTROVA_INSTALL_FAULT", nullptr);
    EXPECT_EQ(firstExit, c.step != nullptr ? static_cast<long>(kEndedAtStepExitCode) : 0);
    // A run to its end started the main program, which the next start ends: let it record itself first.
    EXPECT_TRUE(c.step != nullptr || m_install.WaitForStarts(1));
    held = holdIf(c.heldRuns >= 2);
    // The server now offers what the installation holds either way: the second start only recovers.
    ASSERT_TRUE(m_server.Put("/V", "1.0"));
    EXPECT_EQ(Run().exitCode, 0);
    held.reset();

    for (const auto& [name, before, after] : files) {
        const std::string& expected = c.endsNew ? after : before;
        EXPECT_EQ(PathExists(m_install.Child(name)), !expected.empty()) << name;
        EXPECT_TRUE(ReadFileBytes(m_install.Child(name)) == expected) << name;
        // Backups of replaced files only, and only when the update stays.
        EXPECT_EQ(PathExists(m_install.Child(name + "bak")), c.endsNew && !before.empty() && before != after) << name;
    }
    EXPECT_EQ(m_install.RecordedVersion(), c.endsNew ? "2.0" : "1.0");
    EXPECT_FALSE(PathExists(m_install.TempDirectory()));
    EXPECT_EQ(m_server.CountRequests("/files/u.dll"), 0);
    EXPECT_TRUE(m_install.WaitForStarts(c.step != nullptr ? 1 : 2));
    const std::string log = ReadFileBytes(m_install.Child("log\\Morvane.log"));
    const size_t recovered = log.find("interrupted installation");
    EXPECT_EQ(recovered != std::string::npos, c.step != nullptr) << log;
    EXPECT_TRUE(c.step == nullptr || recovered < log.rfind("local version")) << "recovery before the version request";
    // The held file's failure is logged with the code of the call that failed: a sharing violation.
    EXPECT_EQ(log.find("could not install \"z.dat\": ") != std::string::npos, c.heldRuns >= 1) << log;
    EXPECT_TRUE(c.heldRuns == 0 || log.find("(error 32)\r\n") != std::string::npos) << log;
}

INSTANTIATE_TEST_SUITE_P(
    Steps, InterruptedInstallation,
    ::testing::Values(CrashCase{"journal", 0, true}, CrashCase{"backup:Morvane.exe", 0, true},
                      CrashCase{"moved:Morvane.exe", 0, true}, CrashCase{"backup:a.dll", 0, true},
                      CrashCase{"moved:a.dll", 0, true}, CrashCase{"moved:b.dll", 0, true},
                      CrashCase{"moved:z.dat", 0, true}, CrashCase{"settings-written", 0, true},
                      CrashCase{"settings", 0, true}, CrashCase{nullptr, 0, true},
                      // The installation fails at z.dat and rolls back, or ends while it rolls back.
                      CrashCase{nullptr, 1, false}, CrashCase{"rollback", 1, true},
                      CrashCase{"restored:a.dll", 1, true},
                      // Completing fails at the next start too: the old version comes back.
                      CrashCase{"journal", 2, false}),
    [](const ::testing::TestParamInfo<CrashCase>& info) {
        std::string name = std::string(info.param.step != nullptr ? info.param.step : "none") + "_held" +
                           std::to_string(info.param.heldRuns);
        for (char& ch : name) {
            if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        }
        return name;
    });

}  // namespace
