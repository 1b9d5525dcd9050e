#include "skin/skin.h"
#include "tests/support/skin_window.h"
#include "tests/support/gui_driver.h"
#include "tests/support/pixels.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

// The client area as the window paints it (through WM_PRINTCLIENT), independent of
// whatever else the display shows.
Pixels PrintedClient(HWND window) {
    RECT client{};
    ::GetClientRect(window, &client);
    return CapturePixels(window, client, PixelSource::PrintedClient);
}

class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseTestArchive();
        window = SkinTestWindow::Open("click.xml");
        ASSERT_NE(window, nullptr);
        PumpMessagesUntil([&] { return window->Count("windowinit") > 0; }, 2000);
        window->notices.clear();
    }

    CButtonUI* Button(const char* name) { return static_cast<CButtonUI*>(window->Find(name)->GetInterface("Button")); }
    COptionUI* Option(const char* name) { return static_cast<COptionUI*>(window->Find(name)->GetInterface("Option")); }
    HWND Hwnd() { return window->GetHWND(); }

    std::unique_ptr<SkinTestWindow> window;
};

TEST_F(ControlsTest, AClickOnAButtonNotifiesOnceWithItsSender) {
    CControlUI* button = window->Find("btn1");
    window->Click("btn1");
    EXPECT_EQ(window->Count("click"), 1);
    EXPECT_EQ(window->Count("click", button), 1);
    ASSERT_FALSE(window->notices.empty());
    EXPECT_EQ(window->notices.back().senderName, "btn1");

    // Every press and release inside is one click, a double click included.
    DoubleClickAt(Hwnd(), CentreOf(window->RectOf("btn2")));
    EXPECT_EQ(window->Count("click", window->Find("btn2")), 2);
    // Labels and layouts take no clicks.
    window->Click("plain");
    window->Click("buttons");
    EXPECT_EQ(window->Count("click"), 3);
}

TEST_F(ControlsTest, APressThatEndsOutsideClicksNothing) {
    CButtonUI* button = Button("btn1");
    const POINT inside = CentreOf(window->RectOf("btn1"));
    const POINT outside = CentreOf(window->RectOf("btn2"));

    PressAt(Hwnd(), inside);
    EXPECT_EQ(window->Manager().GetPushedControl(), button);
    EXPECT_NE(button->GetButtonState() & UISTATE_PUSHED, 0u);
    EXPECT_EQ(::GetCapture(), Hwnd()) << "the press holds the mouse";
    MoveMouseTo(Hwnd(), outside);
    EXPECT_EQ(button->GetButtonState() & UISTATE_PUSHED, 0u) << "shown released while the mouse is away";
    MoveMouseTo(Hwnd(), inside);
    EXPECT_NE(button->GetButtonState() & UISTATE_PUSHED, 0u);
    ReleaseAt(Hwnd(), outside);
    PumpMessagesFor(20);
    EXPECT_EQ(window->Count("click"), 0);
    EXPECT_EQ(button->GetButtonState() & (UISTATE_PUSHED | UISTATE_CAPTURED), 0u);
    EXPECT_NE(::GetCapture(), Hwnd());

    // Pressed elsewhere and released over the button: no click either.
    PressAt(Hwnd(), outside);
    ReleaseAt(Hwnd(), inside);
    PumpMessagesFor(20);
    EXPECT_EQ(window->Count("click", button), 0);
    EXPECT_EQ(window->Count("click"), 0) << "btn2 was pressed but released outside itself";

    // Losing the capture mid-press cancels it.
    PressAt(Hwnd(), inside);
    ::ReleaseCapture();
    ReleaseAt(Hwnd(), inside);
    PumpMessagesFor(20);
    EXPECT_EQ(window->Count("click"), 0);
    EXPECT_EQ(button->GetButtonState() & UISTATE_PUSHED, 0u);
}

