#include "skin/skin.h"
#include "tests/support/skin_window.h"
#include "tests/support/gui_driver.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Counts its initialisations, as a row control added by a program would see them.
class ProbeUI : public CControlUI {
public:
    explicit ProbeUI(int* inits) : m_pInits(inits) {}
    void DoInit() override {
        ++*m_pInits;
        managerAtInit = GetManager();
    }
    CPaintManagerUI* managerAtInit = nullptr;

private:
    int* m_pInits;
};

void ExpectRect(const RECT& actual, LONG left, LONG top, LONG right, LONG bottom, const char* what) {
    EXPECT_EQ(actual.left, left) << what;
    EXPECT_EQ(actual.top, top) << what;
    EXPECT_EQ(actual.right, right) << what;
    EXPECT_EQ(actual.bottom, bottom) << what;
}

class LayoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseTestArchive();
        window = SkinTestWindow::Open("layout.xml");
        ASSERT_NE(window, nullptr);
        RECT client{};
        ::GetClientRect(window->GetHWND(), &client);
        ASSERT_EQ(client.right, 400) << "the layout's size is the window's";
        ASSERT_EQ(client.bottom, 300);
    }
    void Relayout() { ::UpdateWindow(window->GetHWND()); }

    std::unique_ptr<SkinTestWindow> window;
};

TEST_F(LayoutTest, PlacesFixedSharedPaddedAndFloatingChildren) {
    // Root: inset 10 leaves 380 x 280; five children in the flow with four gaps of 5.
    ExpectRect(window->RectOf("root"), 0, 0, 400, 300, "root");
    ExpectRect(window->RectOf("top"), 10, 10, 390, 50, "top");
    // Row: inset 2 leaves 376; a 50 and d 30 (+3+5 padding) fixed, gaps 3 x 4: b and c share 276.
    ExpectRect(window->RectOf("a"), 12, 12, 62, 48, "a");
    ExpectRect(window->RectOf("b"), 66, 12, 204, 48, "b");
    ExpectRect(window->RectOf("c"), 208, 12, 346, 48, "c");
    ExpectRect(window->RectOf("d"), 353, 16, 383, 42, "d");
    // 280 - 40 - 60 - 40 - 20 = 120 shared by flex1 and flex2; the hidden child takes nothing.
    ExpectRect(window->RectOf("flex1"), 10, 55, 390, 115, "flex1");
    ExpectRect(window->RectOf("fixed"), 17, 120, 117, 180, "fixed");
    ExpectRect(window->RectOf("flex2"), 10, 185, 390, 245, "flex2");
    ExpectRect(window->RectOf("stack"), 10, 250, 390, 290, "stack");
    // A plain container stacks its children over its inner area; floats sit at their pos.
    ExpectRect(window->RectOf("layer"), 16, 257, 382, 281, "layer");
    ExpectRect(window->RectOf("floater"), 25, 260, 45, 280, "floater");
}

