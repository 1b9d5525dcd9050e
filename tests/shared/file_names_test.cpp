#include "shared/file_names.h"

#include <gtest/gtest.h>

TEST(FileNamesTest, PlainNamesAreTaken) {
    EXPECT_TRUE(IsPlainFileName("Veltrin.exe"));
    EXPECT_TRUE(IsPlainFileName("..hidden"));
    EXPECT_TRUE(IsPlainFileName("a..b.txt"));
    for (const char* name : {"CONSOLE.txt", "com10", "nul_x", "aux-1.dll", "LPT.txt", ".profile"}) {
        EXPECT_TRUE(IsPlainFileName(name)) << name;  // not device names
    }
    EXPECT_TRUE(IsPlainFileName("\xD5\xCB\xB2\xBE.xls"));  // a Chinese name in code page 936
    // A double-byte character whose second byte is the value of '\\' is no separator.
    EXPECT_TRUE(IsPlainFileName("\x81\x5C.txt"));
    EXPECT_FALSE(IsPlainFileName("\xD5\xCB\\x.txt"));
}

TEST(FileNamesTest, NamesReachingOutsideTheFolderAreRefused) {
    for (const char* name : {"", ".", "..", "..\\Veltrin.exe", "sub/file.txt", "C:evil.exe", "C:\\Windows\\x.dll",
                             "\\\\server\\share\\f", "file.txt:stream", "dir\\",
                             // Devices, wildcards and names the system would silently change.
                             "NUL", "aux.dll", "Con.txt", "com1", "COM0", "LPT9.log", "CON .txt", "*.exe", "a?.txt",
                             "a<b", "a>b", "a|b", "a\"b", "tab\tname", "trailing.", "trailing ", "\x7f"}) {
        EXPECT_FALSE(IsPlainFileName(name)) << name;
    }
}
