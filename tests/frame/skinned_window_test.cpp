#include "shared/unique_handle.h"
#include "tests/frame/frame_fixture.h"
#include "tests/support/gui_driver.h"

#include <gtest/gtest.h>

namespace {

std::string FrameLayout(const char* roundCorner) {
    return std::string(R"(<?xml version="1.0" encoding="utf-8"?>
<Window size="400,300" caption="0,0,0,40" roundcorner=")") +
           roundCorner + R"(">
  <VerticalLayout name="root" bkcolor="#FFFFFFFF">
    <HorizontalLayout name="captionbar" height="40" bkcolor="#FF2B6CB0">
      <Text name="title" text="开票助手" width="120" textcolor="#FFFFFFFF"/>
      <Label name="subtitle" text="标题" width="60" textcolor="#FFFFFFFF"/>
      <Control name="spacer"/>
      <Button name="minbtn" text="_" width="30"/>
      <Button name="maxbtn" text="□" width="30"/>
      <Button name="restorebtn" text="◇" width="30" visible="false"/>
      <Button name="closebtn" text="×" width="30"/>
    </HorizontalLayout>
    <Label name="body" text="正文"/>
  </VerticalLayout>
</Window>
)";
}

class SkinnedWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        skin.Write("frame.xml", FrameLayout("8,8"));
        skin.Write("square.xml", FrameLayout("0,0"));
    }
    void TearDown() override {
        if (frame && ::IsWindow(frame->GetHWND())) ::DestroyWindow(frame->GetHWND());
        WaitForQuitMessage(200);  // the destroyed window's quit request
        EXPECT_EQ(live, 0) << "the window object must delete itself after its last message";
    }

    void Open(const char* layout = "frame.xml") {
        frame = TestFrame::Open(layout, &live);
        ASSERT_NE(frame, nullptr);
        PumpMessagesFor(100);
    }

    LRESULT HitTest(POINT client) {
        ::ClientToScreen(frame->GetHWND(), &client);
        return ::SendMessageA(frame->GetHWND(), WM_NCHITTEST, 0, MAKELPARAM(client.x, client.y));
    }

    bool Visible(const char* name) {
        CControlUI* control = frame->PaintManager().FindControl(name);
        return control != nullptr && control->IsVisible();
    }

    SkinFolder skin;
    TestFrame* frame = nullptr;
    int live = 0;
};

TEST_F(SkinnedWindowTest, CaptionStripDragsOnlyFromPlainLayout) {
    Open();
    EXPECT_TRUE(frame->initWindowCalled);
    EXPECT_EQ(::GetWindowLongA(frame->GetHWND(), GWL_STYLE) & WS_CAPTION, 0);
    EXPECT_EQ(::GetWindowLongA(frame->GetHWND(), GWL_STYLE) & (WS_CLIPSIBLINGS | WS_CLIPCHILDREN),
              WS_CLIPSIBLINGS | WS_CLIPCHILDREN);

    EXPECT_EQ(HitTest(CentreOf(ControlRect(*frame, "spacer"))), HTCAPTION);
    EXPECT_EQ(HitTest(CentreOf(ControlRect(*frame, "subtitle"))), HTCAPTION);  // a label is plain layout
    EXPECT_EQ(HitTest(CentreOf(ControlRect(*frame, "title"))), HTCLIENT);
    EXPECT_EQ(HitTest(CentreOf(ControlRect(*frame, "minbtn"))), HTCLIENT);
    EXPECT_EQ(HitTest(CentreOf(ControlRect(*frame, "closebtn"))), HTCLIENT);
    EXPECT_EQ(HitTest(CentreOf(ControlRect(*frame, "body"))), HTCLIENT);  // below the caption
    EXPECT_EQ(HitTest({200, 39}), HTCAPTION);
    EXPECT_EQ(HitTest({200, 40}), HTCLIENT);
}

