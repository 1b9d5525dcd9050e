#include "updater/update_worker.h"

#include "tests/support/message_box_watcher.h"
#include "shared/sha256.h"
#include "tests/updater/update_signing.h"
#include "tests/updater/worker_fixture.h"
#include "updater/install_update.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

namespace {

using FinalCodes = std::vector<WPARAM>;
using Names = std::vector<std::string>;

TEST(DigestMatches, IdLetterCaseIsIgnoredButNothingElse) {
    const std::string digest = "0123456789abcdef0123456789abcdef";
    EXPECT_TRUE(DigestMatches(digest, digest));
    EXPECT_TRUE(DigestMatches("0123456789ABCDEF0123456789ABCDEF", digest));
    EXPECT_FALSE(DigestMatches("", digest));
    EXPECT_FALSE(DigestMatches(digest + " ", digest));
    EXPECT_FALSE(DigestMatches("0123456789abcdef0123456789abcdee", digest));
}

TEST_F(WorkerTest, EveryFileDownloadedAndVerifiedThenFinishedOnce) {
    const std::string first = PatternBytes(300000, 1);
    const std::string second = PatternBytes(70000, 2);
    PublishList({Entry("a.dll", Publish("/files/a.dll", first), first, true),
                 Entry("b.exe", Publish("/files/b.exe", second), second)});
    RunWorker();

    EXPECT_EQ(m_recorder.FinalCodes(), FinalCodes{UPDATE_FINISHED});
    EXPECT_EQ(m_recorder.Messages().back().code, UPDATE_FINISHED);
    EXPECT_EQ(m_recorder.Messages().back().data, 0);
    EXPECT_TRUE(ReadFileBytes(m_install.TempDirectory() + "\\a.dll") == first);
    EXPECT_TRUE(ReadFileBytes(m_install.TempDirectory() + "\\b.exe") == second);
    EXPECT_EQ(TakeVerifiedUpdate(), std::optional<Names>(Names{"a.dll", "b.exe"}));
    EXPECT_TRUE(m_install.Starts().empty());
}

// Where the installed copy already has the listed digest (the MD5 "id" here, the signed
// SHA-256 below), the file is neither fetched nor installed.
TEST_F(WorkerTest, CurrentFilesAreNeitherFetchedNorInstalled) {
    const std::string current = PatternBytes(30000, 11), changed = PatternBytes(20000, 12);
    ASSERT_TRUE(WriteFileBytes(m_install.Child("a.dll"), current));
    ASSERT_TRUE(WriteFileBytes(m_install.Child("b.dll"), "old b"));
    PublishList({Entry("a.dll", Publish("/files/a.dll", current), current, true),
                 Entry("b.dll", Publish("/files/b.dll", changed), changed)});
    RunWorker();
    EXPECT_EQ(m_recorder.FinalCodes(), FinalCodes{UPDATE_FINISHED});
    EXPECT_EQ(m_server.CountRequests("/files/a.dll"), 0);
    EXPECT_EQ(TakeVerifiedUpdate(), std::optional<Names>(Names{"b.dll"}));
}

// A signed list keeps what an abandoned run verified and this list names with the same
// SHA-256; a partial file is fetched again and anything unlisted goes.
TEST_F(WorkerTest, SignedListKeepsVerifiedFilesOfAnEarlierRun) {
    const SigningKey key = SigningKey::Generate();
    Updater().UpdateKeys = key.PublicHex();
    Updater().SignatureUrl = m_server.Url("/U.sig");
    Updater().ServerVersion = "2.0";
    const std::string kept = PatternBytes(30000, 13), partial = PatternBytes(40000, 14), current = "current c";
    ASSERT_TRUE(::CreateDirectoryA(m_install.TempDirectory().c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(m_install.TempDirectory() + "\\a.dll", kept));
    ASSERT_TRUE(WriteFileBytes(m_install.TempDirectory() + "\\b.dll", partial.substr(0, 100)));
    ASSERT_TRUE(WriteFileBytes(m_install.TempDirectory() + "\\unlisted.dll", "from an older list"));
    ASSERT_TRUE(WriteFileBytes(m_install.Child("c.dll"), current));
    std::string list = "[";
    for (const auto& [name, content] : {std::pair{"a.dll", kept}, {"b.dll", partial}, {"c.dll", current}}) {
        const std::string entry = Entry(name, Publish(std::string("/files/") + name, content), content);
        list += (list.size() > 1 ? "," : "") + entry.substr(0, entry.size() - 1) + ",\"sha256\":\"" +
                LowerHex(Sha256Of(content).value_or("")) + "\"}";
    }
    list += "]";
    ASSERT_TRUE(m_server.Put("/U", list));
    Publish("/U.sig", SignUpdate(key, "2.0", list));
    RunWorker();

    EXPECT_EQ(m_recorder.FinalCodes(), FinalCodes{UPDATE_FINISHED});
    EXPECT_EQ(m_server.CountRequests("/files/a.dll") + m_server.CountRequests("/files/c.dll"), 0);
    EXPECT_TRUE(ReadFileBytes(m_install.TempDirectory() + "\\b.dll") == partial);
    EXPECT_FALSE(PathExists(m_install.TempDirectory() + "\\unlisted.dll"));
    EXPECT_EQ(TakeVerifiedUpdate(), std::optional<Names>(Names{"a.dll", "b.dll"}));
}

TEST_F(WorkerTest, PercentagesOfEachFileInTurnNeverATotal) {
    const std::string first = PatternBytes(40960, 3);
    const std::string second = PatternBytes(40960, 4);
    PublishList({Entry("a.dll", Publish("/files/a.dll", first), first),
                 Entry("b.dll", Publish("/files/b.dll", second), second)});
    ASSERT_TRUE(m_server.SetFault("/files/a.dll", "mode=trickle&chunk=8192&delay=0.1"));
    ASSERT_TRUE(m_server.SetFault("/files/b.dll", "mode=trickle&chunk=8192&delay=0.1"));
    RunWorker();

    const std::vector<int> percentages = m_recorder.Percentages();
    ASSERT_EQ(m_recorder.FinalCodes(), FinalCodes{UPDATE_FINISHED});
    // Two climbs to 100, the second starting low again.
    const auto firstEnd = std::find(percentages.begin(), percentages.end(), 100);
    ASSERT_NE(firstEnd, percentages.end());
    const std::vector<int> firstFile(percentages.begin(), firstEnd + 1);
    const std::vector<int> secondFile(firstEnd + 1, percentages.end());
    for (const auto& file : {firstFile, secondFile}) {
        ASSERT_GE(file.size(), 3u);  // 8 KB of 40 KB at a time: 20, 40, ... on the way
        EXPECT_TRUE(std::is_sorted(file.begin(), file.end()));
        EXPECT_EQ(file.back(), 100);
        EXPECT_TRUE(std::any_of(file.begin(), file.end(), [](int p) { return p > 0 && p < 100; }));
    }
    EXPECT_LE(secondFile.front(), 20);
}

TEST_F(WorkerTest, LargeFilePostsEachPercentageAtMostOnce) {
    const std::string content = PatternBytes(6 * 1024 * 1024, 5);
    PublishList({Entry("big.dat", Publish("/files/big.dat", content), content)});
    RunWorker();

    std::vector<int> percentages = m_recorder.Percentages();
    ASSERT_EQ(m_recorder.FinalCodes(), FinalCodes{UPDATE_FINISHED});
    ASSERT_FALSE(percentages.empty());
    EXPECT_EQ(percentages.back(), 100);
    EXPECT_TRUE(std::adjacent_find(percentages.begin(), percentages.end()) == percentages.end());
    EXPECT_LE(percentages.size(), 101u);
}

TEST_F(WorkerTest, FileWithoutLengthPostsNoPercentageAndIsStillVerified) {
    const std::string content = PatternBytes(200000, 6);
    PublishList({Entry("a.dll", Publish("/files/a.dll", content), content)});
    ASSERT_TRUE(m_server.SetFault("/files/a.dll", "mode=nolength"));
    RunWorker();

    EXPECT_TRUE(m_recorder.Percentages().empty());
    EXPECT_EQ(m_recorder.FinalCodes(), FinalCodes{UPDATE_FINISHED});
    EXPECT_TRUE(ReadFileBytes(m_install.TempDirectory() + "\\a.dll") == content);
}

TEST_F(WorkerTest, EmptyListFinishesAtOnce) {
    PublishList({});
    RunWorker();
    EXPECT_EQ(m_recorder.FinalCodes(), FinalCodes{UPDATE_FINISHED});
    EXPECT_TRUE(m_recorder.Percentages().empty());
    EXPECT_FALSE(PathExists(m_install.TempDirectory()));
    EXPECT_EQ(TakeVerifiedUpdate(), std::nullopt);  // nothing installed, nothing recorded
    EXPECT_TRUE(m_install.Starts().empty());
}

TEST_F(WorkerTest, RedirectedFileIsFollowed) {
    const std::string content = PatternBytes(5000, 7);
    PublishList({Entry("a.dll", Publish("/files/a.dll", content), content)});
    ASSERT_TRUE(m_server.SetFault("/files/a.dll", "mode=redirect&hops=3"));
    RunWorker();
    EXPECT_EQ(m_recorder.FinalCodes(), FinalCodes{UPDATE_FINISHED});
    EXPECT_TRUE(ReadFileBytes(m_install.TempDirectory() + "\\a.dll") == content);
}

TEST_F(WorkerTest, TemporaryFolderThatCannotBeMadeSkipsEachEntryWithOneBox) {
    Updater().InstallDir = m_install.Child("missing");  // its parent does not exist
    const std::string content = PatternBytes(1000, 8);
    PublishList({Entry("a.dll", Publish("/files/a.dll", content), content),
                 Entry("b.dll", Publish("/files/b.dll", content), content)});
    MessageBoxWatcher boxes;
    RunWorker();

    EXPECT_EQ(m_recorder.FinalCodes(), FinalCodes{UPDATE_FINISHED});
    const auto shown = boxes.Boxes();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].caption, "创建目录失败");
    EXPECT_EQ(shown[0].text, "创建目录[" + m_install.Child("missing") + "\\uploadtemp]失败,请检查权限");
    EXPECT_EQ(m_server.CountRequests("/files/a.dll"), 0);
}

