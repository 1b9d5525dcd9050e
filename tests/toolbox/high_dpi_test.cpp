// The windows at 150 %, in a Wine prefix of their own with LogPixels 144: the main window,
// the announcement and the update window at 1.5 times their 96-DPI size, the fonts 1.5
// times as high, real clicks at the scaled places, icons in the sizes of that DPI. (A DPI
// change, which Wine never sends, is tested on a skin window in tests/skin/dpi_test.cpp.)
#include "tests/support/gui_driver.h"
#include "tests/toolbox/toolbox_fixture.h"
#include "tests/updater/worker_fixture.h"
#include "toolbox/status_timer.h"
#include "updater/update_window.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr UINT kDpi = 144;

int At150(int length) { return ::MulDiv(length, 3, 2); }

::testing::AssertionResult ScreenAt150Percent() {
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    if (dpi == static_cast<int>(kDpi)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the screen has " << dpi << " DPI: run through "
                                         << "tests/support/own_prefix.sh with KESTROVA_PREFIX_LOG_PIXELS=144";
}

class MainWindowAt150 : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ScreenAt150Percent());
        UseBuiltSkin();
        Toolbox().SetServerBaseUrl("http://127.0.0.1:9/t/dpi");
        Toolbox().TaxCode = "91110108MA01TEST8X";
        Toolbox().InstallDir = m_install.Path();
        window = new TestVeltrin;
        ASSERT_TRUE(window->Open());
        handle = window->GetHWND();
        ::SetWindowPos(handle, HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE);
        ::SetForegroundWindow(handle);
        PumpMessagesFor(200);
    }
    void TearDown() override { CloseTestWindow(handle); }

    TempDir m_install;
    ToolboxValuesScope m_values;
    NavigationLog m_navigations;
    TestVeltrin* window = nullptr;
    HWND handle = nullptr;
};

TEST_F(MainWindowAt150, TheWindowItsFontsAndItsIconsAreOneAndAHalfTimesTheirSize) {
    ExpectTitleAndSize(handle, "Kestrova", 1200, 858);
    CPaintManagerUI& manager = window->PaintManager();
    EXPECT_EQ(manager.GetDpi(), kDpi);
    EXPECT_EQ(manager.GetCaptionRect().bottom, At150(84));
    EXPECT_EQ(manager.GetRoundCorner().cx, At150(6));
    // The layout's fonts, of 12, 17, 14, 15 and 12 pixels at 96 DPI.
    const int sizes[] = {12, 17, 14, 15, 12};
    for (int id = 0; id < 5; ++id) {
        LOGFONTA font{};
        ASSERT_NE(::GetObjectA(manager.GetFont(id), sizeof(font), &font), 0);
        EXPECT_EQ(font.lfHeight, -At150(sizes[id])) << "font " << id;
    }
    const auto icon = [this](WPARAM kind) {
        return IconWidth(reinterpret_cast<HICON>(::SendMessageA(handle, WM_GETICON, kind, 0)));
    };
    EXPECT_EQ(icon(ICON_SMALL), 24);
    EXPECT_EQ(icon(ICON_BIG), 48);
    ClickAtCentre(handle, window->RectOf("closebtn"));
    ASSERT_TRUE(window->HasTrayIcon());
    EXPECT_EQ(IconWidth(window->TrayData().hIcon), 24) << "the system's small icon at 144 DPI";
}