TEST_F(SkinnedWindowTest, MaximiseAndRestoreSwapTheCaptionButtons) {
    Open();
    ASSERT_TRUE(Visible("maxbtn"));
    ASSERT_FALSE(Visible("restorebtn"));

    ClickAt(frame->GetHWND(), CentreOf(ControlRect(*frame, "maxbtn")));
    EXPECT_TRUE(::IsZoomed(frame->GetHWND()));
    EXPECT_FALSE(Visible("maxbtn"));
    EXPECT_TRUE(Visible("restorebtn"));

    // The system gave the maximised window the primary monitor's work area. Read at the
    // moment it did: without a window manager, Wine leaves a maximised window's size to a
    // manager that is not there, and the display's answer later puts the old size back.
    RECT work{};
    ASSERT_TRUE(::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    ASSERT_FALSE(frame->maximisedRects.empty());
    const RECT window = frame->maximisedRects.front();
    EXPECT_EQ(window.left, work.left);
    EXPECT_EQ(window.top, work.top);
    EXPECT_EQ(window.right - window.left, work.right - work.left);
    EXPECT_EQ(window.bottom - window.top, work.bottom - work.top);

    ClickAt(frame->GetHWND(), CentreOf(ControlRect(*frame, "restorebtn")));
    EXPECT_FALSE(::IsZoomed(frame->GetHWND()));
    EXPECT_TRUE(Visible("maxbtn"));
    EXPECT_FALSE(Visible("restorebtn"));

    // A change that bypasses the buttons (a restore from the tray, a second start) swaps them too.
    const HWND handle = frame->GetHWND();
    ::ShowWindow(handle, SW_MAXIMIZE);
    EXPECT_FALSE(Visible("maxbtn"));
    EXPECT_TRUE(Visible("restorebtn"));
    ::ShowWindow(handle, SW_HIDE);
    ::ShowWindow(handle, SW_SHOWNORMAL);
    EXPECT_FALSE(::IsZoomed(handle));
    EXPECT_TRUE(Visible("maxbtn"));
    EXPECT_FALSE(Visible("restorebtn"));

    // A command that keeps the window unmaximised leaves both buttons alone.
    frame->PaintManager().FindControl("restorebtn")->SetVisible(true);
    ::SendMessageA(frame->GetHWND(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(Visible("maxbtn"));
    EXPECT_TRUE(Visible("restorebtn"));
}

TEST_F(SkinnedWindowTest, MaximisedInfoUsesThePrimaryWorkArea) {
    Open();
    MINMAXINFO info{};
    ::SendMessageA(frame->GetHWND(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ASSERT_TRUE(::GetMonitorInfoA(::MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor));
    EXPECT_EQ(info.ptMaxPosition.x, monitor.rcWork.left - monitor.rcMonitor.left);
    EXPECT_EQ(info.ptMaxPosition.y, monitor.rcWork.top - monitor.rcMonitor.top);
    EXPECT_EQ(info.ptMaxSize.x, monitor.rcWork.right - monitor.rcMonitor.left);
    EXPECT_EQ(info.ptMaxSize.y, monitor.rcWork.bottom - monitor.rcMonitor.top);
}

TEST_F(SkinnedWindowTest, RoundCornersFollowTheLayout) {
    Open();
    const UniqueGdiHandle<HRGN> region(::CreateRectRgn(0, 0, 0, 0));
    EXPECT_NE(::GetWindowRgn(frame->GetHWND(), region.get()), ERROR);
    // The corner pixel lies outside the rounded region, the centre inside.
    EXPECT_FALSE(::PtInRegion(region.get(), 0, 0));
    EXPECT_TRUE(::PtInRegion(region.get(), 200, 150));
    ::DestroyWindow(frame->GetHWND());
    WaitForQuitMessage(200);

    Open("square.xml");
    EXPECT_EQ(::GetWindowRgn(frame->GetHWND(), region.get()), ERROR) << "corner 0 keeps the window rectangular";
}

TEST_F(SkinnedWindowTest, SystemCloseEndsTheLoopButKeepsTheWindow) {
    Open();
    ::SendMessageA(frame->GetHWND(), WM_SYSCOMMAND, SC_CLOSE, 0);
    int code = -1;
    EXPECT_TRUE(WaitForQuitMessage(1000, &code));
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(::IsWindow(frame->GetHWND()));
    EXPECT_EQ(live, 1);
}

TEST_F(SkinnedWindowTest, DestroyEndsTheLoopAndFreesTheObject) {
    Open();
    ::DestroyWindow(frame->GetHWND());
    int code = -1;
    EXPECT_TRUE(WaitForQuitMessage(1000, &code));
    EXPECT_EQ(code, 0);
    EXPECT_EQ(live, 0);
    frame = nullptr;
}

TEST_F(SkinnedWindowTest, CaptionDoubleClickDoesNothing) {
    Open();
    RECT before{};
    ::GetWindowRect(frame->GetHWND(), &before);
    RECT spacer = ControlRect(*frame, "spacer");
    POINT pt = CentreOf(spacer);
    ::ClientToScreen(frame->GetHWND(), &pt);
    EXPECT_EQ(::SendMessageA(frame->GetHWND(), WM_NCLBUTTONDBLCLK, HTCAPTION, MAKELPARAM(pt.x, pt.y)), 0);
    PumpMessagesFor(50);
    EXPECT_FALSE(::IsZoomed(frame->GetHWND()));
    RECT after{};
    ::GetWindowRect(frame->GetHWND(), &after);
    EXPECT_TRUE(::EqualRect(&before, &after));
}

TEST_F(SkinnedWindowTest, MissingLayoutLeavesAnEmptyWindow) {
    Open("absent.xml");
    EXPECT_TRUE(::IsWindow(frame->GetHWND()));
    EXPECT_EQ(frame->PaintManager().FindControl("closebtn"), nullptr);
    EXPECT_EQ(HitTest({10, 10}), HTCLIENT);
    ::InvalidateRect(frame->GetHWND(), nullptr, TRUE);
    PumpMessagesFor(50);  // painting an empty window must not fail
}

}  // namespace
