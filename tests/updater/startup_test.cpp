#include "updater/startup.h"

#include "tests/support/stream_capture.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_server.h"

#include <gtest/gtest.h>

namespace {

TEST(InstallDir, CutAtTheLastSeparatorOfEitherKind) {
    EXPECT_EQ(InstallDirFromPath("C:\\Program Files\\Kestrova\\Morvane.exe"), "C:\\Program Files\\Kestrova");
    EXPECT_EQ(InstallDirFromPath("C:/Kestrova/bin/Morvane.exe"), "C:/Kestrova/bin");
    EXPECT_EQ(InstallDirFromPath("C:\\Kestrova/Morvane.exe"), "C:\\Kestrova");
    EXPECT_EQ(InstallDirFromPath("C:/Kestrova\\Morvane.exe"), "C:/Kestrova");
    EXPECT_EQ(InstallDirFromPath("Morvane.exe"), "Morvane.exe");
}

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

TEST(ServerVersion, FetchedAsReceivedApartFromTheLineEnd) {
    TestServer server("startup-version");
    ASSERT_TRUE(server.Put("/V", "2.0.1 beta\r\n"));
    EXPECT_EQ(FetchServerVersion(server.Url("/V")), "2.0.1 beta");
    EXPECT_EQ(server.CountRequests("/V"), 1);

    // An error page is a version text like any other.
    ASSERT_TRUE(server.SetFault("/V", "mode=status&code=500", "<html>down</html>"));
    EXPECT_EQ(FetchServerVersion(server.Url("/V")), "<html>down</html>");
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