// Every road that gives the update up: the main program is started, exactly one 931 is
// posted, and nothing is written outside the temporary folder.
class AbandonedUpdate : public WorkerTest {
protected:
    void ExpectAbandoned() {
        EXPECT_EQ(m_recorder.FinalCodes(), FinalCodes{UPDATE_ABORTED});
        EXPECT_EQ(m_recorder.Messages().back().code, UPDATE_ABORTED);
        EXPECT_TRUE(m_install.WaitForStarts(1));
        EXPECT_EQ(m_install.Starts().size(), 1u);
    }
    std::string m_content = PatternBytes(100000, 9);
};

TEST_F(AbandonedUpdate, SecondEntryFailsAfterTheFirstWasVerified) {
    const std::string other = PatternBytes(2000, 10);
    PublishList({Entry("a.dll", Publish("/files/a.dll", m_content), m_content),
                 Entry("b.dll", Publish("/files/b.dll", other), other)});
    ASSERT_TRUE(m_server.SetFault("/files/b.dll", "mode=status&code=500", "broken"));
    RunWorker();
    ExpectAbandoned();
    EXPECT_TRUE(ReadFileBytes(m_install.TempDirectory() + "\\a.dll") == m_content);
}

TEST_F(AbandonedUpdate, StalledTransferEndsByTheLowSpeedLimit) {
    UpdaterLimits().transfer = {5, 2};
    PublishList({Entry("a.dll", Publish("/files/a.dll", m_content), m_content)});
    // Ended by the limits while the server still stalls, not by the server.
    ASSERT_TRUE(m_server.SetFault("/files/a.dll", "mode=stall&seconds=120"));
    const auto started = std::chrono::steady_clock::now();
    RunWorker();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(60));
    ExpectAbandoned();
}

