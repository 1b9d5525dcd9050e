#include "updater/install_journal.h"

#include "tests/support/temp_dir.h"
#include "updater/block_pipeline.h"

#include <gtest/gtest.h>

namespace {

// A journal cut short anywhere before its end mark lists nothing: no file was touched yet.
TEST(InstallJournal, CountsOnlyOnceComplete) {
    TempDir dir;
    const std::string path = dir.Child("install.journal");
    ASSERT_TRUE(WriteJournal(path, InstallJournal{"2.0.1", {{"a.dll", true}, {"new file.exe", false}}}));
    const std::string text = ReadFileBytes(path);
    for (size_t length = 0; length <= text.size(); ++length) {
        ASSERT_TRUE(WriteFileBytes(path, text.substr(0, length)));
        const std::optional<InstallJournal> read = ReadJournal(path);
        ASSERT_EQ(read.has_value(), length == text.size()) << length;
        if (!read) continue;
        EXPECT_EQ(read->version, "2.0.1");
        ASSERT_EQ(read->entries.size(), 2u);
        EXPECT_TRUE(read->entries[0].name == "a.dll" && read->entries[0].replacesFile);
        EXPECT_TRUE(read->entries[1].name == "new file.exe" && !read->entries[1].replacesFile);
    }
    EXPECT_FALSE(ReadJournal(dir.Child("absent")).has_value());
}

TEST(BlockPipeline, EveryConsumerGetsEveryByteInOrderUntilOneFails) {
    std::string bytes(3 * 1000 + 17, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
    for (const bool failing : {false, true}) {
        std::string first, second;
        BlockPipeline pipeline({[&](const char* data, size_t size) { return first.append(data, size), true; },
                                [&](const char* data, size_t size) {
                                    second.append(data, size);
                                    return !failing || second.size() < 1000;
                                }},
                               100, 3);
        bool pushed = true;
        for (size_t at = 0; at < bytes.size() && pushed; at += 333) {
            pushed = pipeline.Push(bytes.data() + at, std::min<size_t>(333, bytes.size() - at));
        }
        EXPECT_EQ(pipeline.Close(), !failing);
        EXPECT_EQ(pushed, !failing);
        EXPECT_TRUE(failing || (first == bytes && second == bytes));
    }
}

}  // namespace
