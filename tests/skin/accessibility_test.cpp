// The accessibility tree and the keyboard focus of a window in this process, read through
// oleacc as a screen reader reads them: what each element says, nodes whose controls went,
// default actions, Tab, Shift+Tab, Enter and Space, and the focus ring.
#include "shared/com_helpers.h"
#include "skin/skin.h"
#include "tests/support/accessible_tree.h"
#include "tests/support/gui_driver.h"
#include "tests/support/pixels.h"
#include "tests/support/skin_window.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

class AccessibilityTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_com.usable());
        UseTestArchive();
        ::SetCursorPos(2, 2);
        window = SkinTestWindow::Open("accessible.xml");
        ASSERT_TRUE(window);
        hwnd = window->GetHWND();
        list = static_cast<CContainerUI*>(window->Find("items"));
    }

    // A row of software cells named "税控驱动", in the entries' states, painted.
    std::vector<SkinSoftListControl*> AddRow(const std::vector<int>& states) {
        auto* row = new CHorizontalLayoutUI;
        row->SetAttribute("height", "100");
        std::vector<SkinSoftListControl*> cells;
        for (int state : states) {
            auto* soft = new DuiSoft;
            soft->viewName = "税控驱动";
            soft->state = state;
            cells.push_back(new SkinSoftListControl(soft));
            row->Add(cells.back());
        }
        list->Add(row);
        ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        return cells;
    }
    // The system's focus, as the window the user works in has it.
    void TakeFocus() {
        ::SetFocus(hwnd);
        ASSERT_EQ(::GetFocus(), hwnd);
    }
    void Key(WPARAM key, LPARAM flags = 0) {
        ::SendMessageA(hwnd, WM_KEYDOWN, key, flags);
        PumpMessagesFor(20);
    }
    std::wstring FocusedName() {
        const AccessibleElement focused = FocusedAccessible(hwnd);
        return focused.Has(STATE_SYSTEM_FOCUSED) ? focused.Name() : L"(not focused)";
    }
    Pixels Capture(const RECT& rc) {
        ::UpdateWindow(hwnd);
        return CapturePixels(hwnd, rc, PixelSource::Window);
    }

    ComScope m_com;
    std::unique_ptr<SkinTestWindow> window;
    HWND hwnd = nullptr;
    CContainerUI* list = nullptr;
};

TEST_F(AccessibilityTest, EachElementReadsAsTheLayoutDescribesIt) {
    const AccessibleElement root = AccessibleWindow(hwnd);
    EXPECT_EQ(root.Name(), L"Kestrova skin test");
    EXPECT_EQ(root.Role(), ROLE_SYSTEM_CLIENT);
    struct Expected {
        const wchar_t* name;
        LONG role;
        DWORD has, hasNot;
        const wchar_t* action;
    };
    // No spacer and no layout; the icon button and the list are named by their tooltips.
    const Expected expected[] = {
        {L"标志", ROLE_SYSTEM_GRAPHIC, 0, STATE_SYSTEM_FOCUSABLE, L""},
        {L"标题", ROLE_SYSTEM_STATICTEXT, 0, STATE_SYSTEM_FOCUSABLE, L""},
        {L"关闭", ROLE_SYSTEM_PUSHBUTTON, STATE_SYSTEM_FOCUSABLE, STATE_SYSTEM_UNAVAILABLE | STATE_SYSTEM_INVISIBLE,
         L"按下"},
        {L"禁用", ROLE_SYSTEM_PUSHBUTTON, STATE_SYSTEM_UNAVAILABLE, 0, L"按下"},
        {L"隐藏", ROLE_SYSTEM_PUSHBUTTON, STATE_SYSTEM_INVISIBLE, 0, L"按下"},
        {L"甲", ROLE_SYSTEM_PAGETAB, STATE_SYSTEM_SELECTED, 0, L"切换"},
        {L"乙", ROLE_SYSTEM_PAGETAB, STATE_SYSTEM_SELECTABLE, STATE_SYSTEM_SELECTED, L"切换"},
        {L"条目", ROLE_SYSTEM_LIST, 0, 0, L""},
        {L"进度", ROLE_SYSTEM_PROGRESSBAR, STATE_SYSTEM_READONLY, 0, L""},
    };
    const std::vector<AccessibleElement> children = root.Children();
    ASSERT_EQ(children.size(), std::size(expected));
    for (size_t i = 0; i < children.size(); ++i) {
        EXPECT_EQ(children[i].Name(), expected[i].name);
        EXPECT_EQ(children[i].Role(), expected[i].role) << i;
        EXPECT_EQ(children[i].State() & expected[i].has, static_cast<LONG>(expected[i].has)) << i;
        EXPECT_EQ(children[i].State() & expected[i].hasNot, 0) << i;
        EXPECT_EQ(children[i].DefaultAction(), expected[i].action) << i;
    }
    EXPECT_EQ(children[8].Value(), L"25%") << "50 of 0 to 200";
    // The control's place, seen from the screen, finds its element.
    RECT icon = window->RectOf("icon");
    ::MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&icon), 2);
    EXPECT_EQ(AccessibleAt(CentreOf(icon)).Name(), L"关闭");
}

