#include "skin/skin.h"
#include "tests/support/skin_window.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

class GaugeUI : public CControlUI {
public:
    const char* GetClass() const override { return "Gauge"; }
};

// Makes "Gauge" and leaves every other element it is asked for out.
class RecordingCallback : public IDialogBuilderCallback {
public:
    CControlUI* CreateControl(const char* className) override {
        asked.push_back(className);
        return std::strcmp(className, "Gauge") == 0 ? new GaugeUI : nullptr;
    }
    std::vector<std::string> asked;
};

class DialogBuilderTest : public ::testing::Test {
protected:
    void SetUp() override { UseTestArchive(); }
    void TearDown() override { UseTestArchive(); }
};

TEST_F(DialogBuilderTest, BuildsTheTreeOfAnArchivedLayout) {
    ASSERT_EQ(::GetACP(), 936u) << "the Chinese texts below are only meaningful in code page 936";
    CPaintManagerUI manager;
    RecordingCallback callback;
    CDialogBuilder builder;
    CControlUI* root = builder.Create("builder.xml", nullptr, &callback, &manager);
    ASSERT_NE(root, nullptr) << builder.GetLastError().GetData();
    EXPECT_TRUE(builder.GetLastError().IsEmpty());
    manager.AttachDialog(root);

    // Unknown elements reach the callback with their exact names, in document order;
    // known names match only in their exact case.
    EXPECT_EQ(callback.asked, (std::vector<std::string>{"Gauge", "button", "Unknown"}));
    EXPECT_EQ(manager.FindControl("lower"), nullptr);
    EXPECT_EQ(manager.FindControl("dropped"), nullptr);
    EXPECT_EQ(manager.FindControl("insideunknown"), nullptr) << "a refused element drops its content";
    ASSERT_NE(manager.FindControl("gauge"), nullptr);
    EXPECT_STREQ(manager.FindControl("gauge")->GetClass(), "Gauge");

    EXPECT_STREQ(root->GetClass(), "VerticalLayout");
    EXPECT_EQ(root->GetName(), "root");
    const char* expected[] = {"title", "gauge", "ok", "tall", "opt", "bar", "tabs", "holder", "browser"};
    auto* items = static_cast<IContainerUI*>(root->GetInterface("Container"));
    ASSERT_NE(items, nullptr);
    ASSERT_EQ(items->GetCount(), 9);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(items->GetItemAt(i)->GetName(), expected[i]);
        EXPECT_EQ(items->GetItemAt(i)->GetParent(), root);
        EXPECT_EQ(items->GetItemAt(i)->GetManager(), &manager);
    }

    CControlUI* title = manager.FindControl("title");
    EXPECT_STREQ(title->GetClass(), "Label");
    EXPECT_STREQ(title->GetText(), "开票助手");
    EXPECT_STREQ(title->GetText(), "\xBF\xAA\xC6\xB1\xD6\xFA\xCA\xD6") << "UTF-8 in the file, code page 936 here";
    EXPECT_EQ(title->GetFont(), 1);
    EXPECT_EQ(title->GetFixedHeight(), 32);
    EXPECT_EQ(title->GetTextStyle() & (DT_LEFT | DT_CENTER | DT_RIGHT), static_cast<UINT>(DT_CENTER));
    EXPECT_EQ(title->GetTextColor(), 0xFF2B6CB0u);
    EXPECT_EQ(root->GetBkColor(), 0xFFF5F7FAu);

    CControlUI* ok = manager.FindControl("ok");
    EXPECT_STREQ(ok->GetClass(), "Button");
    EXPECT_STREQ(ok->GetText(), "\xC8\xB7\xB6\xA8");
    EXPECT_STREQ(ok->GetUserData(), "payload");
    EXPECT_STREQ(ok->GetToolTip(), "\xCC\xE1\xCA\xBE");
    EXPECT_EQ(ok->GetFixedWidth(), 80);
    EXPECT_EQ(ok->GetFixedHeight(), 28) << "from <Default class=\"Button\">";
    EXPECT_EQ(ok->GetTextColor(), 0xFF123456u);
    EXPECT_EQ(manager.FindControl("tall")->GetFixedHeight(), 40) << "an element's own value wins over the default";

    auto* option = static_cast<COptionUI*>(manager.FindControl("opt")->GetInterface("Option"));
    ASSERT_NE(option, nullptr);
    EXPECT_TRUE(option->IsSelected());
    EXPECT_STREQ(option->GetGroup(), "g");
    EXPECT_STREQ(option->GetText(), "\xD1\xA1\xCF\xEE");

    auto* bar = static_cast<CProgressUI*>(manager.FindControl("bar")->GetInterface("Progress"));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->GetMinValue(), 10);
    EXPECT_EQ(bar->GetMaxValue(), 50);
    EXPECT_EQ(bar->GetValue(), 50) << "70 is clamped to the range";

    auto* tabs = static_cast<CTabLayoutUI*>(manager.FindControl("tabs")->GetInterface("TabLayout"));
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(tabs->GetCurSel(), 1) << "selectedid read before the pages existed";
    EXPECT_FALSE(manager.FindControl("page0")->IsVisible());
    EXPECT_TRUE(manager.FindControl("page1")->IsVisible());
    EXPECT_FALSE(manager.FindControl("page2")->IsVisible());

    CControlUI* inner = manager.FindControl("inner");
    EXPECT_STREQ(inner->GetClass(), "Text");
    EXPECT_STREQ(inner->GetText(), "\xCE\xC4\xB1\xBE");
    EXPECT_EQ(inner->GetParent(), manager.FindControl("holder"));
    EXPECT_STREQ(manager.FindControl("holder")->GetClass(), "Container");
    EXPECT_STREQ(manager.FindControl("browser")->GetClass(), "WebBrowser");

    // The <Window> element's values reach the manager.
    EXPECT_EQ(manager.GetInitSize().cx, 420);
    EXPECT_EQ(manager.GetInitSize().cy, 320);
    const RECT caption = manager.GetCaptionRect();
    EXPECT_EQ(caption.left, 2);
    EXPECT_EQ(caption.top, 0);
    EXPECT_EQ(caption.right, 3);
    EXPECT_EQ(caption.bottom, 32);
    EXPECT_EQ(manager.GetRoundCorner().cx, 6);
    EXPECT_EQ(manager.GetRoundCorner().cy, 5);
    EXPECT_EQ(manager.GetMinInfo().cx, 300);
    EXPECT_EQ(manager.GetMinInfo().cy, 200);
    EXPECT_EQ(manager.GetDefaultTextColor(), 0xFF333333u);
    EXPECT_EQ(manager.GetDefaultDisabledColor(), 0xFF999999u);
    ASSERT_NE(manager.GetFont(1), nullptr);
    EXPECT_NE(manager.GetFont(1), manager.GetFont(0));
    LOGFONTA bold{};
    ASSERT_NE(::GetObjectA(manager.GetFont(1), sizeof(bold), &bold), 0);
    EXPECT_EQ(bold.lfHeight, -18) << "font sizes are pixels";
    EXPECT_EQ(bold.lfWeight, FW_BOLD);
    EXPECT_EQ(bold.lfCharSet, GB2312_CHARSET);
    EXPECT_STREQ(bold.lfFaceName, "微软雅黑");
    EXPECT_EQ(manager.GetFont(-1), manager.GetFont(7)) << "unknown ids fall back to the default font";
}

