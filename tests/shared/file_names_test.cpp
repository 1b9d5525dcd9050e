#include "shared/file_names.h"

#include <gtest/gtest.h>

TEST(FileNamesTest, PlainNamesAreTaken) {
    EXPECT_TRUE(IsPlainFileName("Veltrin.exe"));
    EXPECT_TRUE(IsPlainFileName("..hidden"));
    EXPECT_TRUE(IsPlainFileName("a..b.txt"));
    EXPECT_TRUE(IsPlainFileName("\xD5\xCB\xB2\xBE.xls"));  // a Chinese name in code page 936
    // A double-byte character whose second byte is the value of '\\' is no separator.
    EXPECT_TRUE(IsPlainFileName("\x81\x5C.txt"));
    EXPECT_FALSE(IsPlainFileName("\xD5\xCB\\x.txt"));
}

TEST(FileNamesTest, NamesReachingOutsideTheFolderAreRefused) {
    for (const char* name : {"", ".", "..", "..\\Veltrin.exe", "sub/file.txt", "C:evil.exe", "C:\\Windows\\x.dll",
                             "\\\\server\\share\\f", "file.txt:stream", "dir\\"}) {
        EXPECT_FALSE(IsPlainFileName(name)) << name;
    }
}
