#include "skin/skin.h"
#include "tests/support/skin_window.h"
#include "tests/support/gui_driver.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

BOOL CALLBACK CountWindow(HWND window, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    ::EnumChildWindows(window, CountWindow, count);
    return TRUE;
}

// Windows of this thread, children included: USER objects that can be counted everywhere.
int ThreadWindowCount() {
    int count = 0;
    ::EnumThreadWindows(::GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

// One life of a window that uses what costs GDI objects: fonts, images, rounded and
// translucent fills, hover and press states, rows added and removed.
void LiveOneWindow() {
    auto window = SkinTestWindow::Open("sample.xml", nullptr, 40, 40);
    ASSERT_NE(window, nullptr);
    HWND hwnd = window->GetHWND();
    MoveMouseTo(hwnd, CentreOf(window->RectOf("update")));
    ClickAt(hwnd, CentreOf(window->RectOf("wd")));
    auto* card = dynamic_cast<CContainerUI*>(window->Find("card"));
    ASSERT_NE(card, nullptr);
    for (int i = 0; i < 3; ++i) {
        auto* row = new CButtonUI;
        row->SetAttribute("height", "20");
        row->SetAttribute("text", "行");
        row->SetAttribute("borderround", "6,6");
        row->SetAttribute("bkcolor", "#802563EB");
        card->Add(row);
    }
    ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    card->RemoveAt(card->GetCount() - 1);
    ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    PumpMessagesFor(5);
}

TEST(GdiLeakTest, AHundredWindowLivesLeaveNothingBehind) {
    UseTestArchive();
    // The first life registers the class and lets the system set up what it keeps.
    LiveOneWindow();
    PumpMessagesFor(50);

    const DWORD gdiBefore = GdiObjectCount();
    const DWORD userBefore = UserObjectCount();
    const int windowsBefore = ThreadWindowCount();
    EXPECT_EQ(SkinRender::LiveGdiObjectCount(), 0) << "no window: the library holds no GDI object";
    EXPECT_EQ(SkinRender::GdiplusLeaseCount(), 0) << "GDI+ is shut down with the last window";

    for (int i = 0; i < 100; ++i) {
        LiveOneWindow();
        if (::testing::Test::HasFatalFailure()) return;
    }
    PumpMessagesFor(50);

    EXPECT_EQ(SkinRender::LiveGdiObjectCount(), 0);
    EXPECT_EQ(SkinRender::GdiplusLeaseCount(), 0);
    EXPECT_EQ(ThreadWindowCount(), windowsBefore);
    EXPECT_LE(GdiObjectCount(), gdiBefore) << "GDI objects of the process";
    EXPECT_LE(UserObjectCount(), userBefore) << "USER objects of the process";
    if (gdiBefore == 0 && userBefore == 0) {
        std::printf("GetGuiResources reports no counts on this system; the library's own GDI objects and "
                    "the thread's windows were counted instead\n");
    } else {
        std::printf("GetGuiResources: GDI %lu -> %lu, USER %lu -> %lu\n", static_cast<unsigned long>(gdiBefore),
                    static_cast<unsigned long>(GdiObjectCount()), static_cast<unsigned long>(userBefore),
                    static_cast<unsigned long>(UserObjectCount()));
    }
}

TEST(GdiLeakTest, PaintingHoldsOnlyTheWindowsCachedObjects) {
    UseTestArchive();
    auto window = SkinTestWindow::Open("sample.xml", nullptr, 40, 40);
    ASSERT_NE(window, nullptr);
    ::RedrawWindow(window->GetHWND(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    const long cached = SkinRender::LiveGdiObjectCount();
    EXPECT_GT(cached, 0) << "fonts and decoded images stay cached while the window lives";
    for (int i = 0; i < 20; ++i) {
        ::RedrawWindow(window->GetHWND(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        MoveMouseTo(window->GetHWND(), POINT{10 + i * 20, 200});
    }
    EXPECT_EQ(SkinRender::LiveGdiObjectCount(), cached) << "each paint frees its back buffer and brushes";
    window.reset();
    EXPECT_EQ(SkinRender::LiveGdiObjectCount(), 0);
}

}  // namespace
