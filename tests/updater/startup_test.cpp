#include "updater/startup.h"

#include "tests/support/stream_capture.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_server.h"
#include "updater/transfer_limits.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

TEST(UpdateDecision, LocalVersionMustBeStrictlyOlderByBytes) {
    EXPECT_TRUE(IsUpdateDue("1.0.0.1", "1.0.0.2"));
    EXPECT_FALSE(IsUpdateDue("1.0.0.2", "1.0.0.1"));
    EXPECT_FALSE(IsUpdateDue("1.0.0.2", "1.0.0.2"));
    EXPECT_FALSE(IsUpdateDue("1.0.0.9", "1.0.0.10"));
    EXPECT_TRUE(IsUpdateDue("1.0.0.10", "1.0.0.9"));
    EXPECT_FALSE(IsUpdateDue("2.0", "10.0"));
    EXPECT_TRUE(IsUpdateDue("1.0", "<html><body>404</body></html>"));
}

TEST(UpdateDecision, NoUpdateWithoutBothVersions) {
    EXPECT_FALSE(IsUpdateDue("", "1.0"));
    EXPECT_FALSE(IsUpdateDue("1.0", ""));
    EXPECT_FALSE(IsUpdateDue("", ""));
}

TEST(ServerVersion, TrailingLineEndsAreDroppedAndNothingElse) {
    EXPECT_EQ(WithoutTrailingLineEnds("1.0\r\n"), "1.0");
    EXPECT_EQ(WithoutTrailingLineEnds("1.0\n\n\r"), "1.0");
    EXPECT_EQ(WithoutTrailingLineEnds(" 1.0 \t\r\n"), " 1.0 \t");
    EXPECT_EQ(WithoutTrailingLineEnds("1.0\r\nbeta"), "1.0\r\nbeta");
    EXPECT_EQ(WithoutTrailingLineEnds("\r\n"), "");
    EXPECT_EQ(WithoutTrailingLineEnds(std::string("1.0\0", 4)), std::string("1.0\0", 4));
}

// A text "sys.ini" cannot give back unchanged, an error page and a trickle are no version.
TEST(ServerVersion, OnlyATextSysIniCanRecordIsAVersion) {
    TestServer server("startup-version");
    const ReplyLimits saved = UpdaterLimits().versionReply;
    UpdaterLimits().versionReply = {2, 1024};
    struct Case {
        const char* body;
        const char* fault;
        const char* version;
    } cases[] = {
        {"2.0.1\r\n", nullptr, "2.0.1"},
        {"1.0.4 ", nullptr, ""},
        {"2.0.1 beta", nullptr, ""},
        {"1.0[b]", nullptr, ""},
        {"1.0=b", nullptr, ""},
        {"1.0\tb", nullptr, ""},
        {"<html>down</html>", "mode=status&code=500&count=1", ""},
        {"9.9.9", "mode=trickle&chunk=1&delay=1&count=1", ""},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(server.Put("/V", c.body));
        if (c.fault != nullptr) {
            ASSERT_TRUE(server.SetFault("/V", c.fault, c.body));
        }
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(FetchServerVersion(server.Url("/V")), c.version) << c.body;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(6)) << c.body;
    }
    UpdaterLimits().versionReply = saved;
}

TEST(ServerVersion, UnreachableServerGivesEmptyText) {
    StreamCapture errors(stderr);
    EXPECT_EQ(FetchServerVersion("http://127.0.0.1:1/V"), "");
    EXPECT_NE(errors.Text().find("curl_easy_perform() failed: "), std::string::npos);
}

TEST(LocalVersion, ReadFromSectionSoftKeyVer) {
    TempDir dir;
    const std::string path = dir.Child("sys.ini");
    EXPECT_EQ(ReadLocalVersion(path), "");  // no file

    ASSERT_TRUE(WriteFileBytes(path, "[Other]\r\nVer=9.9\r\n"));
    EXPECT_EQ(ReadLocalVersion(path), "");  // no section "Soft"

    ASSERT_TRUE(WriteFileBytes(path, "[soft]\r\nVer=9.9\r\n[Soft]\r\nName=x\r\n"));
    EXPECT_EQ(ReadLocalVersion(path), "");  // letter case counts; no key "Ver"

    ASSERT_TRUE(WriteFileBytes(path, "[Soft]\r\nVer = 1. 0.3\r\nVer=2.0\r\n"));
    EXPECT_EQ(ReadLocalVersion(path), "1.0.3");
}

}  // namespace