// The list's one element, "URL" standing for the published file's address, "MD5" for its
// digest and "LONG" for a name too long for a file.
enum class Left { Unchecked, TheFile, Nothing };  // in the temporary folder afterwards
struct AbandonCase {
    const char* name;
    const char* element;
    const char* fault = nullptr;  // how the server sends the file
    Left left = Left::Unchecked;
};

class AbandonedBy : public AbandonedUpdate, public ::testing::WithParamInterface<AbandonCase> {};

TEST_P(AbandonedBy, TheListOrTheTransfer) {
    std::string element = GetParam().element;
    for (const auto& [key, value] : {std::pair<std::string, std::string>{"URL", Publish("/files/a.dll", m_content)},
                                     {"MD5", Md5Of(m_content)}, {"LONG", std::string(300, 'n')}}) {
        if (const size_t at = element.find(key); at != std::string::npos) element.replace(at, key.size(), value);
    }
    PublishList({element});
    ASSERT_TRUE(GetParam().fault == nullptr || m_server.SetFault("/files/a.dll", GetParam().fault));
    RunWorker();
    ExpectAbandoned();
    const std::string left = ReadFileBytes(m_install.TempDirectory() + "\\a.dll");
    EXPECT_TRUE(GetParam().left == Left::Unchecked || left == (GetParam().left == Left::TheFile ? m_content : ""));
}

