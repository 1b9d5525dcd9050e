// The box both programs show for a folder they cannot make: its text, its owner, and
// nothing at all when the folder exists or can be made.
#include "frame/directory_error.h"

#include "shared/files.h"
#include "tests/support/message_box_watcher.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>

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

}  // namespace