TEST_F(AccessibilityTest, CatalogueCellsReadTheirEntryAndTheWordOfTheirAction) {
    struct Case {
        int state;
        const wchar_t* word;  // empty: no action
    };
    const Case cases[] = {{NotDownloaded, L"下载"}, {Downloaded, L"打开"}, {Installed, L"启动"},
                          {UpdateAvailable, L"升级"}, {Downloading, L"取消"}, {7, L""}};
    std::vector<SkinSoftListControl*> cells = AddRow({NotDownloaded, Downloaded, Installed});
    for (SkinSoftListControl* cell : AddRow({UpdateAvailable, Downloading, 7})) cells.push_back(cell);
    for (SkinSoftListControl* cell : cells) cell->SetDownLoadSize(40);

    const std::vector<AccessibleElement> items = FindAccessible(AccessibleWindow(hwnd), L"条目").Children();
    ASSERT_EQ(items.size(), std::size(cases));
    for (size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i].Name(), L"税控驱动");
        EXPECT_EQ(items[i].Role(), ROLE_SYSTEM_LISTITEM);
        EXPECT_EQ(items[i].DefaultAction(), cases[i].word) << i;
        const std::vector<AccessibleElement> parts = items[i].Children();
        ASSERT_EQ(parts.size(), 2u);
        EXPECT_EQ(parts[0].Name(), cases[i].word) << i;
        EXPECT_EQ(parts[0].Has(STATE_SYSTEM_INVISIBLE), *cases[i].word == L'\0') << i;
        EXPECT_EQ(parts[1].Has(STATE_SYSTEM_INVISIBLE), cases[i].state != Downloading) << i;
        EXPECT_EQ(parts[1].Value(), L"40%");
    }
    // The flag of a download just started reads as its record's state does.
    cells[0]->SetIsDownLoad(true);
    EXPECT_EQ(items[0].Children()[0].Name(), L"取消");
    // The pill under the point is the button; up from it come the cell, the list and the window.
    const AccessibleElement button = AccessibleAt(CentreOf(items[2].Children()[0].Location()));
    EXPECT_EQ(button.child, 1);
    EXPECT_EQ(button.Name(), L"启动");
    EXPECT_EQ(button.Parent().Parent().Name(), L"条目");
    EXPECT_EQ(button.Parent().Parent().Parent().Role(), ROLE_SYSTEM_CLIENT);
}

TEST_F(AccessibilityTest, ANodeHeldAfterItsControlWentAnswersWithAnError) {
    AddRow({NotDownloaded});
    const AccessibleElement item = FindAccessible(AccessibleWindow(hwnd), L"税控驱动");
    const AccessibleElement button = item.Children().at(0);
    // Removed by the click's own handler, the cell waits for deletion outside the tree.
    HRESULT duringClick = S_OK;
    window->onNotify = [&](TNotifyUI& msg) {
        if (msg.sType != "click") return;
        list->RemoveAll();
        duringClick = item.NameResult();
    };
    ASSERT_EQ(button.DoDefaultAction(), S_OK);
    PumpMessagesFor(50);
    EXPECT_EQ(duringClick, CO_E_OBJNOTCONNECTED);
    for (const AccessibleElement& gone : {item, button}) {
        EXPECT_EQ(gone.NameResult(), CO_E_OBJNOTCONNECTED);
        EXPECT_EQ(gone.DoDefaultAction(), CO_E_OBJNOTCONNECTED);
        EXPECT_TRUE(gone.Children().empty());
    }
    const AccessibleElement root = AccessibleWindow(hwnd);
    window.reset();
    EXPECT_EQ(root.NameResult(), CO_E_OBJNOTCONNECTED) << "the window and its root are gone";
}

