#include "skin/skin.h"
#include "tests/support/skin_window.h"
#include "tests/support/gui_driver.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

std::string ResourceBytes(const char* name) {
    BYTE* data = nullptr;
    DWORD size = 0;
    if (!CPaintManagerUI::LoadResourceData(name, &data, &size)) return std::string();
    std::string bytes(reinterpret_cast<const char*>(data), size);
    CPaintManagerUI::FreeResourceData(data);
    return bytes;
}

// The premultiplied 0xAARRGGBB pixel of a decoded image.
DWORD PixelOf(const SkinImage& image, int x, int y) {
    DIBSECTION section{};
    if (::GetObjectA(image.bitmap, sizeof(section), &section) != sizeof(section)) return 0;
    return static_cast<const DWORD*>(section.dsBm.bmBits)[y * image.width + x];
}

// A zip archive of stored (uncompressed) files, as any zip tool may write one.
std::string StoredZip(const std::vector<std::pair<std::string, std::string>>& files) {
    const auto crc32 = [](const std::string& bytes) {
        DWORD crc = 0xFFFFFFFF;
        for (unsigned char byte : bytes) {
            crc ^= byte;
            for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
        }
        return ~crc;
    };
    const auto put16 = [](std::string& out, unsigned value) {
        out += static_cast<char>(value & 0xFF);
        out += static_cast<char>((value >> 8) & 0xFF);
    };
    const auto put32 = [&](std::string& out, DWORD value) {
        put16(out, value & 0xFFFF);
        put16(out, value >> 16);
    };
    std::string archive;
    std::string directory;
    for (const auto& file : files) {
        const DWORD crc = crc32(file.second);
        const DWORD offset = static_cast<DWORD>(archive.size());
        const DWORD size = static_cast<DWORD>(file.second.size());
        put32(archive, 0x04034B50);
        put16(archive, 10);  // version needed
        put16(archive, 0);   // flags
        put16(archive, 0);   // stored
        put32(archive, 0);   // time and date
        put32(archive, crc);
        put32(archive, size);
        put32(archive, size);
        put16(archive, static_cast<unsigned>(file.first.size()));
        put16(archive, 0);
        archive += file.first + file.second;

        put32(directory, 0x02014B50);
        put16(directory, 20);
        put16(directory, 10);
        put16(directory, 0);
        put16(directory, 0);
        put32(directory, 0);
        put32(directory, crc);
        put32(directory, size);
        put32(directory, size);
        put16(directory, static_cast<unsigned>(file.first.size()));
        put16(directory, 0);  // extra
        put16(directory, 0);  // comment
        put16(directory, 0);  // disk
        put16(directory, 0);  // internal attributes
        put32(directory, 0);  // external attributes
        put32(directory, offset);
        directory += file.first;
    }
    const DWORD directoryOffset = static_cast<DWORD>(archive.size());
    archive += directory;
    put32(archive, 0x06054B50);
    put16(archive, 0);
    put16(archive, 0);
    put16(archive, static_cast<unsigned>(files.size()));
    put16(archive, static_cast<unsigned>(files.size()));
    put32(archive, static_cast<DWORD>(directory.size()));
    put32(archive, directoryOffset);
    put16(archive, 0);
    return archive;
}

class PaintManagerTest : public ::testing::Test {
protected:
    void SetUp() override { UseTestArchive(); }
    void TearDown() override { UseTestArchive(); }
};

