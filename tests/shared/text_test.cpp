#include "shared/text.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

using Pieces = std::vector<std::string>;

// Every Chinese text test below is meaningless unless Wine runs in code page 936.
TEST(CodePage, MachineRunsInSimplifiedChinese) { EXPECT_EQ(::GetACP(), 936u); }

TEST(TextConversion, ChineseUtf8BecomesCodePage936Bytes) {
    // "中文软件" in UTF-8, as the server sends it.
    const std::string utf8 = "\xE4\xB8\xAD\xE6\x96\x87\xE8\xBD\xAF\xE4\xBB\xB6";
    EXPECT_EQ(WideToAnsi(Utf8ToWide(utf8)), "\xD6\xD0\xCE\xC4\xC8\xED\xBC\xFE");
    EXPECT_EQ(Utf8ToWide(utf8), L"\u4E2D\u6587\u8F6F\u4EF6");
    EXPECT_EQ(AnsiToWide("\xD6\xD0\xCE\xC4\xC8\xED\xBC\xFE"), L"\u4E2D\u6587\u8F6F\u4EF6");
}

TEST(TextConversion, CharacterOutsideTheCodePageBecomesTheDefaultCharacter) {
    // Thai KO KAI has no place in code page 936.
    EXPECT_EQ(WideToAnsi(L"a\u0E01b"), "a?b");
}

TEST(TextConversion, EmptyStaysEmpty) {
    EXPECT_EQ(Utf8ToWide(""), L"");
    EXPECT_EQ(AnsiToWide(""), L"");
    EXPECT_EQ(WideToAnsi(L""), "");
}

TEST(TextConversion, InvalidUtf8BecomesReplacementCharacterAndTextEndsAtNul) {
    EXPECT_EQ(Utf8ToWide("a\xFF" "b"), L"a\uFFFDb");
    EXPECT_EQ(Utf8ToWide(std::string("ab\0cd", 5)), L"ab");
    EXPECT_FALSE(IsValidUtf8("a\xFF" "b"));
    EXPECT_TRUE(IsValidUtf8("\xE4\xB8\xAD" "a"));
}

TEST(SplitString, ColonCases) {
    EXPECT_EQ(SplitString("a:b", ':'), (Pieces{"a", "b"}));
    EXPECT_EQ(SplitString("a::b", ':'), (Pieces{"a", "", "b"}));
    EXPECT_EQ(SplitString(":a", ':'), (Pieces{"", "a"}));
    EXPECT_EQ(SplitString("a:", ':'), (Pieces{"a"}));
    EXPECT_EQ(SplitString("", ':'), Pieces{});
    EXPECT_EQ(SplitString("HKLM\\Soft:Path:app.exe", ':'), (Pieces{"HKLM\\Soft", "Path", "app.exe"}));
    EXPECT_EQ(SplitString("no colon here", ':'), (Pieces{"no colon here"}));
}

TEST(TruncateAnsi, NeverSplitsADoubleByteCharacter) {
    const std::string text = "ab\xD6\xD0\xCE\xC4";  // ab中文
    EXPECT_EQ(TruncateAnsi(text, 6), text);
    EXPECT_EQ(TruncateAnsi(text, 5), "ab\xD6\xD0");
    EXPECT_EQ(TruncateAnsi(text, 3), "ab");
    EXPECT_EQ(TruncateAnsi(text, 0), "");
}

}  // namespace