TEST_F(ControlsTest, DisabledOrHiddenButtonsClickNothing) {
    window->Click("disabledbtn");
    EXPECT_EQ(window->Count("click"), 0);

    const RECT place = window->RectOf("btn2");
    window->Find("btn2")->SetVisible(false);
    ClickAtCentre(Hwnd(), place);
    EXPECT_EQ(window->Count("click"), 0);

    window->Find("btn1")->SetEnabled(false);
    window->Click("btn1");
    EXPECT_EQ(window->Count("click"), 0);
    EXPECT_FALSE(Button("btn1")->Activate()) << "a disabled button cannot be clicked from code either";
    window->Find("btn1")->SetEnabled(true);
    window->Click("btn1");
    EXPECT_EQ(window->Count("click", window->Find("btn1")), 1);

    // Disabled while pressed: the release clicks nothing.
    PressAt(Hwnd(), CentreOf(window->RectOf("btn1")));
    window->Find("btn1")->SetEnabled(false);
    ReleaseAt(Hwnd(), CentreOf(window->RectOf("btn1")));
    EXPECT_EQ(window->Count("click"), 1);
}

TEST_F(ControlsTest, HoverFollowsTheMouse) {
    CButtonUI* button = Button("btn1");
    MoveMouseTo(Hwnd(), CentreOf(window->RectOf("btn1")));
    EXPECT_EQ(window->Manager().GetHotControl(), button);
    EXPECT_NE(button->GetButtonState() & UISTATE_HOT, 0u);
    const DWORD hot = PrintedClient(Hwnd()).At(CentreOf(window->RectOf("btn1")));
    EXPECT_TRUE(Near(hot, 0x60A5FA)) << std::hex << hot;

    MoveMouseTo(Hwnd(), CentreOf(window->RectOf("btn2")));
    EXPECT_EQ(button->GetButtonState() & UISTATE_HOT, 0u);
    EXPECT_EQ(window->Manager().GetHotControl(), window->Find("btn2"));
    // Over the button's text-free edge the plain colour shows again.
    const RECT rc = window->RectOf("btn1");
    EXPECT_TRUE(Near(PrintedClient(Hwnd()).At(POINT{rc.left + 2, rc.top + 2}), 0x3B82F6));
}

TEST_F(ControlsTest, OptionsOfAGroupSelectOneAtATime) {
    COptionUI* first = Option("opt1");
    COptionUI* second = Option("opt2");
    COptionUI* third = Option("opt3");
    ASSERT_TRUE(first->IsSelected());

    window->Click("opt2");
    EXPECT_TRUE(second->IsSelected());
    EXPECT_FALSE(first->IsSelected());
    EXPECT_FALSE(third->IsSelected());
    EXPECT_EQ(window->Count("selectchanged"), 1);
    EXPECT_EQ(window->Count("selectchanged", second), 1);
    EXPECT_EQ(window->Count("click", second), 1);

    window->Click("opt2");
    EXPECT_EQ(window->Count("selectchanged"), 1) << "selecting the selected option changes nothing";
    EXPECT_TRUE(second->IsSelected());

    window->Click("opt3");
    EXPECT_TRUE(third->IsSelected());
    EXPECT_FALSE(second->IsSelected());
    EXPECT_EQ(window->Count("selectchanged", third), 1);

    // From code: the others of the group are cleared too.
    first->Selected(true);
    EXPECT_FALSE(third->IsSelected());
    EXPECT_EQ(window->Count("selectchanged", first), 1);
    first->Selected(true);
    EXPECT_EQ(window->Count("selectchanged", first), 1);
}

TEST_F(ControlsTest, AnOptionRemovedByItsClickHandlerSelectsNothing) {
    auto* root = dynamic_cast<CContainerUI*>(window->Find("root"));
    ASSERT_NE(root, nullptr);
    CControlUI* row = window->Find("options");
    window->onNotify = [&](TNotifyUI& msg) {
        if (msg.sType == "click" && msg.pSender->GetName() == "opt2") root->Remove(row);
    };
    window->Click("opt2");
    EXPECT_EQ(window->Count("click"), 1);
    EXPECT_EQ(window->Count("selectchanged"), 0) << "the option left the window before it was selected";
    EXPECT_EQ(window->Find("opt1"), nullptr);
    int count = -1;
    window->Manager().GetOptionGroup("grp", &count);
    EXPECT_EQ(count, 0) << "the removed options left their group";
    window->Click("tabs");  // the window goes on working
    EXPECT_EQ(window->Count("click"), 1);
}

