#include "shared/diagnostic_log.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <thread>
#include <vector>

namespace {

size_t CountLines(const std::string& text) {
    size_t lines = 0;
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) ++lines;
    return lines;
}

TEST(DiagnosticLog, LinesFromManyThreadsStayWholeAndTheFileStaysSmall) {
    TempDir dir;
    constexpr size_t kMaxBytes = 4000;
    DiagnosticLog log(dir.Child("log"), "Morvane", kMaxBytes);
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([&log, t] {
            for (int i = 0; i < 50; ++i) log.Write("writer " + std::to_string(t) + " line\r\nwith a line end");
        });
    }
    for (std::thread& writer : writers) writer.join();

    const std::string current = ReadFileBytes(log.Path());
    const std::string old = ReadFileBytes(log.OldPath());
    EXPECT_LE(current.size(), kMaxBytes);
    EXPECT_LE(old.size(), kMaxBytes);
    EXPECT_GT(old.size(), kMaxBytes / 2);  // rotated when full, not earlier
    for (const std::string* text : {&current, &old}) {
        // Every line whole: a time stamp, the process, the text with its line end made a space.
        EXPECT_EQ(CountLines(*text), text->size() / (text->find("\r\n") + 2)) << *text;
        EXPECT_NE(text->find(" [" + std::to_string(::GetCurrentProcessId()) + "] writer "), std::string::npos);
        EXPECT_NE(text->find("line  with a line end\r\n"), std::string::npos);
    }
    EXPECT_EQ(log.Path(), dir.Child("log\\Morvane.log"));
}

TEST(DiagnosticLog, AFolderThatCannotBeMadeIsNoFailure) {
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir.Child("file"), "x"));
    DiagnosticLog log(dir.Child("file\\log"), "Veltrin");
    log.Write("dropped");
    EXPECT_FALSE(PathExists(log.Path()));
}

}  // namespace