TEST_F(DialogBuilderTest, BuildsFromTextWithoutAManager) {
    CDialogBuilder builder;
    CControlUI* root = builder.Create(
        "<HorizontalLayout name='row' height='100' childpadding='4'>"
        "<Button name='b' text='x'/><Control/></HorizontalLayout>");
    ASSERT_NE(root, nullptr);
    EXPECT_STREQ(root->GetClass(), "HorizontalLayout");
    EXPECT_EQ(root->GetManager(), nullptr);
    EXPECT_EQ(root->GetFixedHeight(), 100);
    auto* row = static_cast<CContainerUI*>(root->GetInterface("HorizontalLayout"));
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->GetChildPadding(), 4);
    EXPECT_EQ(row->GetCount(), 2);
    EXPECT_EQ(row->GetItemAt(0)->GetParent(), root);
    delete root;  // not attached: the caller owns it
}

TEST_F(DialogBuilderTest, AddsTheRootToAGivenParent) {
    CPaintManagerUI manager;
    CDialogBuilder builder;
    CControlUI* top = builder.Create("<VerticalLayout name='top'/>", nullptr, nullptr, &manager);
    ASSERT_NE(top, nullptr);
    manager.AttachDialog(top);
    CControlUI* added = builder.Create("<Label name='added' text='t'/>", nullptr, nullptr, &manager, top);
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->GetParent(), top);
    EXPECT_EQ(added->GetManager(), &manager);
    EXPECT_EQ(manager.FindControl("added"), added);

    CControlUI* label = manager.FindControl("added");
    EXPECT_EQ(builder.Create("<Label name='x'/>", nullptr, nullptr, &manager, label), nullptr)
        << "a label holds no children";
    EXPECT_FALSE(builder.GetLastError().IsEmpty());
}