TEST_F(MainWindowAt150, RealClicksAtTheScaledPlacesReachTheSoftwareTabAndACellsButton) {
    // At 96 DPI the software tab's centre lies at (180, 62).
    ClickAt(handle, POINT{At150(180), At150(62)});
    EXPECT_EQ(window->CurrentPage(), kSoftwarePage);
    EXPECT_EQ(window->CountOf("LoadSoftwareCatalogue"), 1);

    auto* row = new CHorizontalLayoutUI;
    row->SetAttribute("height", "100");
    row->SetAttribute("childpadding", "4");
    auto* entry = new DuiSoft;
    entry->viewName = "发票开票助手";
    auto* cell = new SkinSoftListControl(entry);
    cell->SetName("rowIndex1");
    row->Add(cell);
    row->Add(new CControlUI);
    row->Add(new CControlUI);
    window->SoftList()->Add(row);
    PumpMessagesFor(100);
    const RECT rc = cell->GetPos();
    EXPECT_EQ(rc.bottom - rc.top, At150(100));
    // The action pill: 76 x 26 px at 96 DPI, 12 px in from the cell's right and bottom edges.
    const POINT action{rc.right - At150(12 + 38), rc.bottom - At150(12 + 13)};
    const COLORREF pill = ScreenPixel(handle, POINT{action.x - At150(28), action.y});
    EXPECT_GT(GetBValue(pill), 200) << "the blue of \"下载\" is drawn where the pill belongs";
    EXPECT_LT(GetRValue(pill), 110);
    ClickAt(handle, action);
    EXPECT_EQ(window->CountOf("StartSoftwareDownload"), 1);
    EXPECT_FALSE(SaveScreenshot(handle, "veltrin_software_150").empty());
}

RECT WorkAreaOf(HWND window) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoA(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    return monitor.rcWork;
}

TEST(AnnouncementAt150, ItIsSizedForItsDpiThenPlacedInTheCornerWhenItShows) {
    ASSERT_TRUE(ScreenAt150Percent());
    ToolboxValuesScope values;
    NavigationLog navigations;
    UseBuiltSkin();
    Toolbox().AnnouncementShown = false;
    auto* gg = new GG;
    ASSERT_TRUE(gg->OpenHidden());
    const HWND handle = gg->GetHWND();
    const auto expectInCorner = [handle] {
        RECT rc{};
        ::GetWindowRect(handle, &rc);
        const RECT work = WorkAreaOf(handle);
        EXPECT_EQ(rc.right - rc.left, At150(260));
        EXPECT_EQ(rc.bottom - rc.top, At150(320));
        EXPECT_EQ(rc.right, work.right);
        EXPECT_EQ(rc.bottom, work.bottom);
    };
    expectInCorner();
    ApplyStatusReply("2");
    EXPECT_TRUE(::IsWindowVisible(handle));
    EXPECT_NE(::GetWindowLongA(handle, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    expectInCorner();
    CloseTestWindow(handle);
}

// The update window as the update road opens it, over an empty update list.
class UpdateWindowAt150 : public WorkerTest {
protected:
    UpdateWindowAt150() {
        CPaintManagerUI::SetInstance(::GetModuleHandleA(nullptr));
        CPaintManagerUI::SetResourcePath((TestProgramDir() + "\\").c_str());
        CPaintManagerUI::SetResourceZip("upload.zip");
        Updater().ServerVersion = "2.0";
        m_install.WriteSettings("1.0");
    }
};

TEST_F(UpdateWindowAt150, ItIsOneAndAHalfTimesItsSize) {
    ASSERT_TRUE(ScreenAt150Percent());
    PublishList({});
    Morvane* window = OpenUpdateWindow();
    ASSERT_NE(window, nullptr);
    const HWND handle = window->GetHWND();
    ExpectTitleAndSize(handle, "Kestrova自动升级程序", At150(499), At150(176));
    // The close button, 38 px square in the corner at 96 DPI, and the bar, 12 px high.
    const RECT close = window->CloseButton()->GetPos();
    EXPECT_EQ(close.right - close.left, At150(38));
    EXPECT_EQ(close.bottom, At150(38));
    const RECT bar = window->ProgressBar()->GetPos();
    EXPECT_EQ(bar.bottom - bar.top, At150(12));
    EXPECT_TRUE(WaitForQuitMessage(30000)) << "the empty list ends the run";
    if (::IsWindow(handle)) {
        ::DestroyWindow(handle);
        WaitForQuitMessage(1000);
    }
}

}  // namespace