constexpr char kPlainEntry[] = R"({"id":"MD5","name":"a.dll","url":"URL"})";

INSTANTIATE_TEST_SUITE_P(
    Roads, AbandonedBy,
    ::testing::Values(
        // The refused file stays until the next run deletes the folder.
        AbandonCase{"DigestMismatch", R"({"id":"0123456789abcdef0123456789abcdef","name":"a.dll","url":"URL"})",
                    nullptr, Left::TheFile},
        // The server's page is not kept as the file.
        AbandonCase{"ErrorPageInsteadOfTheFile", R"({"id":"MD5","name":"a.dll","url":"URL.absent"})", nullptr,
                    Left::Nothing},
        AbandonCase{"EmptyId", R"({"id":"","name":"a.dll","url":"URL"})"},
        AbandonCase{"EntryWithoutUrl", R"({"id":"MD5","name":"a.dll"})"},
        AbandonCase{"ElementThatIsNotAnObject", R"("a.dll")"},
        AbandonCase{"ConnectionDroppedMidFile", kPlainEntry, "mode=drop&after=40000"},
        AbandonCase{"ConnectionResetMidFile", kPlainEntry, "mode=drop&after=40000&reset=1"},
        AbandonCase{"UnreachableFileServer", R"({"id":"MD5","name":"a.dll","url":"http://127.0.0.1:1/a.dll"})"},
        AbandonCase{"OutputFileThatCannotBeCreated", R"({"id":"MD5","name":"LONG","url":"URL"})"}),
    [](const ::testing::TestParamInfo<AbandonCase>& info) { return std::string(info.param.name); });

class NameWithPath : public AbandonedUpdate, public ::testing::WithParamInterface<std::string> {};

TEST_P(NameWithPath, IsRefusedBeforeAnythingIsFetched) {
    const std::string url = Publish("/files/a.dll", m_content);
    std::string name;
    for (char c : GetParam()) name += (c == '\\') ? std::string("\\\\") : std::string(1, c);
    PublishList({Entry(name, url, m_content)});
    RunWorker();
    ExpectAbandoned();
    EXPECT_EQ(m_server.CountRequests("/files/a.dll"), 0);
    EXPECT_FALSE(PathExists(m_install.Child("evil.dll")));
    EXPECT_FALSE(PathExists(m_install.Path() + "\\..\\evil.dll"));
}

INSTANTIATE_TEST_SUITE_P(Names, NameWithPath,
                         ::testing::Values("..\\evil.dll", "../evil.dll", "sub\\evil.dll", "C:evil.dll", "", ".",
                                           "..", "install.journal", "SIGNED.LIST", "Installed.Records",
                                           "installed.records.partial"));

}  // namespace
