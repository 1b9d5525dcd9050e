#include "skin/dui_string.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>

namespace {

TEST(DuiStringTest, EmptyTextIsNeverNull) {
    CDuiString empty;
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_EQ(empty.GetLength(), 0);
    ASSERT_NE(static_cast<const char*>(empty), nullptr);
    EXPECT_STREQ(empty, "");
    EXPECT_STREQ(CDuiString(nullptr), "");
    EXPECT_TRUE(empty == nullptr) << "null compares as empty";
}

TEST(DuiStringTest, CopiesMovesAndAppends) {
    CDuiString a("rowIndex");
    CDuiString b = a;
    a += "12";
    EXPECT_STREQ(a, "rowIndex12");
    EXPECT_STREQ(b, "rowIndex") << "a copy owns its own bytes";

    CDuiString moved(std::move(a));
    EXPECT_STREQ(moved, "rowIndex12");
    EXPECT_TRUE(a.IsEmpty());  // NOLINT: the moved-from text is empty, not dangling

    CDuiString joined = moved + "/" + nullptr;
    EXPECT_STREQ(joined, "rowIndex12/");
    EXPECT_EQ(joined.GetLength(), 11);

    joined = joined.GetData() + 3;  // assigned from its own bytes
    EXPECT_STREQ(joined, "Index12/");
    joined = joined;
    EXPECT_STREQ(joined, "Index12/");
}

TEST(DuiStringTest, LengthLimitStopsAtTheTerminator) {
    EXPECT_STREQ(CDuiString("abcdef", 3), "abc");
    EXPECT_STREQ(CDuiString("ab", 10), "ab");
    EXPECT_EQ(CDuiString("ab", 10).GetLength(), 2);
}

TEST(DuiStringTest, ComparesBytewise) {
    CDuiString text("click");
    EXPECT_TRUE(text == "click");
    EXPECT_TRUE(text != "Click");
    EXPECT_LT(text.Compare("clicks"), 0);
    EXPECT_GT(text.Compare("clack"), 0);
    EXPECT_EQ(text.CompareNoCase("CLICK"), 0);
    // Bytes of double-byte characters are not folded: 0xC3 0xE6 differs from 0xC3 0xC6.
    EXPECT_NE(CDuiString("\xC3\xE6").CompareNoCase("\xC3\xC6"), 0);
    // Unsigned order: a lead byte sorts after ASCII.
    EXPECT_GT(CDuiString("\xB0\xA1").Compare("z"), 0);
}

TEST(DuiStringTest, FindsTextAndCharacters) {
    CDuiString name("softrowIndex7rowIndex");
    EXPECT_EQ(name.Find("rowIndex"), 4);
    EXPECT_EQ(name.Find("rowIndex", 5), 13);
    EXPECT_EQ(name.Find("fileIndex"), -1);
    EXPECT_EQ(name.Find(""), 0);
    EXPECT_EQ(name.Find("x", 100), -1);
    EXPECT_EQ(name.Find("x", -1), -1);
    EXPECT_EQ(name.Find('7'), 12);
    EXPECT_EQ(name.Find('7', 13), -1);
    EXPECT_EQ(CDuiString().Find("a"), -1);
}

TEST(DuiStringTest, TakesPartsClampedToTheText) {
    CDuiString text("setup.exe");
    EXPECT_STREQ(text.Right(4), ".exe");
    EXPECT_STREQ(text.Right(50), "setup.exe");
    EXPECT_STREQ(text.Right(0), "");
    EXPECT_STREQ(text.Right(-2), "");
    EXPECT_STREQ(text.Left(5), "setup");
    EXPECT_STREQ(text.Left(99), "setup.exe");
    EXPECT_STREQ(text.Mid(6), "exe");
    EXPECT_STREQ(text.Mid(2, 3), "tup");
    EXPECT_STREQ(text.Mid(20), "");
    EXPECT_STREQ(text.Mid(-3, 2), "se");
}

}  // namespace