TEST_F(DialogBuilderTest, MissingOrBrokenLayoutsGiveNoRoot) {
    CPaintManagerUI manager;
    CDialogBuilder builder;
    EXPECT_EQ(builder.Create("absent.xml", nullptr, nullptr, &manager), nullptr);
    EXPECT_NE(builder.GetLastError().Find("absent.xml"), -1) << builder.GetLastError().GetData();

    EXPECT_EQ(builder.Create("<Window><VerticalLayout></Window>"), nullptr);
    EXPECT_NE(builder.GetLastError().Find("XML"), -1) << builder.GetLastError().GetData();

    EXPECT_EQ(builder.Create("<Window size='10,10'><Font name='x'/></Window>"), nullptr);
    EXPECT_FALSE(builder.GetLastError().IsEmpty());

    EXPECT_EQ(builder.Create(nullptr), nullptr);
    EXPECT_EQ(builder.Create(""), nullptr);

    // Nothing was attached: the manager's tree is still empty.
    EXPECT_EQ(manager.GetRoot(), nullptr);
}

TEST_F(DialogBuilderTest, ReadsLayoutsDeclaredInTheChineseCodePage) {
    TempDir dir;
    // "中文" in code page 936 bytes, as a file declared gbk holds it.
    ASSERT_TRUE(WriteFileBytes(dir.Child("gbk.xml"), "<?xml version=\"1.0\" encoding=\"gbk\"?>\n"
                                                     "<Label name=\"l\" text=\"\xD6\xD0\xCE\xC4\"/>"));
    ASSERT_TRUE(WriteFileBytes(dir.Child("utf8.xml"), "<Label name=\"l\" text=\"\xE4\xB8\xAD\xE6\x96\x87\"/>"));
    // Saved in the code page without declaring it: not valid UTF-8, so taken as it is.
    ASSERT_TRUE(WriteFileBytes(dir.Child("undeclared.xml"), "<Label name=\"l\" text=\"\xD6\xD0\xCE\xC4\"/>"));
    CPaintManagerUI::SetResourcePath(dir.Path().c_str());
    CPaintManagerUI::SetResourceZip("");

    CDialogBuilder builder;
    for (const char* file : {"gbk.xml", "utf8.xml", "undeclared.xml"}) {
        CControlUI* label = builder.Create(file);
        ASSERT_NE(label, nullptr) << file << ": " << builder.GetLastError().GetData();
        EXPECT_STREQ(label->GetText(), "\xD6\xD0\xCE\xC4") << file;
        delete label;
    }
}

}  // namespace