TEST_F(PaintManagerTest, ReadsTheArchiveBesideTheProgram) {
    EXPECT_EQ(std::string(CPaintManagerUI::GetInstancePath()), TestProgramDir() + "\\");
    EXPECT_STREQ(CPaintManagerUI::GetResourceZip(), "skintest.zip");

    const std::string png = ResourceBytes("images/logo.png");
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    EXPECT_EQ(ResourceBytes("IMAGES\\Logo.png"), png) << "either slash, any letter case";
    EXPECT_NE(ResourceBytes("layout.xml").find("<Window"), std::string::npos);

    BYTE* data = reinterpret_cast<BYTE*>(1);
    DWORD size = 5;
    EXPECT_FALSE(CPaintManagerUI::LoadResourceData("images/absent.png", &data, &size));
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(size, 0u);

    CPaintManagerUI::SetResourceZip("absent.zip");
    EXPECT_TRUE(ResourceBytes("images/logo.png").empty()) << "no archive, no fallback to the folder";
}

TEST_F(PaintManagerTest, AnArchiveReplacedOnDiskIsReadAgainUnlessCached) {
    TempDir dir;
    const std::string path = dir.Child("skin.zip");
    ASSERT_TRUE(WriteFileBytes(path, StoredZip({{"skin.xml", "first"}, {"sub/other.txt", "x"}})));
    CPaintManagerUI::SetResourcePath(dir.Path().c_str());
    CPaintManagerUI::SetResourceZip("skin.zip", false);
    EXPECT_EQ(ResourceBytes("skin.xml"), "first");
    EXPECT_EQ(ResourceBytes("sub\\other.txt"), "x");

    // The archive is held in memory, not open: an update can replace the file.
    ASSERT_TRUE(::DeleteFileA(path.c_str()));
    ASSERT_TRUE(WriteFileBytes(path, StoredZip({{"skin.xml", "second, longer"}})));
    EXPECT_EQ(ResourceBytes("skin.xml"), "second, longer");
    EXPECT_TRUE(ResourceBytes("sub/other.txt").empty());

    CPaintManagerUI::SetResourceZip("skin.zip", true);
    EXPECT_EQ(ResourceBytes("skin.xml"), "second, longer");
    ASSERT_TRUE(WriteFileBytes(path, StoredZip({{"skin.xml", "third"}})));
    EXPECT_EQ(ResourceBytes("skin.xml"), "second, longer") << "a cached archive is read once";

    // A damaged archive reads as missing files.
    CPaintManagerUI::SetResourceZip("skin.zip", false);
    ASSERT_TRUE(WriteFileBytes(path, "PK\x03\x04 not really a zip"));
    EXPECT_TRUE(ResourceBytes("skin.xml").empty());
}

