// Screenshots of the main window on each page, filled the way the catalogues fill it, for
// people to look at (the announcement window is taken by its own test). The checks here
// are that the pages show what they should where they should.
#include "tests/support/gui_driver.h"
#include "tests/support/sample_software.h"
#include "tests/toolbox/toolbox_fixture.h"
#include "toolbox/catalogue/cell_grid.h"
#include "toolbox/catalogue/document_catalogue.h"
#include "toolbox/catalogue/software_catalogue.h"

#include <gtest/gtest.h>

#include <iterator>
#include <memory>

namespace {

// What the software page shows, and the demo's icon file of each entry.
struct ShownSoftware {
    SampleSoftware soft;
    const char* icon;
};

const ShownSoftware kSoftware[] = {
    {{"开票助手", "发票开票助手", "增值税发票开具、打印与作废一站完成", "960KB", "2024-06-18", 4.8f, NotDownloaded}, "kaipiao.png"},
    {{"税控驱动", "金税盘驱动程序", "税控设备的驱动与管理组件，开票前需先安装", "18.6MB", "2024-03-02", 4.5f, Installed}, "shuikong.png"},
    {{"查验平台", "发票查验工具", "批量查验发票真伪，结果可导出为表格", "3.2MB", "2024-05-11", 4.2f, Downloaded}, "chayan.png"},
    {{"电子税务局", "电子税务局客户端", "网上申报、缴税与涉税查询", "42.0MB", "2024-04-26", 4.6f, UpdateAvailable}, "dianziju.png"},
    {{"个税扣缴", "自然人电子税务局", "个人所得税扣缴申报客户端", "85.4MB", "2024-01-15", 4.4f, Downloading}, "geshui.png"},
    {{"远程协助", "远程协助工具", "客服远程协助您完成安装与设置", "5.1MB", "2023-11-30", 4.0f, NotDownloaded}, "yuancheng.png"},
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

    // Through the catalogues' own fill, as a load would fill the lists.
    void FillSoftware() {
        SoftwareCatalogue catalogue;
        for (const ShownSoftware& shown : kSoftware) {
            catalogue.entries.emplace_back(NewSampleSoft(shown.soft));
            catalogue.entries.back()->iconPath =
                std::string(KESTROVA_SOURCE_DIR) + "/tools/demo_content/icons/" + shown.icon;
        }
        const UINT_PTR firstCell = ReserveCellIds(catalogue.entries.size());
        int counter = 0;
        FillSoftwareList(window->SoftList(), catalogue, firstCell, counter);
        // The fifth entry downloads.
        auto* downloading = static_cast<SkinSoftListControl*>(FindCellById(window->SoftList(), firstCell + 4));
        ASSERT_NE(downloading, nullptr);
        downloading->SetDownLoadSize(45);
    }

    void FillDocuments() {
        DocumentFolder folder;
        for (size_t i = 0; i < std::size(kDocuments); ++i) {
            auto item = std::make_unique<DuiFile>();
            item->type = kDocuments[i].type;
            item->name = kDocuments[i].name;
            item->id = std::to_string(i + 1);
            folder.items.push_back(std::move(item));
        }
        FillDocumentList(window->FileList(), folder);
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
