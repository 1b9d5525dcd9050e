#include "updater/version_rule.h"

#include <gtest/gtest.h>

namespace {

// IsOlderVersion(local, server) is the updater's "update due" test.
TEST(VersionRule, ByteOrderDecides) {
    EXPECT_TRUE(IsOlderVersion("1.0.0.1", "1.0.0.2"));
    EXPECT_FALSE(IsOlderVersion("1.0.0.2", "1.0.0.1"));
    EXPECT_FALSE(IsOlderVersion("1.0.0.9", "1.0.0.10"));  // '9' sorts after '1'
    EXPECT_TRUE(IsOlderVersion("1.0.0.10", "1.0.0.9"));
    EXPECT_FALSE(IsOlderVersion("2.0", "10.0"));
}

TEST(VersionRule, EqualTextsAreTheSameVersion) {
    EXPECT_FALSE(IsOlderVersion("1.0", "1.0"));
    EXPECT_FALSE(IsOlderVersion("", ""));
}

TEST(VersionRule, ProperPrefixIsOlder) {
    EXPECT_TRUE(IsOlderVersion("1.0", "1.0\r\n"));
    EXPECT_FALSE(IsOlderVersion("1.0\r\n", "1.0"));
}

TEST(VersionRule, BytesCompareUnsigned) {
    EXPECT_TRUE(IsOlderVersion("1.0", "<html>"));  // '<' is 0x3C, above the digits
    EXPECT_TRUE(IsOlderVersion("1.0", "\xB0\xE6"));  // a high byte is not negative
    EXPECT_FALSE(IsOlderVersion("\xB0\xE6", "1.0"));
}

}  // namespace