TEST_F(PaintManagerTest, ReadsAFolderWhenNoArchiveIsSet) {
    const std::string png = ResourceBytes("images/logo.png");
    ASSERT_FALSE(png.empty());
    TempDir dir;
    ASSERT_TRUE(::CreateDirectoryA(dir.Child("pics").c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(dir.Child("pics\\logo.png"), png));
    ASSERT_TRUE(WriteFileBytes(dir.Child("folder.xml"),
                               "<Window size=\"200,100\"><Label name=\"pic\" bkimage=\"pics/logo.png\"/></Window>"));

    CPaintManagerUI::SetResourcePath(dir.Path().c_str());  // the backslash is added
    CPaintManagerUI::SetResourceZip("");
    EXPECT_EQ(std::string(CPaintManagerUI::GetResourcePath()), dir.Path() + "\\");

    CPaintManagerUI manager;
    CDialogBuilder builder;
    CControlUI* root = builder.Create("folder.xml", nullptr, nullptr, &manager);
    ASSERT_NE(root, nullptr) << builder.GetLastError().GetData();
    manager.AttachDialog(root);
    const SkinImage* logo = manager.GetImage("pics/logo.png");
    ASSERT_NE(logo, nullptr);
    EXPECT_EQ(logo->width, 40);
    EXPECT_EQ(logo->height, 40);
    EXPECT_EQ(manager.GetImage("images/logo.png"), nullptr) << "the archive is no longer read";
}

TEST_F(PaintManagerTest, DecodesImagesIntoPremultipliedPixels) {
    CPaintManagerUI manager;
    const SkinImage* half = manager.GetImage("images/halfred.png");
    ASSERT_NE(half, nullptr);
    EXPECT_EQ(half->width, 4);
    EXPECT_EQ(half->height, 4);
    const DWORD red = PixelOf(*half, 2, 3);
    EXPECT_EQ(red >> 24, 0x80u);
    EXPECT_NEAR(static_cast<int>((red >> 16) & 0xFF), 0x80, 1) << "colour multiplied by its alpha";
    EXPECT_EQ(red & 0xFFFF, 0u);

    const SkinImage* green = manager.GetImage("images/green.bmp");
    ASSERT_NE(green, nullptr);
    EXPECT_EQ(PixelOf(*green, 0, 0), 0xFF00FF00u);

    const SkinImage* blue = manager.GetImage("images/blue.jpg");
    ASSERT_NE(blue, nullptr);
    EXPECT_EQ(blue->width, 8);
    const DWORD jpeg = PixelOf(*blue, 4, 4);
    EXPECT_EQ(jpeg >> 24, 0xFFu);
    EXPECT_GT(jpeg & 0xFF, 0xF0u);
    EXPECT_LT((jpeg >> 16) & 0xFF, 0x10u);

    EXPECT_EQ(manager.GetImage("images/halfred.png"), half) << "decoded once, then cached";
    EXPECT_EQ(manager.GetImage("images/absent.png"), nullptr);
    EXPECT_EQ(manager.GetImage("layout.xml"), nullptr) << "not an image";

    // Catalogue icons come from any file by path.
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir.Child("icon.png"), ResourceBytes("images/logo.png")));
    const SkinImage* icon = manager.GetFileImage(dir.Child("icon.png").c_str());
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->width, 40);
    EXPECT_EQ(manager.GetFileImage(dir.Child("missing.png").c_str()), nullptr);
    ASSERT_TRUE(WriteFileBytes(dir.Child("missing.png"), ResourceBytes("images/green.bmp")));
    EXPECT_NE(manager.GetFileImage(dir.Child("missing.png").c_str()), nullptr) << "an icon that arrives later shows";
}

