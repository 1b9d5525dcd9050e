// The main window's tray icon in the real notification area: the close button hides the
// window into it, a left click shows it again, and the menu ends the program or is dismissed.
#include "tests/toolbox/main_window_fixture.h"

#include <gtest/gtest.h>

namespace {

class TrayTest : public MainWindowTest {
protected:
    void TearDown() override {
        MainWindowTest::TearDown();
        EXPECT_FALSE(TrayIconPresent(handle)) << "no icon outlives its window";
    }

    void ClickClose() { ClickAtCentre(handle, window->CloseButton()->GetPos()); }
    void TrayMouse(UINT mouseMessage) { ::SendMessageA(handle, WM_TRAYNOTIFY, 0, mouseMessage); }
};

TEST_F(TrayTest, CloseButtonHidesTheWindowIntoTheTray) {
    EXPECT_FALSE(TrayIconPresent(handle));
    ClickClose();
    EXPECT_FALSE(::IsWindowVisible(handle));
    EXPECT_TRUE(window->HasTrayIcon());
    EXPECT_TRUE(TrayIconPresent(handle));
    EXPECT_FALSE(WaitForQuitMessage(200)) << "the program keeps running";

    const NOTIFYICONDATAA& data = window->TrayData();
    EXPECT_EQ(data.cbSize, sizeof(NOTIFYICONDATAA));
    EXPECT_EQ(data.hWnd, handle);
    EXPECT_EQ(data.uID, 0u);
    EXPECT_EQ(data.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(data.uCallbackMessage, 1125u);
    EXPECT_STREQ(data.szTip, "Kestrova");
    // The program's icon, in the system's small size: the notification area shows that one.
    EXPECT_EQ(IconWidth(data.hIcon), ::GetSystemMetrics(SM_CXSMICON));

    // A left click on the icon shows the window; the icon stays.
    TrayMouse(WM_LBUTTONDOWN);
    EXPECT_TRUE(::IsWindowVisible(handle));
    EXPECT_TRUE(TrayIconPresent(handle));

    // Closing again keeps the one icon.
    ClickClose();
    EXPECT_FALSE(::IsWindowVisible(handle));
    EXPECT_TRUE(TrayIconPresent(handle));

    // Other mouse messages do nothing.
    TrayMouse(WM_MOUSEMOVE);
    TrayMouse(WM_LBUTTONUP);
    EXPECT_FALSE(::IsWindowVisible(handle));
}

TEST_F(TrayTest, ARestartedNotificationAreaGetsTheIconBackOnlyWhenItHadOne) {
    const UINT taskbarCreated = ::RegisterWindowMessageA("TaskbarCreated");
    ::SendMessageA(handle, taskbarCreated, 0, 0);
    EXPECT_FALSE(TrayIconPresent(handle));
    ClickClose();
    ASSERT_TRUE(TrayIconPresent(handle));
    // What a restarted Explorer does to every icon.
    NOTIFYICONDATAA lost = window->TrayData();
    ASSERT_TRUE(::Shell_NotifyIconA(NIM_DELETE, &lost));
    ASSERT_FALSE(TrayIconPresent(handle));
    ::SendMessageA(handle, taskbarCreated, 0, 0);
    EXPECT_TRUE(TrayIconPresent(handle));
    EXPECT_FALSE(::IsWindowVisible(handle));
}

TEST_F(TrayTest, DismissedMenuLeavesProgramAndIcon) {
    ClickClose();
    PopupMenuDriver driver(::GetCurrentProcessId(), PopupMenuDriver::Action::Dismiss);
    TrayMouse(WM_RBUTTONDOWN);
    ASSERT_TRUE(driver.Finish()) << "the menu opened";
    EXPECT_EQ(driver.firstItemText(), "退出");
    EXPECT_EQ(driver.firstItemId(), 1126u);
    EXPECT_FALSE(WaitForQuitMessage(300));
    EXPECT_TRUE(TrayIconPresent(handle));
    EXPECT_TRUE(window->HasTrayIcon());
}

TEST_F(TrayTest, MenuExitRemovesTheIconAndEndsTheLoop) {
    ClickClose();
    PopupMenuDriver driver(::GetCurrentProcessId(), PopupMenuDriver::Action::ChooseFirstItem);
    TrayMouse(WM_RBUTTONDOWN);
    ASSERT_TRUE(driver.Finish());
    int code = -1;
    EXPECT_TRUE(WaitForQuitMessage(2000, &code));
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(TrayIconPresent(handle));
    EXPECT_FALSE(window->HasTrayIcon());
    EXPECT_EQ(window->TrayData().hIcon, nullptr);
}

TEST_F(TrayTest, DestroyingTheWindowTakesTheIconAlong) {
    ClickClose();
    ASSERT_TRUE(TrayIconPresent(handle));
    CloseTestWindow(handle);
    EXPECT_FALSE(TrayIconPresent(handle));
}

}  // namespace
