#include "updater/update_list.h"

#include "tests/support/temp_dir.h"
#include "tests/support/test_server.h"

#include <gtest/gtest.h>

namespace {

TEST(ParseUpdateList, ArrayElementsInOrder) {
    const auto entries = ParseUpdateList(
        R"([{"id":"AB12","name":"a.dll","url":"http://h/a.dll","md5":"x"},)"
        R"( {"name":"b.exe","url":"http://h/b.exe","id":"cd34","sha256":"ef56"}])");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].id, "AB12");
    EXPECT_EQ(entries[0].name, "a.dll");
    EXPECT_EQ(entries[0].url, "http://h/a.dll");
    EXPECT_EQ(entries[1].id, "cd34");
    EXPECT_EQ(entries[1].name, "b.exe");
    EXPECT_EQ(entries[0].sha256 + "|" + entries[1].sha256, "|ef56");
    EXPECT_EQ(entries[0].file, nullptr);
}

TEST(ParseUpdateList, MissingOrNonStringMembersAndNonObjectsGiveEmptyFields) {
    const auto entries = ParseUpdateList(R"([{"id":5,"name":null,"url":["x"]}, "a.dll", 7, {"name":"c.txt"}])");
    ASSERT_EQ(entries.size(), 4u);
    for (const auto& entry : entries) EXPECT_EQ(entry.id + entry.url, "");
    EXPECT_EQ(entries[0].name, "");
    EXPECT_EQ(entries[1].name, "");
    EXPECT_EQ(entries[2].name, "");
    EXPECT_EQ(entries[3].name, "c.txt");
}

TEST(ParseUpdateList, AnythingButAnArrayGivesNoEntries) {
    EXPECT_TRUE(ParseUpdateList("[]").empty());
    EXPECT_TRUE(ParseUpdateList(R"({"id":"1","name":"a","url":"u"})").empty());
    EXPECT_TRUE(ParseUpdateList(R"("a.dll")").empty());
    EXPECT_TRUE(ParseUpdateList("42").empty());
    EXPECT_TRUE(ParseUpdateList("").empty());
    EXPECT_TRUE(ParseUpdateList("<html>404</html>").empty());
    EXPECT_TRUE(ParseUpdateList(R"([{"name":"a"})").empty());  // cut short
}

class FetchUpdateListTest : public ::testing::Test {
protected:
    // A leftover of an earlier run, which every fetch must delete.
    void SetUp() override {
        ASSERT_TRUE(::CreateDirectoryA(tempDir_.c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryA((tempDir_ + "\\nested").c_str(), nullptr));
        ASSERT_TRUE(WriteFileBytes(tempDir_ + "\\nested\\partial.dll", "half"));
        ASSERT_TRUE(WriteFileBytes(tempDir_ + "\\a.dll", "old"));
    }

    TempDir install_;
    std::string tempDir_ = install_.Child("uploadtemp");
    TestServer server_{"update-list"};
};

TEST_F(FetchUpdateListTest, NamesArriveInTheAnsiCodePageAndTheOldTemporaryFolderIsGone) {
    // "更新.dll" in UTF-8 on the wire, code page 936 bytes after the conversion.
    const std::string body = "[{\"id\":\"1\",\"name\":\"\xE6\x9B\xB4\xE6\x96\xB0.dll\",\"url\":\"u\"}]";
    ASSERT_TRUE(server_.Put("/U", body));
    std::string received;  // what a signature covers: the bytes before the conversion
    const auto entries = FetchUpdateList(server_.Url("/U"), tempDir_, &received);
    EXPECT_EQ(received, body);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "\xB8\xFC\xD0\xC2.dll");
    EXPECT_FALSE(PathExists(tempDir_));
    EXPECT_EQ(server_.CountRequests("/U"), 1);
}

TEST_F(FetchUpdateListTest, BodyThatIsNotJsonStillDeletesTheTemporaryFolder) {
    ASSERT_TRUE(server_.SetFault("/U", "mode=status&code=404", "<html>not here</html>"));
    EXPECT_TRUE(FetchUpdateList(server_.Url("/U"), tempDir_).empty());
    EXPECT_FALSE(PathExists(tempDir_));
}

TEST_F(FetchUpdateListTest, UnreachableServerStillDeletesTheTemporaryFolder) {
    EXPECT_TRUE(FetchUpdateList("http://127.0.0.1:1/U", tempDir_).empty());
    EXPECT_FALSE(PathExists(tempDir_));
}

TEST(FetchUpdateList, MissingTemporaryFolderIsNoError) {
    TempDir install;
    TestServer server("update-list-none");
    ASSERT_TRUE(server.Put("/U", R"([{"id":"1","name":"a","url":"u"}])"));
    EXPECT_EQ(FetchUpdateList(server.Url("/U"), install.Child("uploadtemp")).size(), 1u);
}

}  // namespace