TEST_F(PaintManagerTest, WindowInitArrivesOnceAfterTheFirstLayout) {
    auto window = SkinTestWindow::Open("click.xml");
    ASSERT_NE(window, nullptr);
    PumpMessagesUntil([&] { return window->Count("windowinit") > 0; }, 2000);
    ::InvalidateRect(window->GetHWND(), nullptr, FALSE);
    ::SetWindowPos(window->GetHWND(), nullptr, 0, 0, 400, 260, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    PumpMessagesFor(100);
    EXPECT_EQ(window->Count("windowinit"), 1);
    ASSERT_FALSE(window->notices.empty());
    EXPECT_EQ(window->notices.front().type, "windowinit") << "nothing is told before it";
    EXPECT_EQ(window->notices.front().sender, window->Manager().GetRoot());
    EXPECT_EQ(window->rootSizeAtInit.cx, 380);
    EXPECT_EQ(window->rootSizeAtInit.cy, 240);
}

TEST_F(PaintManagerTest, FindsControlsByNameInDocumentOrderAndByPoint) {
    auto window = SkinTestWindow::Open("click.xml");
    ASSERT_NE(window, nullptr);
    CPaintManagerUI& manager = window->Manager();
    const RECT button = window->RectOf("btn1");
    EXPECT_EQ(manager.FindControl(CentreOf(button)), window->Find("btn1"));
    EXPECT_EQ(manager.FindControl(POINT{button.left, button.top}), window->Find("btn1"));
    EXPECT_EQ(manager.FindControl(POINT{button.right, button.top}), window->Find("buttons")) << "right edge excluded";
    EXPECT_EQ(manager.FindControl(CentreOf(window->RectOf("plain"))), window->Find("plain"));
    EXPECT_EQ(manager.FindControl(CentreOf(window->RectOf("disabledbtn"))), window->Find("buttons"))
        << "a disabled control is passed over";
    EXPECT_EQ(manager.FindControl(POINT{2, 2}), window->Find("root"));
    EXPECT_EQ(manager.FindControl(POINT{-5, 2}), nullptr);
    EXPECT_EQ(manager.FindControl("absent"), nullptr);
    EXPECT_EQ(manager.FindControl(static_cast<const char*>(nullptr)), nullptr);

    CPaintManagerUI detached;
    CDialogBuilder builder;
    CControlUI* root = builder.Create(
        "<VerticalLayout><HorizontalLayout name='dup'><Control name='dup'/></HorizontalLayout><Label name='dup'/>"
        "</VerticalLayout>",
        nullptr, nullptr, &detached);
    ASSERT_NE(root, nullptr);
    detached.AttachDialog(root);
    ASSERT_NE(detached.FindControl("dup"), nullptr);
    EXPECT_STREQ(detached.FindControl("dup")->GetClass(), "HorizontalLayout") << "the first in the document";
}

// Tells the window's paint manager of its notifications in turn.
class OrderedNotifier : public INotifyUI {
public:
    OrderedNotifier(std::vector<std::string>& log, std::string id) : m_log(log), m_id(std::move(id)) {}
    void Notify(TNotifyUI& msg) override {
        m_log.push_back(m_id + ":" + msg.sType.GetData() + ":" + (msg.pSender ? msg.pSender->GetName().GetData() : ""));
        if (action) action(msg);
    }
    std::function<void(TNotifyUI&)> action;

private:
    std::vector<std::string>& m_log;
    std::string m_id;
};

TEST_F(PaintManagerTest, NotifiersMayRemoveTheClickedControlsWhileBeingTold) {
    auto window = SkinTestWindow::Open("click.xml");
    ASSERT_NE(window, nullptr);
    PumpMessagesUntil([&] { return window->Count("windowinit") > 0; }, 2000);
    CPaintManagerUI& manager = window->Manager();
    auto* buttons = dynamic_cast<CContainerUI*>(window->Find("buttons"));
    ASSERT_NE(buttons, nullptr);

    std::vector<std::string> log;
    OrderedNotifier first(log, "first");
    OrderedNotifier second(log, "second");
    first.action = [&](TNotifyUI& msg) {
        if (msg.sType == "click") buttons->RemoveAll();  // the sender goes too
    };
    // The sender is still readable by later notifiers of the same click.
    std::string senderSeenLater;
    second.action = [&](TNotifyUI& msg) {
        if (msg.sType == "click") senderSeenLater = msg.pSender->GetName().GetData();
        manager.RemoveNotifier(&second);
    };
    manager.AddNotifier(&first);
    EXPECT_FALSE(manager.AddNotifier(&first)) << "added once";
    manager.AddNotifier(&second);

    const RECT where = window->RectOf("btn1");
    const CControlUI* removed = window->Find("btn1");
    window->Click("btn1");
    EXPECT_EQ(log, (std::vector<std::string>{"first:click:btn1", "second:click:btn1"}));
    EXPECT_EQ(senderSeenLater, "btn1");
    EXPECT_EQ(buttons->GetCount(), 0);
    EXPECT_EQ(manager.FindControl("btn1"), nullptr);
    EXPECT_EQ(manager.GetPushedControl(), nullptr);
    EXPECT_NE(manager.GetHotControl(), removed) << "the hover forgot the removed button";

    // The mouse keeps working over the place where the buttons were.
    window->notices.clear();
    ClickAt(window->GetHWND(), CentreOf(where));
    DoubleClickAt(window->GetHWND(), CentreOf(where));
    EXPECT_EQ(window->Count("click"), 0);
    EXPECT_EQ(log.size(), 2u) << "the second notifier removed itself, the first hears no click";
    manager.RemoveNotifier(&first);
}

}  // namespace
