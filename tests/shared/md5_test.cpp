#include "shared/md5.h"

#include "tests/support/pattern_bytes.h"
#include "tests/support/stream_capture.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

namespace {

TEST(FileMd5, KnownDigests) {
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir.Child("empty"), ""));
    EXPECT_EQ(FileMd5(dir.Child("empty")), "d41d8cd98f00b204e9800998ecf8427e");

    ASSERT_TRUE(WriteFileBytes(dir.Child("abc"), "abc"));
    EXPECT_EQ(FileMd5(dir.Child("abc")), "900150983cd24fb0d6963f7d28e17f72");

    // Several megabytes, not a multiple of any block size; digest from Python's hashlib.
    ASSERT_TRUE(WriteFileBytes(dir.Child("large"), PatternBytes(5 * 1024 * 1024 + 123)));
    EXPECT_EQ(FileMd5(dir.Child("large")), "1e2187fb71a4677636f351b7bfe33f51");
}

TEST(FileMd5, MissingFileGivesNoDigestAndADiagnosticLine) {
    TempDir dir;
    const std::string path = dir.Child("absent.bin");
    StreamCapture errors(stderr);
    EXPECT_FALSE(FileMd5(path).has_value());
    EXPECT_EQ(errors.Text(), "fopen " + path + " failed\n");
}

}  // namespace
