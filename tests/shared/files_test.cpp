#include "shared/files.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <thread>

namespace {

TEST(RemoveTree, NullAndMissingPaths) {
    TempDir dir;
    EXPECT_EQ(RemoveTree(nullptr), -1);
    EXPECT_EQ(RemoveTree(dir.Child("absent").c_str()), -3);
}

TEST(RemoveTree, NestedTreeIsRemovedDepthFirst) {
    TempDir dir;
    const std::string root = dir.Child("uploadtemp");
    ASSERT_TRUE(::CreateDirectoryA(root.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA((root + "\\a").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA((root + "\\a\\b").c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(root + "\\top.txt", "1"));
    ASSERT_TRUE(WriteFileBytes(root + "\\a\\mid.txt", "2"));
    ASSERT_TRUE(WriteFileBytes(root + "\\a\\b\\deep.txt", "3"));
    EXPECT_EQ(RemoveTree(root.c_str()), 1);
    EXPECT_FALSE(PathExists(root));
    EXPECT_TRUE(PathExists(dir.Path()));
}

// Wine cannot make a junction: a folder stands in for one, named by the link test.
bool IsNamedLink(const std::string& path, unsigned long) { return path.size() >= 5 && path.substr(path.size() - 5) == "\\link"; }

TEST(RemoveTree, LinksAreRemovedNotEntered) {
    TempDir dir;
    const std::string root = dir.Child("uploadtemp");
    ASSERT_TRUE(::CreateDirectoryA(root.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA((root + "\\link").c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(root + "\\link\\elsewhere.txt", "kept"));
    ASSERT_TRUE(WriteFileBytes(root + "\\own.txt", "gone"));
    EXPECT_EQ(RemoveTreeWith(root.c_str(), IsNamedLink), 1);
    EXPECT_FALSE(PathExists(root + "\\own.txt"));
    EXPECT_EQ(ReadFileBytes(root + "\\link\\elsewhere.txt"), "kept");
    // The tree itself given as a link: only the link goes, nothing behind it.
    EXPECT_EQ(RemoveTreeWith((root + "\\link").c_str(), IsNamedLink), 1);
    EXPECT_EQ(ReadFileBytes(root + "\\link\\elsewhere.txt"), "kept");
}

TEST(RemoveTree, OverlongPathIsRefusedUntouched) {
    TempDir dir;
    std::string path = dir.Path();
    while (path.size() < 300) path += "\\long";
    EXPECT_EQ(RemoveTree(path.c_str()), -3);
    EXPECT_TRUE(PathExists(dir.Path()));
}

TEST(FileExists, FilesAndDirectories) {
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir.Child("setup.exe"), "x"));
    EXPECT_TRUE(FileExists(dir.Child("setup.exe")));
    EXPECT_TRUE(FileExists(dir.Path()));
    EXPECT_FALSE(FileExists(dir.Child("other.exe")));
    // A pattern is a name, not a search: it matches no other file.
    EXPECT_FALSE(FileExists(dir.Child("*.exe")));
    EXPECT_FALSE(FileExists(dir.Child("setup.ex?")));
}

TEST(ListFiles, AppendsFilesOnly) {
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir.Child("a.exe"), "a"));
    ASSERT_TRUE(WriteFileBytes(dir.Child("b.png"), "b"));
    ASSERT_TRUE(::CreateDirectoryA(dir.Child("sub").c_str(), nullptr));
    std::vector<std::string> paths{"kept"};
    std::vector<std::string> names{"kept"};
    ListFiles(dir.Path(), paths, names);
    ASSERT_EQ(paths.size(), 3u);
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(paths[0], "kept");
    std::vector<std::string> listed(names.begin() + 1, names.end());
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::string>{"a.exe", "b.png"}));
    for (size_t i = 1; i < paths.size(); ++i) EXPECT_EQ(paths[i], dir.Child(names[i]));

    ListFiles(dir.Child("absent"), paths, names);
    EXPECT_EQ(paths.size(), 3u);
}

}  // namespace