TEST_F(AccessibilityTest, ADefaultActionIsAClickOnceTheCallHasReturned) {
    const AccessibleElement root = AccessibleWindow(hwnd);
    CControlUI* icon = window->Find("icon");
    PressAt(hwnd, CentreOf(icon->GetPos()));
    EXPECT_TRUE(FindAccessible(root, L"关闭").Has(STATE_SYSTEM_PRESSED));
    ReleaseAt(hwnd, {2, 2});
    ASSERT_EQ(FindAccessible(root, L"关闭").DoDefaultAction(), S_OK);
    EXPECT_EQ(window->Count("click", icon), 0);
    PumpMessagesFor(50);
    EXPECT_EQ(window->Count("click", icon), 1);
    EXPECT_EQ(FindAccessible(root, L"禁用").DoDefaultAction(), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(FindAccessible(root, L"标题").DoDefaultAction(), DISP_E_MEMBERNOTFOUND);
    // Asked for while the window is disabled under a modal box, or for a control that went
    // before the action arrived: nothing happens.
    AddRow({NotDownloaded});
    const AccessibleElement cell = FindAccessible(root, L"税控驱动");
    ::EnableWindow(hwnd, FALSE);
    ASSERT_EQ(cell.DoDefaultAction(), S_OK);
    PumpMessagesFor(50);
    ::EnableWindow(hwnd, TRUE);
    ASSERT_EQ(cell.DoDefaultAction(), S_OK);
    list->RemoveAll();
    PumpMessagesFor(50);
    EXPECT_EQ(window->Count("click"), 1);
}

TEST_F(AccessibilityTest, TabMovesTheFocusRoundTheControlsThatTakeItAndEnterAndSpaceActivate) {
    TakeFocus();
    SkinSoftListControl* cell = AddRow({NotDownloaded})[0];
    FocusEvents events(::GetCurrentProcessId());
    ASSERT_TRUE(events.Hooked());
    // Disabled and hidden controls are passed over; after the last comes the first again.
    const std::vector<std::wstring> forward{L"关闭", L"甲", L"乙", L"税控驱动", L"关闭"};
    for (const std::wstring& name : forward) {
        Key(VK_TAB);
        EXPECT_EQ(FocusedName(), name);
    }
    EXPECT_TRUE(PumpMessagesUntil([&] { return events.Names().size() == forward.size(); }));
    EXPECT_EQ(events.Names(), forward);

    BYTE keys[256] = {};
    ASSERT_TRUE(::GetKeyboardState(keys));
    keys[VK_SHIFT] = 0x80;
    ASSERT_TRUE(::SetKeyboardState(keys));
    Key(VK_TAB);
    EXPECT_EQ(FocusedName(), L"税控驱动") << "Shift+Tab goes back round the start";
    Key(VK_TAB);
    EXPECT_EQ(FocusedName(), L"乙");
    keys[VK_SHIFT] = 0;
    ASSERT_TRUE(::SetKeyboardState(keys));

    Key(VK_RETURN);
    Key(VK_RETURN, 1 << 30);
    EXPECT_EQ(window->Count("selectchanged", window->Find("second")), 1) << "a key held down activates once";
    Key(VK_TAB);
    Key(VK_SPACE);
    EXPECT_EQ(window->Count("click", cell), 1);
    // Hidden, the focused cell leaves the focus to the window.
    cell->SetVisible(false);
    EXPECT_EQ(FocusedName(), L"Kestrova skin test");
    Key(VK_SPACE);
    EXPECT_EQ(window->Count("click", cell), 1);
}

TEST_F(AccessibilityTest, TheFocusedCellShowsTheRingAndItsKeptPictureComesBackWithoutIt) {
    TakeFocus();
    SkinSoftListControl* cell = AddRow({NotDownloaded})[0];
    const RECT rc = cell->GetPos();
    const Pixels plain = Capture(rc);
    window->Manager().SetFocus(cell);
    const Pixels ringed = Capture(rc);
    const POINT edge{rc.left + 1, (rc.top + rc.bottom) / 2};
    EXPECT_TRUE(Near(ringed.At(edge), 0x0F3D91, 40)) << std::hex << ringed.At(edge);
    Key(VK_TAB);
    EXPECT_EQ(Capture(rc), plain) << "the focus left: the picture without the ring";
    // A click focuses the cell quietly; the keyboard brings the ring, the window's losing
    // the system's focus takes it away.
    ClickAtCentre(hwnd, rc);
    MoveMouseTo(hwnd, {2, 2});
    EXPECT_EQ(window->Manager().GetFocus(), cell);
    EXPECT_EQ(Capture(rc), plain);
    window->Manager().SetFocus(cell);
    EXPECT_EQ(Capture(rc), ringed);
    ::SetFocus(nullptr);
    EXPECT_EQ(Capture(rc), plain);
}

TEST_F(AccessibilityTest, FocusScrollsItsCellIntoViewAndGoesOnInARebuiltList) {
    TakeFocus();
    std::vector<SkinSoftListControl*> cells;
    for (int row = 0; row < 3; ++row) cells.push_back(AddRow({NotDownloaded})[0]);
    window->Manager().SetFocus(cells[0]);
    Key(VK_TAB);
    Key(VK_TAB);
    EXPECT_EQ(window->Manager().GetFocus(), cells[2]);
    RECT shown{};
    ::IntersectRect(&shown, &cells[2]->GetPos(), &list->GetPos());
    EXPECT_TRUE(list->GetScrollPos() > 0 && ::EqualRect(&shown, &cells[2]->GetPos())) << "wholly in view";

    list->RemoveAll();
    SkinSoftListControl* rebuilt = AddRow({Installed})[0];
    Key(VK_TAB);
    EXPECT_EQ(window->Manager().GetFocus(), rebuilt) << "Tab goes on in the list, not from the window's start";
}

}  // namespace
