// Screenshots of the main window on each page, filled the way the catalogues fill it, for
// people to look at (the announcement window is taken by its own test). The checks here
// are that the pages show what they should where they should.
#include "tests/support/gui_driver.h"
#include "tests/toolbox/toolbox_fixture.h"

#include <gtest/gtest.h>

namespace {

struct SampleSoftware {
    const char* name;
    const char* viewName;
    const char* content;
    const char* icon;
    const char* size;
    const char* date;
    float score;
    int32_t state;
};

const SampleSoftware kSoftware[] = {
    {"开票助手", "发票开票助手", "增值税发票开具、打印与作废一站完成", "kaipiao.png", "960KB", "2024-06-18", 4.8f, NotDownloaded},
    {"税控驱动", "金税盘驱动程序", "税控设备的驱动与管理组件，开票前需先安装", "shuikong.png", "18.6MB", "2024-03-02", 4.5f, Installed},
    {"查验平台", "发票查验工具", "批量查验发票真伪，结果可导出为表格", "chayan.png", "3.2MB", "2024-05-11", 4.2f, Downloaded},
    {"电子税务局", "电子税务局客户端", "网上申报、缴税与涉税查询", "dianziju.png", "42.0MB", "2024-04-26", 4.6f, UpdateAvailable},
    {"个税扣缴", "自然人电子税务局", "个人所得税扣缴申报客户端", "geshui.png", "85.4MB", "2024-01-15", 4.4f, Downloading},
    {"远程协助", "远程协助工具", "客服远程协助您完成安装与设置", "yuancheng.png", "5.1MB", "2023-11-30", 4.0f, NotDownloaded},
};

struct SampleDocument {
    int32_t type;
    const char* name;
};

const SampleDocument kDocuments[] = {
    {0, "政策法规"}, {0, "操作指南"}, {10, "常见问题"}, {1, "增值税申报指南.pdf"},
    {1, "开票软件操作手册.docx"}, {1, "发票领用申请表.xlsx"}, {1, "税控设备驱动说明.pdf"},
};

class ScreenshotTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseBuiltSkin();
        Toolbox().SetServerBaseUrl("http://127.0.0.1:9/t/screens");
        Toolbox().TaxCode = "91110108MA01TEST8X";
        Toolbox().InstallDir = m_install.Path();
        window = new TestVeltrin;
        ASSERT_TRUE(window->Open());
        handle = window->GetHWND();
        ::SetWindowPos(handle, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE);
        ::SetForegroundWindow(handle);
        PumpMessagesFor(200);
    }
    void TearDown() override { CloseTestWindow(handle); }

    void ClickOption(const char* name) { ClickAtCentre(handle, window->Option(name)->GetPos()); }

    void FillSoftware() {
        int counter = 0;
        const size_t count = sizeof(kSoftware) / sizeof(kSoftware[0]);
        for (size_t start = 0; start <= count; start += 3) {
            auto* row = new CHorizontalLayoutUI;
            row->SetAttribute("height", "100");
            row->SetAttribute("childpadding", "4");
            for (size_t i = start; i < start + 3; ++i) {
                if (i >= count) {
                    row->Add(new CControlUI);
                    continue;
                }
                const SampleSoftware& sample = kSoftware[i];
                auto* entry = new DuiSoft;
                entry->name = sample.name;
                entry->viewName = sample.viewName;
                entry->content = sample.content;
                entry->iconPath = std::string(KESTROVA_SOURCE_DIR) + "/tools/demo_content/icons/" + sample.icon;
                entry->size = sample.size;
                entry->date = sample.date;
                entry->score = sample.score;
                entry->state = sample.state;
                auto* cell = new SkinSoftListControl(entry);
                cell->SetName(("rowIndex" + std::to_string(++counter)).c_str());
                row->Add(cell);
                if (sample.state == Downloading) cell->SetDownLoadSize(45);
            }
            window->SoftList()->Add(row);
        }
    }

    void FillDocuments() {
        const size_t count = sizeof(kDocuments) / sizeof(kDocuments[0]);
        int counter = 1;
        for (size_t start = 0; start <= count; start += 6) {
            auto* row = new CHorizontalLayoutUI;
            row->SetAttribute("height", "140");
            for (size_t i = start; i < start + 6; ++i) {
                if (i >= count) {
                    row->Add(new CControlUI);
                    continue;
                }
                auto* item = new DuiFile;
                item->type = kDocuments[i].type;
                item->name = kDocuments[i].name;
                item->id = std::to_string(i + 1);
                auto* cell = new FileListControl(item);
                cell->SetName(("fileIndex" + std::to_string(++counter)).c_str());
                row->Add(cell);
            }
            window->FileList()->Add(row);
        }
    }

    // A pixel of the page well inside a control: what is drawn there is not the page's grey.
    COLORREF PixelIn(const char* name, int dx, int dy) {
        const RECT rc = window->RectOf(name);
        return ScreenPixel(handle, {rc.left + dx, rc.top + dy});
    }

    TempDir m_install;
    ToolboxValuesScope m_values;
    NavigationLog m_navigations;
    TestVeltrin* window = nullptr;
    HWND handle = nullptr;
};

TEST_F(ScreenshotTest, HomePage) {
    EXPECT_EQ(window->CurrentPage(), kBrowserPage);
    EXPECT_FALSE(SaveScreenshot(handle, "veltrin_home").empty());
    // The band is the product's blue; the page below it is light.
    const COLORREF band = ScreenPixel(handle, {700, 60});
    EXPECT_GT(GetBValue(band), 150);
    EXPECT_LT(GetRValue(band), 120);
    const COLORREF page = ScreenPixel(handle, {100, 300});
    EXPECT_GT(GetRValue(page), 220);
}

TEST_F(ScreenshotTest, SoftwarePage) {
    ClickOption("rj");
    FillSoftware();
    PumpMessagesFor(300);
    EXPECT_EQ(window->CurrentPage(), kSoftwarePage);
    EXPECT_FALSE(SaveScreenshot(handle, "veltrin_software").empty());
    // The selected tab is drawn in the page colour over the band.
    const RECT tab = window->Option("rj")->GetPos();
    const COLORREF selected = ScreenPixel(handle, {(tab.left + tab.right) / 2, tab.bottom - 3});
    EXPECT_GT(GetRValue(selected), 220);
    // The refresh button is blue.
    const COLORREF button = PixelIn("seachsoft", 70, 6);
    EXPECT_GT(GetBValue(button), 200);
    EXPECT_LT(GetRValue(button), 100);
}

TEST_F(ScreenshotTest, DocumentPage) {
    FillDocuments();  // filled first: "wd" then leaves it as it is
    ClickOption("wd");
    PumpMessagesFor(300);
    EXPECT_EQ(window->CurrentPage(), kDocumentPage);
    EXPECT_EQ(window->CountOf("LoadDocumentCatalogue"), 0);
    EXPECT_FALSE(SaveScreenshot(handle, "veltrin_documents").empty());
}

TEST_F(ScreenshotTest, LinksPage) {
    ClickOption("wz");
    PumpMessagesFor(200);
    EXPECT_EQ(window->CurrentPage(), kBrowserPage);
    EXPECT_TRUE(window->Option("wz")->IsSelected());
    EXPECT_FALSE(SaveScreenshot(handle, "veltrin_links").empty());
}

}  // namespace