TEST_F(LayoutTest, ChangesRedoTheLayout) {
    window->Find("hidden")->SetVisible(true);
    Relayout();
    // 50 more fixed and one more gap: 65 left for the two shared children.
    ExpectRect(window->RectOf("flex1"), 10, 55, 390, 87, "flex1");
    ExpectRect(window->RectOf("hidden"), 10, 157, 390, 207, "hidden");
    ExpectRect(window->RectOf("flex2"), 10, 212, 390, 245, "flex2");

    // The attribute the programs give their rows takes effect.
    window->Find("flex1")->SetAttribute("height", "80");
    Relayout();
    EXPECT_EQ(window->Find("flex1")->GetHeight(), 80);
    EXPECT_EQ(window->Find("flex2")->GetHeight(), 0) << "nothing is left to share";

    ::SetWindowPos(window->GetHWND(), nullptr, 0, 0, 500, 400, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Relayout();
    ExpectRect(window->RectOf("root"), 0, 0, 500, 400, "root after resize");
    EXPECT_EQ(window->Find("flex2")->GetHeight(), 85) << "the new room goes to the shared child";
}

TEST_F(LayoutTest, ControlsAddedToALiveWindowAreInitialisedAndPlaced) {
    auto* root = static_cast<CContainerUI*>(window->Find("root")->GetInterface("VerticalLayout"));
    ASSERT_NE(root, nullptr);

    int inits = 0;
    // A row built the way the catalogues build theirs: a layout filled before it is added.
    auto* row = new CHorizontalLayoutUI;
    row->SetAttribute("height", "30");
    row->SetAttribute("childpadding", "4");
    auto* first = new ProbeUI(&inits);
    auto* second = new ProbeUI(&inits);
    second->SetAttribute("width", "40");
    row->Add(first);
    row->Add(second);
    EXPECT_EQ(inits, 0) << "no window yet";
    ASSERT_TRUE(root->Add(row));
    EXPECT_EQ(inits, 2);
    EXPECT_EQ(first->managerAtInit, &window->Manager());
    EXPECT_EQ(second->GetParent(), row);

    Relayout();
    // flex1 and flex2 now share 120 - 30 - 5 = 85; the row ends at the inner bottom.
    ExpectRect(row->GetPos(), 10, 260, 390, 290, "row");
    ExpectRect(first->GetPos(), 10, 260, 346, 290, "first");
    ExpectRect(second->GetPos(), 350, 260, 390, 290, "second");
    EXPECT_EQ(window->Find("flex1")->GetHeight(), 42);
    EXPECT_EQ(window->Manager().FindControl(CentreOf(second->GetPos())), second);

    // Moving a control around does not initialise it again.
    // Removing deletes the row with its children; the others take the room back.
    EXPECT_TRUE(root->Remove(row));
    Relayout();
    EXPECT_EQ(window->Find("flex1")->GetHeight(), 60);
    EXPECT_EQ(window->Manager().FindControl(POINT{200, 275}), window->Find("layer"));
}

TEST(ScrollingLayoutTest, WheelScrollsContentTallerThanTheList) {
    UseTestArchive();
    auto window = SkinTestWindow::Open("click.xml");
    ASSERT_NE(window, nullptr);
    auto* list = static_cast<CContainerUI*>(window->Find("list")->GetInterface("VerticalLayout"));
    ASSERT_NE(list, nullptr);
    for (int i = 0; i < 5; ++i) {
        auto* item = new CButtonUI;
        item->SetName(("item" + std::to_string(i)).c_str());
        item->SetAttribute("height", "30");
        list->Add(item);
    }
    ::UpdateWindow(window->GetHWND());
    const RECT area = list->GetPos();
    ASSERT_EQ(area.bottom - area.top, 60);
    EXPECT_EQ(list->GetScrollRange(), 90);
    EXPECT_EQ(window->RectOf("item0").top, area.top);
    // Rows below the list's area cannot be hit where they are drawn clipped.
    EXPECT_NE(window->Manager().FindControl(POINT{area.left + 5, area.bottom + 5}), window->Find("item2"));

    POINT screen = CentreOf(area);
    ::ClientToScreen(window->GetHWND(), &screen);
    ::SendMessageA(window->GetHWND(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)),
                   MAKELPARAM(screen.x, screen.y));
    ::UpdateWindow(window->GetHWND());
    EXPECT_EQ(list->GetScrollPos(), 40);
    EXPECT_EQ(window->RectOf("item0").top, area.top - 40);
    EXPECT_EQ(window->Manager().FindControl(POINT{area.left + 5, area.top + 5}), window->Find("item1"));

    list->SetScrollPos(1000);
    EXPECT_EQ(list->GetScrollPos(), 90) << "clamped to the range";
    list->RemoveAll();
    ::UpdateWindow(window->GetHWND());
    EXPECT_EQ(list->GetScrollRange(), 0);
    EXPECT_EQ(list->GetScrollPos(), 0);
}

}  // namespace
