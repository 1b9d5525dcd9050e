#include "updater/update_list.h"

#include "tests/support/temp_dir.h"
#include "tests/support/test_server.h"
#include "updater/transfer_limits.h"

#include <gtest/gtest.h>

#include <chrono>

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
    EXPECT_TRUE(ParseUpdateList(std::string(1000000, '[')).empty());  // no nesting exhausts the stack
}

class FetchUpdateListTest : public ::testing::Test {
protected:
    TestServer m_server{"update-list"};
};

TEST_F(FetchUpdateListTest, NamesArriveInTheAnsiCodePage) {
    // "更新.dll" in UTF-8 on the wire, code page 936 bytes after the conversion.
    const std::string body = "[{\"id\":\"1\",\"name\":\"\xE6\x9B\xB4\xE6\x96\xB0.dll\",\"url\":\"u\"}]";
    ASSERT_TRUE(m_server.Put("/U", body));
    std::string received;  // what a signature covers: the bytes before the conversion
    const auto entries = FetchUpdateList(m_server.Url("/U"), &received);
    EXPECT_EQ(received, body);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "\xB8\xFC\xD0\xC2.dll");
    EXPECT_EQ(m_server.CountRequests("/U"), 1);
}

// No list, whatever went wrong. An error page is no list even when it reads as one; a
// trickle is given up at the total limit.
TEST_F(FetchUpdateListTest, FailuresGiveNoEntries) {
    const ReplyLimits saved = UpdaterLimits().listReply;
    UpdaterLimits().listReply = {2, 4096};
    const std::string list = R"([{"id":"1","name":"a.dll","url":"u"}])";
    struct Case {
        const char* path;
        const char* fault;
        std::string body;
    } cases[] = {
        {"/U", "mode=status&code=404&count=1", "<html>not here</html>"},
        {"/U", "mode=status&code=503&count=1", list},
        {"/U", "mode=trickle&chunk=1&delay=1&count=1", list},
        {"/U", nullptr, std::string(5000, ' ') + list},  // over the size cap
        {"http://127.0.0.1:1/U", nullptr, ""},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(m_server.Put("/U", c.body));
        if (c.fault != nullptr) {
            ASSERT_TRUE(m_server.SetFault("/U", c.fault, c.body));
        }
        const std::string url = c.path[0] == '/' ? m_server.Url(c.path) : c.path;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(FetchUpdateList(url).empty()) << c.fault;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(6));
    }
    UpdaterLimits().listReply = saved;
}

}  // namespace