TEST_F(ControlsTest, AnOptionWithoutGroupToggles) {
    COptionUI* check = Option("check");
    ASSERT_FALSE(check->IsSelected());
    window->Click("check");
    EXPECT_TRUE(check->IsSelected());
    window->Click("check");
    EXPECT_FALSE(check->IsSelected());
    EXPECT_EQ(window->Count("selectchanged", check), 2);
    EXPECT_TRUE(Option("opt1")->IsSelected()) << "other options are not touched";
}

TEST_F(ControlsTest, TabLayoutShowsOnlyTheChosenPage) {
    auto* tabs = static_cast<CTabLayoutUI*>(window->Find("tabs")->GetInterface("TabLayout"));
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(tabs->GetCurSel(), 0);
    EXPECT_TRUE(window->Find("tab0")->IsVisible());
    EXPECT_FALSE(window->Find("tab1")->IsVisible());

    EXPECT_TRUE(tabs->SelectItem(2, false));
    ::UpdateWindow(Hwnd());
    EXPECT_EQ(tabs->GetCurSel(), 2);
    EXPECT_FALSE(window->Find("tab0")->IsVisible());
    EXPECT_FALSE(window->Find("tab1")->IsVisible());
    EXPECT_TRUE(window->Find("tab2")->IsVisible());
    const RECT page = window->RectOf("tab2");
    const RECT area = window->RectOf("tabs");
    EXPECT_TRUE(::EqualRect(&page, &area)) << "the shown page fills the tab layout";
    EXPECT_EQ(window->Manager().FindControl(CentreOf(area)), window->Find("tab2"));

    EXPECT_FALSE(tabs->SelectItem(3));
    EXPECT_FALSE(tabs->SelectItem(-1));
    EXPECT_EQ(tabs->GetCurSel(), 2);
    EXPECT_EQ(window->Count("tabselect"), 0) << "not asked for";
    EXPECT_TRUE(tabs->SelectItem(1, true));
    EXPECT_EQ(window->Count("tabselect", tabs), 1);
    EXPECT_TRUE(window->Find("tab1")->IsVisible());

    // Pages hidden with their tab are hidden for their children too.
    tabs->SetVisible(false);
    EXPECT_FALSE(window->Find("tab1")->IsVisible());
    tabs->SetVisible(true);
    EXPECT_TRUE(window->Find("tab1")->IsVisible());
    EXPECT_FALSE(window->Find("tab0")->IsVisible());
}

TEST_F(ControlsTest, ProgressKeepsItsValueInRange) {
    auto* bar = static_cast<CProgressUI*>(window->Find("bar")->GetInterface("Progress"));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->GetMinValue(), 0);
    EXPECT_EQ(bar->GetMaxValue(), 100);
    bar->SetValue(40);
    EXPECT_EQ(bar->GetValue(), 40);
    bar->SetValue(150);
    EXPECT_EQ(bar->GetValue(), 100);
    bar->SetValue(-5);
    EXPECT_EQ(bar->GetValue(), 0);
    bar->SetValue(80);
    bar->SetMaxValue(50);
    EXPECT_EQ(bar->GetValue(), 50) << "a smaller range pulls the value in";

    // The bar is drawn filled as far as the value reaches.
    bar->SetMaxValue(100);
    bar->SetValue(50);
    const RECT rc = window->RectOf("bar");
    const Pixels printed = PrintedClient(Hwnd());
    const LONG middle = (rc.top + rc.bottom) / 2;
    const DWORD filled = printed.At(POINT{rc.left + 10, middle});
    const DWORD empty = printed.At(POINT{rc.right - 10, middle});
    EXPECT_TRUE(Near(filled, 0x22C55E)) << std::hex << filled;
    EXPECT_TRUE(Near(empty, 0xE5E7EB)) << std::hex << empty;
}

