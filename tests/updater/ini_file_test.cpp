#include "updater/ini_file.h"

#include "tests/support/stream_capture.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

namespace {

class IniFileTest : public ::testing::Test {
protected:
    // Loads the text (written in binary, so line ends are exactly as given).
    bool LoadText(const std::string& text) {
        EXPECT_TRUE(WriteFileBytes(path, text));
        StreamCapture quiet(stdout);
        return ini.Load(path);
    }
    std::string Saved() {
        EXPECT_EQ(ini.Save(path), 1);
        return ReadFileBytes(path);
    }

    TempDir dir;
    std::string path = dir.Child("sys.ini");
    IniFile ini;
};

// What IsStorableValue takes, Save and Load give back unchanged.
TEST_F(IniFileTest, StorableValuesSurviveTheRoundTrip) {
    for (const char* value : {"1.0.4", "2.0-beta_1", "\xB0\xE6\xB1\xBE" "3", "v(1);x"}) {
        ASSERT_TRUE(IsStorableValue(value)) << value;
        IniFile written;
        written.SetValue("Soft", "Ver", value);
        ASSERT_EQ(written.Save(path), 1);
        IniFile read;
        StreamCapture quiet(stdout);
        ASSERT_TRUE(read.Load(path));
        EXPECT_EQ(read.GetValue("Soft", "Ver"), value);
    }
    for (const char* value : {"", "1.0.4 ", "1.0[b]", "a]", "a=b", "1.0\r", "1\x1a", "\t1"}) {
        EXPECT_FALSE(IsStorableValue(value)) << value;
    }
}

// What one loaded text gives for each section and key.
TEST_F(IniFileTest, LoadedTextsGiveTheirValues) {
    struct Value {
        const char *section, *key, *value;
    };
    const std::pair<const char*, std::vector<Value>> cases[] = {
        {"[Soft]\r\nVer=1.0.3\r\n", {{"Soft", "Ver", "1.0.3"}}},
        // Every space dropped; tabs are not spaces.
        {"[Soft]\nV er = 1. 0.3\nName = a\tb\n", {{"Soft", "Ver", "1.0.3"}, {"Soft", "Name", "a\tb"}}},
        // Sections and keys are case-sensitive; the first duplicate wins.
        {"[Soft]\nVer=1.0\nVer=2.0\n", {{"Soft", "Ver", "1.0"}, {"soft", "Ver", ""}, {"Soft", "ver", ""}}},
        // Lines that carry nothing are dropped; later "=" stay; the last line has no line end.
        {"Top=before any section\n[Soft]\nEmpty=\n=novalue\nVer=3\n  [Other]  \nKey=a=b",
         {{"", "Top", ""}, {"Soft", "Empty", ""}, {"Soft", "Ver", "3"}, {"Other", "Key", "a=b"}}},
        // Split sections are merged, and brackets in a value switch the section.
        {"[Soft]\na=1\n[Other]\nb=2\n[Soft]\nc=3\nd=[X]\ne=4\n",
         {{"Soft", "a", "1"}, {"Soft", "c", "3"}, {"X", "d", "[X]"}, {"X", "e", "4"}}},
    };
    for (const auto& [text, values] : cases) {
        ini = IniFile();
        ASSERT_TRUE(LoadText(text)) << text;
        for (const Value& v : values) EXPECT_EQ(ini.GetValue(v.section, v.key), v.value) << text << v.key;
    }
}

// Save sorts sections and keys, with CR LF; a comment stays only when it holds an "=".
TEST_F(IniFileTest, SavedTexts) {
    for (const auto& [text, saved] : {std::pair{"[B]\nx=1\n[A]\ny=2\n", "[A]\r\ny=2\r\n[B]\r\nx=1\r\n"},
                                      {";note\n[Soft]\n;a=b\nVer=1\n", "[Soft]\r\n;a=b\r\nVer=1\r\n"}}) {
        ini = IniFile();
        ASSERT_TRUE(LoadText(text));
        EXPECT_EQ(Saved(), saved);
    }
}

TEST_F(IniFileTest, SetValueCreatesOrReplacesAndSaveKeepsOrder) {
    ASSERT_TRUE(LoadText("[Soft]\nVer=1.0\n[Z]\nk=v\n"));
    ini.SetValue("Soft", "Ver", "2.0");
    ini.SetValue("New", "Key", "v");
    EXPECT_EQ(Saved(), "[New]\r\nKey=v\r\n[Soft]\r\nVer=2.0\r\n[Z]\r\nk=v\r\n");

    IniFile reloaded;
    StreamCapture quiet(stdout);
    ASSERT_TRUE(reloaded.Load(path));
    EXPECT_EQ(reloaded.GetValue("Soft", "Ver"), "2.0");
}

TEST_F(IniFileTest, LoadingAgainKeepsSectionsAlreadyHeld) {
    ASSERT_TRUE(LoadText("[Soft]\nVer=1.0\n"));
    ASSERT_TRUE(LoadText("[Soft]\nVer=9.9\nExtra=1\n[More]\nk=v\n"));
    EXPECT_EQ(ini.GetValue("Soft", "Ver"), "1.0");
    EXPECT_EQ(ini.GetValue("Soft", "Extra"), "");
    EXPECT_EQ(ini.GetValue("More", "k"), "v");
}

TEST_F(IniFileTest, MissingFileAndUnwritableTarget) {
    EXPECT_FALSE(ini.Load(dir.Child("absent.ini")));
    EXPECT_EQ(ini.GetValue("Soft", "Ver"), "");
    ini.SetValue("Soft", "Ver", "1");
    EXPECT_EQ(ini.Save(dir.Child("absent\\sys.ini")), -1);
    EXPECT_EQ(ini.GetValue("Soft", "Ver"), "1");
}

TEST_F(IniFileTest, DiagnosticLines) {
    ASSERT_TRUE(WriteFileBytes(path, "[Soft]\nVer=1\nVer=2\n"));
    StreamCapture output(stdout);
    ASSERT_TRUE(ini.Load(path));
    ini.Dump();
    EXPECT_EQ(output.Text(), "根节点： Soft\n键值对： Ver=1\n键值对： Ver=2\n[Soft]\n    Ver = 1\n");
}

}  // namespace
