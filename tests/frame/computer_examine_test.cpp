#include "tests/frame/frame_fixture.h"
#include "tests/support/gui_driver.h"
#include "toolbox/computer_examine.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

const char kPaneContent[] = R"(<?xml version="1.0" encoding="utf-8"?>
<VerticalLayout name="examine_root">
  <Label name="examine_title" text="电脑体检"/>
  <ComputerExamine name="nested"/>
</VerticalLayout>
)";

std::string LayoutWith(const char* element) {
    return std::string(R"(<?xml version="1.0" encoding="utf-8"?>
<Window size="300,200">
  <VerticalLayout name="root">
    <Label name="before" text="上"/>
    <)") + element + R"( name="pane"/>
    <Label name="after" text="下"/>
  </VerticalLayout>
</Window>
)";
}

class ComputerExamineTest : public ::testing::Test {
protected:
    std::unique_ptr<CControlUI> Build(const std::string& layout) {
        skin.Write("main.xml", layout);
        CDialogBuilder builder;
        CDialogBuilderCallbackEx callback;
        return std::unique_ptr<CControlUI>(builder.Create("main.xml", nullptr, &callback, nullptr, nullptr));
    }

    static CControlUI* FindByName(CControlUI* root, const char* name) {
        struct Search {
            const char* name;
        } search{name};
        return root->FindControl(
            [](CControlUI* control, void* data) -> CControlUI* {
                return control->GetName() == static_cast<Search*>(data)->name ? control : nullptr;
            },
            &search, UIFIND_ALL);
    }

    SkinFolder skin;
};

TEST_F(ComputerExamineTest, ExactElementNameBecomesThePaneWithItsOwnLayout) {
    skin.Write("ComputerExamine.xml", kPaneContent);
    auto root = Build(LayoutWith("ComputerExamine"));
    ASSERT_TRUE(root);
    CControlUI* pane = FindByName(root.get(), "pane");
    ASSERT_NE(pane, nullptr);
    EXPECT_STREQ(pane->GetClass(), "ComputerExamine");

    auto* container = static_cast<IContainerUI*>(pane->GetInterface("Container"));
    ASSERT_NE(container, nullptr);
    ASSERT_EQ(container->GetCount(), 1);
    CControlUI* content = container->GetItemAt(0);
    EXPECT_EQ(content->GetName(), "examine_root");
    ASSERT_NE(FindByName(content, "examine_title"), nullptr);
    EXPECT_EQ(FindByName(content, "examine_title")->GetText(), "\xB5\xE7\xC4\xD4\xCC\xE5\xBC\xEC");  // 电脑体检
    // The pane's own layout is built without the callback, so it cannot nest a pane.
    EXPECT_EQ(FindByName(content, "nested"), nullptr);
    EXPECT_NE(FindByName(root.get(), "after"), nullptr);
}

TEST_F(ComputerExamineTest, OtherLetterCaseIsNotThePane) {
    skin.Write("ComputerExamine.xml", kPaneContent);
    for (const char* element : {"computerexamine", "COMPUTEREXAMINE", "Computerexamine"}) {
        auto root = Build(LayoutWith(element));
        ASSERT_TRUE(root) << element;
        CControlUI* pane = FindByName(root.get(), "pane");
        EXPECT_TRUE(pane == nullptr || std::string(pane->GetClass()) != "ComputerExamine") << element;
        EXPECT_EQ(FindByName(root.get(), "examine_root"), nullptr) << element;
        EXPECT_NE(FindByName(root.get(), "before"), nullptr) << element;
        EXPECT_NE(FindByName(root.get(), "after"), nullptr) << element;
    }
}

TEST_F(ComputerExamineTest, MissingPaneLayoutLeavesThePaneEmpty) {
    auto root = Build(LayoutWith("ComputerExamine"));
    ASSERT_TRUE(root);
    CControlUI* pane = FindByName(root.get(), "pane");
    ASSERT_NE(pane, nullptr);
    EXPECT_STREQ(pane->GetClass(), "ComputerExamine");
    EXPECT_EQ(static_cast<IContainerUI*>(pane->GetInterface("Container"))->GetCount(), 0);
}

TEST_F(ComputerExamineTest, CallbackMakesNothingButThePane) {
    CDialogBuilderCallbackEx callback;
    EXPECT_EQ(callback.CreateControl("Button"), nullptr);
    EXPECT_EQ(callback.CreateControl(""), nullptr);
    EXPECT_EQ(callback.CreateControl(nullptr), nullptr);
    std::unique_ptr<CControlUI> pane(callback.CreateControl("ComputerExamine"));
    ASSERT_TRUE(pane);
    EXPECT_STREQ(pane->GetClass(), "ComputerExamine");
}

TEST_F(ComputerExamineTest, PaneInsideARealWindowLeavesTheRestWorking) {
    skin.Write("ComputerExamine.xml", kPaneContent);
    skin.Write("main.xml", LayoutWith("ComputerExamine"));
    CDialogBuilderCallbackEx callback;
    TestFrame* frame = TestFrame::Open("main.xml", nullptr, &callback);
    ASSERT_NE(frame, nullptr);
    EXPECT_NE(frame->PaintManager().FindControl("examine_title"), nullptr);
    EXPECT_NE(frame->PaintManager().FindControl("after"), nullptr);
    ::DestroyWindow(frame->GetHWND());
    EXPECT_TRUE(WaitForQuitMessage(1000));
}

}  // namespace
