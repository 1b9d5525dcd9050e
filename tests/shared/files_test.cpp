#include "shared/files.h"

#include "tests/support/message_box_watcher.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <memory>
#include <thread>

namespace {

const std::string kBoxCaption = "创建目录失败";

TEST(MakeDirectory, ExistingDirectoryIsAcceptedSilently) {
    TempDir dir;
    MessageBoxWatcher watcher;
    ASSERT_TRUE(::CreateDirectoryA(dir.Child("soft").c_str(), nullptr));
    EXPECT_TRUE(MakeDirectory(dir.Child("soft")));
    EXPECT_TRUE(MakeDirectory(dir.Child("new")));
    EXPECT_TRUE(PathExists(dir.Child("new")));
    EXPECT_TRUE(watcher.Boxes().empty());
}

TEST(MakeDirectory, MissingParentShowsOneBoxAndFails) {
    TempDir dir;
    MessageBoxWatcher watcher;
    const std::string path = dir.Child("absent\\soft");
    EXPECT_FALSE(MakeDirectory(path));
    EXPECT_FALSE(PathExists(path));
    // A box shown for a window belongs to it.
    const std::unique_ptr<HWND__, decltype(&::DestroyWindow)> owner(
        ::CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr),
        &::DestroyWindow);
    ASSERT_TRUE(owner);
    EXPECT_FALSE(MakeDirectory(path, owner.get()));
    const auto boxes = watcher.Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].caption, kBoxCaption);
    EXPECT_EQ(boxes[0].text, "创建目录[" + path + "]失败,请检查权限");
    EXPECT_EQ(boxes[0].owner, nullptr);
    EXPECT_EQ(boxes[1].owner, owner.get());
}

TEST(MakeDirectory, OverlongPathGivesATruncatedMessageNotAnOverflow) {
    TempDir dir;
    MessageBoxWatcher watcher;
    std::string path = dir.Child("absent");
    while (path.size() < 600) path += "\\\xD6\xD0\xCE\xC4";  // 中文, two bytes each
    EXPECT_FALSE(MakeDirectory(path));
    const auto boxes = watcher.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    const std::string& text = boxes[0].text;
    EXPECT_LE(text.size(), 259u);
    EXPECT_EQ(text.rfind("创建目录[" + dir.Path(), 0), 0u);
    const std::string ending = "]失败,请检查权限";
    ASSERT_GE(text.size(), ending.size());
    EXPECT_EQ(text.substr(text.size() - ending.size()), ending);
}

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
