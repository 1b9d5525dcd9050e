#include "shared/folder_copier.h"

#include "tests/support/stream_capture.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

class FolderCopierTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(::CreateDirectoryA(source.c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryA(target.c_str(), nullptr));
    }
    std::string In(const std::string& folder, const std::string& name) const { return folder + "\\" + name; }

    TempDir dir;
    std::string source = dir.Child("uploadtemp");
    std::string target = dir.Child("install");
    FolderCopier copier;
};

TEST_F(FolderCopierTest, ReplacedFilesAreKeptWithBakAppended) {
    ASSERT_TRUE(WriteFileBytes(In(source, "a.dll"), "new a"));
    ASSERT_TRUE(WriteFileBytes(In(source, "b.exe"), "new b"));
    ASSERT_TRUE(WriteFileBytes(In(target, "a.dll"), "old a"));
    ASSERT_TRUE(WriteFileBytes(In(target, "a.dllbak"), "older backup"));
    ASSERT_TRUE(WriteFileBytes(In(target, "keep.ini"), "untouched"));

    EXPECT_TRUE(copier.Copy(source, target));
    EXPECT_EQ(ReadFileBytes(In(target, "a.dll")), "new a");
    EXPECT_EQ(ReadFileBytes(In(target, "a.dllbak")), "old a");
    EXPECT_EQ(ReadFileBytes(In(target, "b.exe")), "new b");
    EXPECT_FALSE(PathExists(In(target, "b.exebak")));
    EXPECT_EQ(ReadFileBytes(In(target, "keep.ini")), "untouched");
}

TEST_F(FolderCopierTest, UnreadableEntryRollsBackEveryReplacedFile) {
    // Whatever order the directory lists in, one of the two files is copied before the
    // subdirectory fails, or both are: each replaced file must get its old content back.
    ASSERT_TRUE(WriteFileBytes(In(source, "a.dll"), "new a"));
    ASSERT_TRUE(WriteFileBytes(In(source, "zz.exe"), "new z"));
    ASSERT_TRUE(::CreateDirectoryA(In(source, "m").c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(In(target, "a.dll"), "old a"));
    ASSERT_TRUE(WriteFileBytes(In(target, "zz.exe"), "old z"));

    EXPECT_FALSE(copier.Copy(source, target));
    EXPECT_EQ(ReadFileBytes(In(target, "a.dll")), "old a");
    EXPECT_EQ(ReadFileBytes(In(target, "zz.exe")), "old z");
    EXPECT_FALSE(PathExists(In(target, "a.dllbak")));
    EXPECT_FALSE(PathExists(In(target, "zz.exebak")));
}

TEST_F(FolderCopierTest, SourceWithoutBackslashOrMissingIsRefused) {
    EXPECT_FALSE(copier.Copy("uploadtemp", target));

    const std::string missing = dir.Child("absent");
    StreamCapture output(stdout);
    EXPECT_FALSE(copier.Copy(missing, target));
    EXPECT_EQ(output.Text(), missing + " not found\n");
}

TEST_F(FolderCopierTest, EmptySourceCopiesNothing) {
    ASSERT_TRUE(WriteFileBytes(In(target, "a.dll"), "old a"));
    EXPECT_FALSE(copier.Copy(source, target));
    EXPECT_EQ(ReadFileBytes(In(target, "a.dll")), "old a");
}

TEST_F(FolderCopierTest, TargetThatCannotBeWrittenRollsBack) {
    ASSERT_TRUE(WriteFileBytes(In(source, "a.dll"), "new a"));
    ASSERT_TRUE(WriteFileBytes(In(target, "a.dll"), "old a"));
    // A directory in the way of the backup name: the replaced file cannot be set aside.
    ASSERT_TRUE(::CreateDirectoryA(In(target, "a.dllbak").c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(In(In(target, "a.dllbak"), "inside"), "x"));

    EXPECT_FALSE(copier.Copy(source, target));
    EXPECT_EQ(ReadFileBytes(In(target, "a.dll")), "old a");
}

}  // namespace