TEST(ImageDrawingTest, ImageReferencesPickPartsPlacesAndOpacity) {
    UseTestArchive();
    auto window = SkinTestWindow::Open("images.xml");
    ASSERT_NE(window, nullptr);
    const Pixels printed = PrintedClient(window->GetHWND());
    const auto at = [&](const char* name, LONG dx, LONG dy) {
        const RECT rc = window->RectOf(name);
        return printed.At(POINT{rc.left + dx, rc.top + dy});
    };
    EXPECT_TRUE(Near(at("part", 10, 10), 0x0000FF)) << std::hex << at("part", 10, 10);
    EXPECT_TRUE(Near(at("placed", 10, 10), 0xFF0000)) << std::hex << at("placed", 10, 10);
    EXPECT_TRUE(Near(at("placed", 2, 2), 0xFFFFFF)) << "outside dest nothing is drawn";
    EXPECT_TRUE(Near(at("faded", 10, 10), 0xFF7F7F, 4)) << std::hex << at("faded", 10, 10);
    EXPECT_TRUE(Near(at("whole", 5, 10), 0xFF0000, 8)) << "stretched to the control";
    EXPECT_TRUE(Near(at("whole", 35, 10), 0x0000FF, 8));
    EXPECT_TRUE(Near(at("missing", 10, 10), 0x00FF00)) << "a missing image leaves the rest drawn";
    EXPECT_TRUE(Near(at("translucent", 10, 10), 0x7F7FFF, 4)) << std::hex << at("translucent", 10, 10);
}

TEST(SampleWindowTest, LooksFinishedInItsStates) {
    UseTestArchive();
    auto window = SkinTestWindow::Open("sample.xml", nullptr, 120, 100);
    ASSERT_NE(window, nullptr);
    HWND hwnd = window->GetHWND();
    ::SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    // Rounded as the window frame rounds it; the system owns the region once it is set.
    HRGN region = ::CreateRoundRectRgn(0, 0, 521, 341, 10, 10);
    if (region != nullptr && !::SetWindowRgn(hwnd, region, TRUE)) ::DeleteObject(region);
    PumpMessagesFor(100);

    // Chinese text is drawn: the headline and a caption title leave ink.
    const Pixels idle = PrintedClient(hwnd);
    EXPECT_GT(idle.InkIn(window->RectOf("headline")), 150);
    EXPECT_GT(idle.InkIn(window->RectOf("title")), 150);
    EXPECT_TRUE(Near(idle.At(CentreOf(window->RectOf("rj"))), 0x2563EB, 12) ||
                idle.InkIn(window->RectOf("rj")) > 100)
        << "the selected option is drawn in its selected colour";

    MoveMouseTo(hwnd, CentreOf(window->RectOf("update")));
    const RECT update = window->RectOf("update");
    EXPECT_TRUE(Near(PrintedClient(hwnd).At(POINT{update.left + 6, (update.top + update.bottom) / 2}), 0x3B82F6));
    const std::string hover = SaveScreenshot(hwnd, "skin-sample-hover");
    EXPECT_FALSE(hover.empty());

    PressAt(hwnd, CentreOf(window->RectOf("later")));
    const RECT later = window->RectOf("later");
    EXPECT_TRUE(Near(PrintedClient(hwnd).At(POINT{later.left + 6, (later.top + later.bottom) / 2}), 0xE5E7EB));
    const std::string pushed = SaveScreenshot(hwnd, "skin-sample-pushed");
    EXPECT_FALSE(pushed.empty());
    ReleaseAt(hwnd, POINT{2, 300});
    EXPECT_EQ(window->Count("click"), 0);
    std::printf("screenshots: %s %s\n", hover.c_str(), pushed.c_str());
}

}  // namespace
