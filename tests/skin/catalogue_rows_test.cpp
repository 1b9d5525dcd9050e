// The catalogue cells in a real window: clicks through the window procedure, what they draw
// for each state, and who frees their records.
#include "shared/text.h"
#include "skin/skin.h"
#include "tests/support/gui_driver.h"
#include "tests/support/pixels.h"
#include "tests/support/sample_software.h"
#include "tests/support/skin_window.h"
#include "tests/support/temp_dir.h"

#include <objidl.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// Where the cells put things, as the design fixes it: the action pill is 76 x 26 px,
// 12 px in from the software cell's right and bottom edges; the icon is 48 px square,
// 12 px in from the top left; a document's symbol is 64 x 60 px, centred, 12 px from the top.
RECT ActionArea(const RECT& cell) { return {cell.right - 88, cell.bottom - 38, cell.right - 12, cell.bottom - 12}; }
RECT IconArea(const RECT& cell) { return {cell.left + 12, cell.top + 12, cell.left + 60, cell.top + 60}; }
RECT SymbolArea(const RECT& cell) {
    const int centre = (cell.left + cell.right) / 2;
    return {centre - 32, cell.top + 12, centre + 32, cell.top + 72};
}

// Only what the cells invalidated is painted first, so a change that forgets to repaint shows.
Pixels Capture(HWND window, const RECT& area) {
    ::UpdateWindow(window);
    return CapturePixels(window, area, PixelSource::Window);
}

int Red(DWORD rgb) { return (rgb >> 16) & 0xFF; }
int Green(DWORD rgb) { return (rgb >> 8) & 0xFF; }
int Blue(DWORD rgb) { return rgb & 0xFF; }
bool IsBlue(DWORD rgb) { return Blue(rgb) > 200 && Red(rgb) < 110 && Green(rgb) < 170; }
bool IsGreen(DWORD rgb) { return Green(rgb) > 140 && Red(rgb) < 90 && Blue(rgb) < 150; }
bool IsOrange(DWORD rgb) { return Red(rgb) > 230 && Green(rgb) > 90 && Green(rgb) < 190 && Blue(rgb) < 90; }
bool IsRed(DWORD rgb) { return Red(rgb) > 200 && Green(rgb) < 140 && Blue(rgb) < 140; }
bool IsYellow(DWORD rgb) { return Red(rgb) > 230 && Green(rgb) > 170 && Blue(rgb) < 130; }
bool IsNearWhite(DWORD rgb) { return Red(rgb) > 240 && Green(rgb) > 240 && Blue(rgb) > 240; }
bool IsDark(DWORD rgb) { return Red(rgb) < 140 && Green(rgb) < 140 && Blue(rgb) < 160; }

// A 48 px PNG icon: a tile of one colour with a white ring in the middle; the tile's left
// strip (x < 12) is the plain colour.
bool WriteIconPng(const std::string& path, DWORD argb) {
    GdiplusSession gdiplus;
    Gdiplus::Status saved = Gdiplus::GenericError;
    {
        Gdiplus::Bitmap bitmap(48, 48, PixelFormat32bppARGB);
        {
            Gdiplus::Graphics g(&bitmap);
            g.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
            g.Clear(Gdiplus::Color(0, 0, 0, 0));
            Gdiplus::SolidBrush tile{Gdiplus::Color(argb)};
            g.FillRectangle(&tile, 0, 0, 48, 48);
            Gdiplus::Pen ring(Gdiplus::Color(255, 255, 255, 255), 5);
            g.DrawEllipse(&ring, 14, 14, 20, 20);
        }
        saved = bitmap.Save(AnsiToWide(path).c_str(), &PngEncoder(), nullptr);
    }
    return saved == Gdiplus::Ok;
}

// A window as the programs build theirs: a paint manager behind the window procedure and
// a vertical root holding horizontal rows of cells.
class RowsWindow : public SkinTestWindow {
public:
    static std::unique_ptr<RowsWindow> Open(int width, int height, const char* background) {
        // Keep the pointer away from where the window appears, so no hover creeps in.
        ::SetCursorPos(2, 2);
        std::unique_ptr<RowsWindow> window(new RowsWindow(background));
        if (!window->CreateAt(RECT{40, 40, 40 + width, 40 + height}, true)) return nullptr;
        PumpMessagesFor(20);
        return window;
    }

    CPaintManagerUI& PaintManager() { return Manager(); }
    CVerticalLayoutUI& Root() { return *m_pRoot; }

    // A row of the given height with the cells (null: an empty cell, a plain control).
    CHorizontalLayoutUI* AddRow(int height, const std::vector<CControlUI*>& cells) {
        auto* row = new CHorizontalLayoutUI;
        row->SetAttribute("height", std::to_string(height).c_str());
        row->SetAttribute("childpadding", "4");
        for (CControlUI* cell : cells) row->Add(cell != nullptr ? cell : new CControlUI);
        m_pRoot->Add(row);
        return row;
    }

    // Lays the rows out and paints them.
    bool Settle(CControlUI* cell) {
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        return PumpMessagesUntil([cell] { return cell->GetWidth() > 0; }, 3000);
    }

    int Clicks() const { return Count("click"); }

protected:
    CControlUI* MakeRoot() override {
        m_pRoot = new CVerticalLayoutUI;
        m_pRoot->SetAttribute("bkcolor", m_background.c_str());
        m_pRoot->SetAttribute("inset", "12,12,12,12");
        m_pRoot->SetAttribute("childpadding", "4");
        return m_pRoot;
    }

private:
    explicit RowsWindow(const char* background) : SkinTestWindow("", nullptr), m_background(background) {}

    CVerticalLayoutUI* m_pRoot = nullptr;
    std::string m_background;
};

DuiSoft* NewSoft(const char* viewName, int state, float score = 4.0f, const std::string& iconPath = "") {
    auto* soft = new DuiSoft;
    soft->viewName = viewName;
    soft->name = viewName;
    soft->content = "开票与申报常用工具，安装后即可使用";
    soft->size = "12.6MB";
    soft->date = "2023-06-12";
    soft->score = score;
    soft->state = state;
    soft->iconPath = iconPath;
    return soft;
}

DuiFile* NewFile(const char* name, int type) {
    auto* file = new DuiFile;
    file->id = "17";
    file->name = name;
    file->type = type;
    return file;
}

// A window of the given height with two software cells side by side, the first not
// downloaded and the second in secondState, and with withDocument a document cell in a row
// below. Null pointers when the window could not be made.
struct CatalogueCells {
    std::unique_ptr<RowsWindow> window;
    SkinSoftListControl* first = nullptr;
    SkinSoftListControl* second = nullptr;
    FileListControl* document = nullptr;
};

CatalogueCells OpenCells(int height, int secondState, bool withDocument) {
    CatalogueCells cells;
    cells.window = RowsWindow::Open(782, height, "#FFF3F5F8");
    if (!cells.window) return cells;
    cells.first = new SkinSoftListControl(NewSoft("财务报表转换工具", NotDownloaded));
    cells.second = new SkinSoftListControl(NewSoft("个人所得税扣缴客户端", secondState));
    cells.window->AddRow(100, {cells.first, cells.second, nullptr});
    if (withDocument) {
        cells.document = new FileListControl(NewFile("增值税发票开具指南.pdf", 1));
        cells.window->AddRow(140, {cells.document, nullptr, nullptr, nullptr, nullptr, nullptr});
    }
    return cells;
}

// Rightmost column of the download's blue fill on a line near the pill's top (clear of
// its text), as an offset from the pill's left edge; -1 when nothing is filled.
int FillExtent(HWND window, const RECT& action) {
    const RECT line = {action.left, action.top + 2, action.right, action.top + 3};
    const Pixels pixels = Capture(window, line);
    int extent = -1;
    for (int x = line.left; x < line.right; ++x) {
        if (IsBlue(pixels.At(x, line.top))) extent = x - action.left;
    }
    return extent;
}

// ---------------------------------------------------------------------------------------
// Clicks

TEST(CatalogueRowsTest, ClickOnACellSendsOneClickWithTheCellAsSender) {
    auto [window, left, middle, document] = OpenCells(284, Downloaded, true);
    ASSERT_TRUE(window);
    ASSERT_TRUE(window->Settle(document));

    // The windows find the cells again through these names.
    EXPECT_STREQ(middle->GetClass(), "SoftListItem");
    EXPECT_EQ(middle->GetInterface("SoftListItem"), middle);
    EXPECT_EQ(middle->GetInterface("FileListItem"), nullptr);
    EXPECT_STREQ(document->GetClass(), "FileListItem");
    EXPECT_EQ(document->GetInterface("FileListItem"), document);
    EXPECT_EQ(document->GetInterface("SoftListItem"), nullptr);

    window->notices.clear();
    ClickAtCentre(window->GetHWND(), middle->GetPos());
    ASSERT_EQ(window->notices.size(), 1u);
    EXPECT_EQ(window->notices[0].type, "click");
    EXPECT_EQ(window->notices[0].sender, middle);

    // Anywhere on the cell counts, the action pill included.
    window->notices.clear();
    ClickAtCentre(window->GetHWND(), ActionArea(left->GetPos()));
    ASSERT_EQ(window->notices.size(), 1u);
    EXPECT_EQ(window->notices[0].sender, left);

    window->notices.clear();
    const RECT cell = document->GetPos();
    ClickAt(window->GetHWND(), {cell.left + 3, cell.bottom - 3});
    ASSERT_EQ(window->notices.size(), 1u);
    EXPECT_EQ(window->notices[0].type, "click");
    EXPECT_EQ(window->notices[0].sender, document);

    // A quick second click arrives as a double click and still counts once.
    window->notices.clear();
    DoubleClickAt(window->GetHWND(), CentreOf(middle->GetPos()));
    EXPECT_EQ(window->Clicks(), 2);
}

TEST(CatalogueRowsTest, APressReleasedOutsideItsCellSendsNothing) {
    auto [window, first, second, document] = OpenCells(284, Installed, true);
    ASSERT_TRUE(window);
    ASSERT_TRUE(window->Settle(document));
    const HWND hwnd = window->GetHWND();
    window->notices.clear();

    // Released on the neighbouring cell, on the window's margin, on an empty cell.
    PressAt(hwnd, CentreOf(first->GetPos()));
    ReleaseAt(hwnd, CentreOf(second->GetPos()));
    PressAt(hwnd, CentreOf(second->GetPos()));
    ReleaseAt(hwnd, {4, 4});
    PressAt(hwnd, CentreOf(document->GetPos()));
    ReleaseAt(hwnd, {document->GetPos().right + 40, CentreOf(document->GetPos()).y});
    // Pressed outside and released on a cell.
    PressAt(hwnd, {4, 4});
    ReleaseAt(hwnd, CentreOf(first->GetPos()));
    PumpMessagesFor(20);
    EXPECT_EQ(window->Clicks(), 0);

    // Leaving the cell while pressed and coming back before the release is still a click.
    PressAt(hwnd, CentreOf(first->GetPos()));
    MoveMouseTo(hwnd, CentreOf(second->GetPos()));
    ReleaseAt(hwnd, CentreOf(first->GetPos()));
    PumpMessagesFor(20);
    ASSERT_EQ(window->notices.size(), 1u);
    EXPECT_EQ(window->notices[0].sender, first);

    // A disabled cell takes no clicks.
    first->SetEnabled(false);
    window->notices.clear();
    ClickAtCentre(hwnd, first->GetPos());
    EXPECT_EQ(window->Clicks(), 0);
}

// ---------------------------------------------------------------------------------------
// What the software cell shows

TEST(CatalogueRowsTest, TheActionPillReadsByState) {
    auto window = RowsWindow::Open(782, 228, "#FFF3F5F8");
    ASSERT_TRUE(window);
    std::vector<SkinSoftListControl*> cells;
    for (int state = NotDownloaded; state <= UpdateAvailable; ++state) {
        cells.push_back(new SkinSoftListControl(NewSoft("增值税发票开票软件", state)));
    }
    auto* unknown = new SkinSoftListControl(NewSoft("增值税发票开票软件", 7));
    window->AddRow(100, {cells[0], cells[1], cells[2]});
    window->AddRow(100, {cells[3], unknown, nullptr});
    ASSERT_TRUE(window->Settle(unknown));
    const HWND hwnd = window->GetHWND();

    // The pill's colour left of its text: download blue, open (the package) green, start white with
    // a blue outline, update orange.
    std::vector<Pixels> pills;
    for (SkinSoftListControl* cell : cells) pills.push_back(Capture(hwnd, ActionArea(cell->GetPos())));
    auto probe = [](const Pixels& pill) {
        return pill.At(pill.area.left + 10, (pill.area.top + pill.area.bottom) / 2);
    };
    EXPECT_TRUE(IsBlue(probe(pills[0]))) << std::hex << probe(pills[0]);
    EXPECT_TRUE(IsGreen(probe(pills[1]))) << std::hex << probe(pills[1]);
    EXPECT_TRUE(IsNearWhite(probe(pills[2]))) << std::hex << probe(pills[2]);
    EXPECT_GT(pills[2].Count(IsBlue), 60);  // outline and text
    EXPECT_TRUE(IsOrange(probe(pills[3]))) << std::hex << probe(pills[3]);
    // Each pill carries its own word: white text on the coloured ones.
    for (int state : {0, 1, 3}) EXPECT_GT(pills[state].Count(IsNearWhite), 20) << "state " << state;

    // A state the window does not know shows no action at all.
    const Pixels none = Capture(hwnd, ActionArea(unknown->GetPos()));
    EXPECT_EQ(none.Count(IsNearWhite), static_cast<int>(none.bits.size()));

    // Hovering darkens the pill; the cell's look returns when the pointer leaves.
    MoveMouseTo(hwnd, CentreOf(cells[0]->GetPos()));
    const Pixels hot = Capture(hwnd, ActionArea(cells[0]->GetPos()));
    EXPECT_NE(hot, pills[0]);
    EXPECT_LT(Blue(probe(hot)) + Green(probe(hot)), Blue(probe(pills[0])) + Green(probe(pills[0])));
    MoveMouseTo(hwnd, {4, 4});
    EXPECT_EQ(Capture(hwnd, ActionArea(cells[0]->GetPos())), pills[0]);
}

TEST(CatalogueRowsTest, DownloadSizeAndFlagChangeTheProgressShown) {
    auto [window, cell, running, noDocument] = OpenCells(228, Downloading, false);
    ASSERT_TRUE(window);
    ASSERT_TRUE(window->Settle(cell));
    const HWND hwnd = window->GetHWND();
    const RECT action = ActionArea(cell->GetPos());
    const Pixels idle = Capture(hwnd, action);

    cell->SetIsDownLoad(true);
    EXPECT_TRUE(cell->IsDownLoad());
    const Pixels started = Capture(hwnd, action);
    EXPECT_NE(started, idle);
    EXPECT_EQ(FillExtent(hwnd, action), -1);  // 0 %: an empty track

    cell->SetDownLoadSize(40);
    const int at40 = FillExtent(hwnd, action);
    cell->SetDownLoadSize(80);
    const int at80 = FillExtent(hwnd, action);
    EXPECT_NEAR(at40, 76 * 40 / 100, 2);
    EXPECT_NEAR(at80, 76 * 80 / 100, 2);
    const Pixels at80Pixels = Capture(hwnd, action);
    cell->SetDownLoadSize(81);
    EXPECT_NE(Capture(hwnd, action), at80Pixels);  // the percentage text moves on too

    cell->SetDownLoadSize(250);
    EXPECT_EQ(cell->GetDownLoadSize(), 100);
    EXPECT_GE(FillExtent(hwnd, action), 66);
    cell->SetDownLoadSize(-3);
    EXPECT_EQ(cell->GetDownLoadSize(), 0);

    // Hovering a running download offers to cancel it, in red.
    cell->SetDownLoadSize(40);
    const Pixels running40 = Capture(hwnd, action);
    MoveMouseTo(hwnd, CentreOf(cell->GetPos()));
    const Pixels cancel = Capture(hwnd, action);
    EXPECT_NE(cancel, running40);
    EXPECT_GT(cancel.Count(IsRed), 100);
    EXPECT_EQ(running40.Count(IsRed), 0);
    MoveMouseTo(hwnd, {4, 4});

    // Cleared, the cell is back to its idle look exactly; a failure's 1 % left behind is
    // not what the next download starts from.
    cell->SetIsDownLoad(false);
    cell->SetDownLoadSize(1);
    EXPECT_FALSE(cell->IsDownLoad());
    EXPECT_EQ(Capture(hwnd, action), idle);
    cell->SetIsDownLoad(true);
    EXPECT_EQ(cell->GetDownLoadSize(), 0);
    EXPECT_EQ(Capture(hwnd, action), started);

    // The record's Downloading state alone shows the progress as well.
    const RECT runningAction = ActionArea(running->GetPos());
    running->SetDownLoadSize(40);
    EXPECT_NEAR(FillExtent(hwnd, runningAction), 76 * 40 / 100, 2);
}

TEST(CatalogueRowsTest, AnIconFileIsDrawnAndAMissingOneGivesTheLetterTile) {
    TempDir dir;
    const std::string iconPath = dir.Child("tool.png");
    ASSERT_TRUE(WriteIconPng(iconPath, 0xFFC82896));
    const std::string brokenPath = dir.Child("broken.png");
    ASSERT_TRUE(WriteFileBytes(brokenPath, "this is not a picture"));

    auto window = RowsWindow::Open(782, 228, "#FFF3F5F8");
    ASSERT_TRUE(window);
    auto* withIcon = new SkinSoftListControl(NewSoft("税务数字证书助手", NotDownloaded, 4.5f, iconPath));
    auto* missing =
        new SkinSoftListControl(NewSoft("远程协助", NotDownloaded, 0.0f, dir.Child("absent.png")));
    auto* broken = new SkinSoftListControl(NewSoft("远程协助", NotDownloaded, 0.0f, brokenPath));
    auto* empty = new SkinSoftListControl(NewSoft("远程协助", NotDownloaded, 0.0f, ""));
    window->AddRow(100, {withIcon, missing, broken});
    window->AddRow(100, {empty, nullptr, nullptr});
    ASSERT_TRUE(window->Settle(empty));
    const HWND hwnd = window->GetHWND();

    const RECT icon = IconArea(withIcon->GetPos());
    const Pixels drawn = Capture(hwnd, icon);
    EXPECT_EQ(drawn.At(icon.left + 6, icon.top + 24), 0xC82896u);
    EXPECT_TRUE(IsNearWhite(drawn.At(icon.left + 24, icon.top + 14)));  // the ring

    // Without a readable icon: a light neutral tile with the name's first character.
    const Pixels tile = Capture(hwnd, IconArea(missing->GetPos()));
    const DWORD ground = tile.At(tile.area.left + 4, tile.area.top + 24);
    EXPECT_GT(Red(ground), 200);
    EXPECT_GT(Green(ground), 200);
    EXPECT_GE(Blue(ground), Red(ground));
    EXPECT_GT(tile.Count(IsDark), 15);
    EXPECT_EQ(tile.Count([](DWORD rgb) { return rgb == 0xC82896u; }), 0);
    EXPECT_TRUE(Capture(hwnd, IconArea(broken->GetPos())).LooksLike(tile));
    EXPECT_TRUE(Capture(hwnd, IconArea(empty->GetPos())).LooksLike(tile));

    // The text beside the icon is drawn all the same.
    const RECT title = {missing->GetPos().left + 72, missing->GetPos().top + 10, missing->GetPos().right - 12,
                        missing->GetPos().top + 30};
    EXPECT_GT(Capture(hwnd, title).Count(IsDark), 20);
}

TEST(CatalogueRowsTest, ACellScrolledPartlyOutOfItsListDrawsOnlyInsideIt) {
    auto window = RowsWindow::Open(782, 260, "#FFF3F5F8");
    ASSERT_TRUE(window);
    auto* band = new CControlUI;
    band->SetAttribute("height", "40");
    band->SetAttribute("bkcolor", "#FFFF0000");
    window->Root().Add(band);
    auto* list = new CVerticalLayoutUI;
    list->SetAttribute("height", "120");
    list->SetAttribute("vscrollbar", "true");
    window->Root().Add(list);
    std::vector<SkinSoftListControl*> cells;
    for (int i = 0; i < 6; ++i) cells.push_back(new SkinSoftListControl(NewSoft("税务数字证书助手", i % 5, 4.5f)));
    for (int r = 0; r < 2; ++r) {
        auto* row = new CHorizontalLayoutUI;
        row->SetAttribute("height", "100");
        row->SetAttribute("childpadding", "4");
        for (int c = 0; c < 3; ++c) row->Add(cells[3 * r + c]);
        list->Add(row);
    }
    ASSERT_TRUE(window->Settle(cells[5]));
    ASSERT_GT(list->GetScrollRange(), 0);

    // Scrolled so that the first row's cells reach above the list, over the red band.
    list->SetScrollPos(60);
    ::RedrawWindow(window->GetHWND(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    ASSERT_LT(cells[0]->GetPos().top, list->GetPos().top);
    const RECT bandRect = band->GetPos();
    const Pixels pixels = Capture(window->GetHWND(), bandRect);
    EXPECT_EQ(pixels.Count([](DWORD rgb) { return rgb != 0xFF0000u; }), 0);
}

// ---------------------------------------------------------------------------------------
// What the document cell shows

TEST(CatalogueRowsTest, DocumentCellsDrawTheirKindAndTheirDownload) {
    auto window = RowsWindow::Open(768, 188, "#FFFFFFFF");
    ASSERT_TRUE(window);
    auto* folder = new FileListControl(NewFile("开票操作手册", 0));
    auto* folder10 = new FileListControl(NewFile("开票操作手册", 10));
    auto* pdf = new FileListControl(NewFile("增值税发票开具指南.pdf", 1));
    auto* docx = new FileListControl(NewFile("申报表填写说明.docx", 1));
    auto* xls = new FileListControl(NewFile("商品编码对照表.xls", 1));
    auto* other = new FileListControl(NewFile("培训视频", 5));
    window->AddRow(140, {folder, folder10, pdf, docx, xls, other});
    ASSERT_TRUE(window->Settle(other));
    const HWND hwnd = window->GetHWND();

    const Pixels folderSymbol = Capture(hwnd, SymbolArea(folder->GetPos()));
    EXPECT_GT(folderSymbol.Count(IsYellow), 1000);
    EXPECT_TRUE(Capture(hwnd, SymbolArea(folder10->GetPos())).LooksLike(folderSymbol));

    // Documents: a page with a label in the colour of their kind; other types a plain page.
    const Pixels pdfSymbol = Capture(hwnd, SymbolArea(pdf->GetPos()));
    EXPECT_EQ(pdfSymbol.Count(IsYellow), 0);
    EXPECT_GT(pdfSymbol.Count(IsRed), 200);
    EXPECT_GT(Capture(hwnd, SymbolArea(docx->GetPos())).Count(IsBlue), 200);
    EXPECT_GT(Capture(hwnd, SymbolArea(xls->GetPos())).Count(IsGreen), 200);
    const Pixels plain = Capture(hwnd, SymbolArea(other->GetPos()));
    EXPECT_EQ(plain.Count(IsRed) + plain.Count(IsBlue) + plain.Count(IsGreen) + plain.Count(IsYellow), 0);
    EXPECT_GT(plain.Count([](DWORD rgb) { return !IsNearWhite(rgb); }), 100);

    // The name goes below the symbol.
    const RECT nameArea = {pdf->GetPos().left, pdf->GetPos().top + 80, pdf->GetPos().right, pdf->GetPos().top + 114};
    EXPECT_GT(Capture(hwnd, nameArea).Count(IsDark), 40);

    // Downloading veils the symbol and says so on a blue label; clearing restores it.
    pdf->SetIsDownLoad(true);
    EXPECT_TRUE(pdf->IsDownLoad());
    const Pixels busy = Capture(hwnd, SymbolArea(pdf->GetPos()));
    EXPECT_NE(busy, pdfSymbol);
    const POINT labelEdge = {CentreOf(pdf->GetPos()).x - 29, pdf->GetPos().top + 42};
    EXPECT_TRUE(IsBlue(busy.At(labelEdge.x, labelEdge.y))) << std::hex << busy.At(labelEdge.x, labelEdge.y);
    pdf->SetIsDownLoad(false);
    EXPECT_FALSE(pdf->IsDownLoad());
    EXPECT_EQ(Capture(hwnd, SymbolArea(pdf->GetPos())), pdfSymbol);

    // Hover and press looks.
    const Pixels whole = Capture(hwnd, folder->GetPos());
    MoveMouseTo(hwnd, CentreOf(folder->GetPos()));
    const Pixels hot = Capture(hwnd, folder->GetPos());
    EXPECT_NE(hot, whole);
    PressAt(hwnd, CentreOf(folder->GetPos()));
    EXPECT_NE(Capture(hwnd, folder->GetPos()), hot);
    ReleaseAt(hwnd, {4, 4});
    PumpMessagesFor(20);
    EXPECT_EQ(Capture(hwnd, folder->GetPos()), whole);
}

// ---------------------------------------------------------------------------------------
// Ownership of the records

TEST(CatalogueRowsTest, RecordsAreFreedWithTheirCells) {
    const long softBefore = LiveDuiSoftCount();
    const long fileBefore = LiveDuiFileCount();
    auto window = RowsWindow::Open(782, 284, "#FFF3F5F8");
    ASSERT_TRUE(window);
    window->AddRow(100, {new SkinSoftListControl(NewSoft("税务数字证书助手", NotDownloaded)),
                         new SkinSoftListControl(NewSoft("电子发票查验平台", Installed)), nullptr});
    window->AddRow(140, {new FileListControl(NewFile("增值税发票开具指南.pdf", 1)), nullptr, nullptr, nullptr,
                         nullptr, nullptr});
    ASSERT_TRUE(window->Settle(window->Root().GetItemAt(1)));
    EXPECT_EQ(LiveDuiSoftCount(), softBefore + 2);
    EXPECT_EQ(LiveDuiFileCount(), fileBefore + 1);

    // A catalogue reload empties the list: the records go with the cells.
    window->Root().RemoveAll();
    EXPECT_EQ(LiveDuiSoftCount(), softBefore);
    EXPECT_EQ(LiveDuiFileCount(), fileBefore);

    // One cell taken out of its row takes its record along.
    auto* kept = new SkinSoftListControl(NewSoft("电子发票查验平台", Installed));
    auto* removed = new FileListControl(NewFile("常见问题", 10));
    window->AddRow(100, {kept, nullptr, nullptr});
    CHorizontalLayoutUI* documents = window->AddRow(140, {removed, nullptr, nullptr, nullptr, nullptr, nullptr});
    ASSERT_TRUE(window->Settle(removed));
    documents->Remove(removed);
    EXPECT_EQ(LiveDuiFileCount(), fileBefore);
    EXPECT_EQ(LiveDuiSoftCount(), softBefore + 1);

    // Closing the window frees what it still shows.
    window.reset();
    EXPECT_EQ(LiveDuiSoftCount(), softBefore);
    EXPECT_EQ(LiveDuiFileCount(), fileBefore);
}

TEST(CatalogueRowsTest, AClickMayRebuildTheListUnderTheClickedCell) {
    const long fileBefore = LiveDuiFileCount();
    auto window = RowsWindow::Open(768, 188, "#FFFFFFFF");
    ASSERT_TRUE(window);
    auto* folder = new FileListControl(NewFile("开票操作手册", 0));
    window->AddRow(140, {folder, new FileListControl(NewFile("常见问题", 10)), nullptr, nullptr, nullptr, nullptr});
    ASSERT_TRUE(window->Settle(folder));

    // As a folder click does: the handler replaces every row, the clicked one included.
    FileListControl* replacement = nullptr;
    window->onNotify = [&](TNotifyUI& msg) {
        if (msg.sType != "click") return;
        window->Root().RemoveAll();
        replacement = new FileListControl(NewFile("增值税发票开具指南.pdf", 1));
        window->AddRow(140, {replacement, nullptr, nullptr, nullptr, nullptr, nullptr});
    };
    ClickAtCentre(window->GetHWND(), folder->GetPos());
    window->onNotify = nullptr;
    ASSERT_EQ(window->Clicks(), 1);
    EXPECT_EQ(LiveDuiFileCount(), fileBefore + 1);  // the two old records are gone
    ASSERT_NE(replacement, nullptr);
    ASSERT_TRUE(window->Settle(replacement));

    // The new cell works as the old ones did.
    window->notices.clear();
    ClickAtCentre(window->GetHWND(), replacement->GetPos());
    ASSERT_EQ(window->notices.size(), 1u);
    EXPECT_EQ(window->notices[0].sender, replacement);
}

TEST(CatalogueRowsTest, PaintingCellsLeavesNoGdiObjectsBehind) {
    TempDir dir;
    const std::string iconPath = dir.Child("tool.png");
    ASSERT_TRUE(WriteIconPng(iconPath, 0xFF2F80ED));
    const long libraryBefore = SkinRender::LiveGdiObjectCount();
    {
        auto window = RowsWindow::Open(782, 284, "#FFF3F5F8");
        ASSERT_TRUE(window);
        std::vector<SkinSoftListControl*> soft;
        for (int state = NotDownloaded; state <= Downloading; ++state) {
            soft.push_back(new SkinSoftListControl(NewSoft("增值税发票开票软件", state, 3.5f, iconPath)));
        }
        auto* document = new FileListControl(NewFile("增值税发票开具指南.pdf", 1));
        auto* folder = new FileListControl(NewFile("常见问题", 10));
        window->AddRow(100, {soft[0], soft[1], soft[2]});
        window->AddRow(100, {soft[3], soft[4], nullptr});
        window->AddRow(140, {document, folder, nullptr, nullptr, nullptr, nullptr});
        ASSERT_TRUE(window->Settle(folder));
        const HWND hwnd = window->GetHWND();
        Capture(hwnd, soft[0]->GetPos());  // images decoded and fonts made once
        const long libraryPainted = SkinRender::LiveGdiObjectCount();
        const DWORD processPainted = GdiObjectCount();

        for (int round = 0; round < 20; ++round) {
            soft[4]->SetDownLoadSize(round * 5);
            document->SetIsDownLoad(round % 2 == 0);
            MoveMouseTo(hwnd, CentreOf(soft[round % 5]->GetPos()));
            MoveMouseTo(hwnd, CentreOf(round % 2 == 0 ? document->GetPos() : folder->GetPos()));
            ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        }
        MoveMouseTo(hwnd, {4, 4});
        PumpMessagesFor(20);
        EXPECT_EQ(SkinRender::LiveGdiObjectCount(), libraryPainted);
        EXPECT_EQ(GdiObjectCount(), processPainted);
    }
    PumpMessagesFor(20);
    EXPECT_EQ(SkinRender::LiveGdiObjectCount(), libraryBefore);
    EXPECT_EQ(SkinRender::GdiplusLeaseCount(), 0);
    EXPECT_EQ(SkinRender::CachedPictureBytes(), 0u) << "the cells' pictures go with them";
}

TEST(CatalogueRowsTest, AProgressStepRepaintsTheActionAndAHoverTheCell) {
    auto [window, cell, other, noDocument] = OpenCells(128, NotDownloaded, false);
    ASSERT_TRUE(window);
    ASSERT_TRUE(window->Settle(cell));
    const HWND hwnd = window->GetHWND();
    cell->SetIsDownLoad(true);
    ::UpdateWindow(hwnd);
    // Whether what waits to be painted is exactly rc.
    const auto invalidated = [hwnd](const RECT& rc) {
        RECT update{};
        ::GetUpdateRect(hwnd, &update, FALSE);
        return ::EqualRect(&update, &rc) != FALSE;
    };

    cell->SetDownLoadSize(30);
    const RECT action = ActionArea(cell->GetPos());
    EXPECT_TRUE(invalidated(action)) << "a step repaints the pill";
    ::UpdateWindow(hwnd);
    cell->SetDownLoadSize(30);
    EXPECT_FALSE(::GetUpdateRect(hwnd, nullptr, FALSE)) << "the same percentage repaints nothing";
    // A state the window changed just before the percentage shows in the whole cell.
    cell->GetSoft()->state = Downloading;
    cell->SetDownLoadSize(31);
    EXPECT_TRUE(invalidated(cell->GetPos()));
    ::UpdateWindow(hwnd);

    const POINT centre = CentreOf(other->GetPos());
    ::SendMessageA(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(centre.x, centre.y));
    EXPECT_TRUE(invalidated(other->GetPos())) << "the hovered cell alone";
    ::UpdateWindow(hwnd);
}

TEST(CatalogueRowsTest, AKeptPictureIsDrawnAgainOverAnotherBackground) {
    auto window = RowsWindow::Open(300, 128, "#FFF3F5F8");
    ASSERT_TRUE(window);
    auto* cell = new SkinSoftListControl(NewSoft("财务报表转换工具", NotDownloaded));
    window->AddRow(100, {cell});
    ASSERT_TRUE(window->Settle(cell));
    const HWND hwnd = window->GetHWND();
    const RECT rc = cell->GetPos();
    const Pixels before = Capture(hwnd, rc);
    EXPECT_GT(SkinRender::CachedPictureBytes(), 0u);
    ::InvalidateRect(hwnd, nullptr, FALSE);
    EXPECT_EQ(Capture(hwnd, rc), before) << "copied as it was drawn";

    window->Root().SetBkColor(0xFF303848);
    const Pixels after = Capture(hwnd, rc);
    // Outside the card's rounded corner the new background shows; the card is unchanged.
    EXPECT_TRUE(Near(before.At(rc.left, rc.top), 0xF3F5F8, 6));
    EXPECT_TRUE(Near(after.At(rc.left, rc.top), 0x303848, 6));
    EXPECT_EQ(after.At(CentreOf(rc)), before.At(CentreOf(rc)));
}

// ---------------------------------------------------------------------------------------
// Screenshots for people to look at

TEST(CatalogueRowsTest, ScreenshotsOfSoftwareAndDocumentCells) {
    TempDir dir;
    struct Sample {
        SampleSoftware soft;
        DWORD colour;  // 0: no icon
    };
    const Sample samples[] = {
        {{"zhengshu", "税务数字证书助手", "数字证书驱动与在线检测工具，插入证书即可使用", "12.6MB", "2023-06-12", 4.5f, 0},
         0xFF2F80ED},
        {{"kaipiao", "增值税发票开票软件", "金税盘版开票软件，支持专票、普票和电子发票", "86.3MB", "2023-05-28", 5.0f, 1},
         0xFF27AE60},
        {{"chayan", "电子发票查验平台", "快速查验发票真伪并导出查验结果", "8.1MB", "2023-04-02", 4.0f, 2}, 0xFF8E44AD},
        {{"geshui", "个人所得税扣缴客户端", "自然人税收管理系统扣缴客户端", "152MB", "2023-07-01", 3.5f, 3}, 0xFFF2994A},
        {{"baobiao", "财务报表转换工具", "将财务报表一键转换为申报格式", "23.4MB", "2023-03-15", 4.2f, 4}, 0xFF16A085},
        {{"xiezhu", "远程协助", "工程师远程协助，快速解决开票问题", "3.2MB", "2022-12-20", 0.0f, 0}, 0},
    };
    std::vector<CControlUI*> cells;
    for (const Sample& sample : samples) {
        DuiSoft* soft = NewSampleSoft(sample.soft);
        if (sample.colour != 0) {
            soft->iconPath = dir.Child(std::string("icon") + std::to_string(cells.size()) + ".png");
            ASSERT_TRUE(WriteIconPng(soft->iconPath, sample.colour));
        }
        auto* cell = new SkinSoftListControl(soft);
        if (sample.soft.state == Downloading) cell->SetDownLoadSize(40);
        cells.push_back(cell);
    }
    auto software = RowsWindow::Open(782, 228, "#FFF3F5F8");
    ASSERT_TRUE(software);
    software->AddRow(100, {cells[0], cells[1], cells[2]});
    software->AddRow(100, {cells[3], cells[4], cells[5]});
    ASSERT_TRUE(software->Settle(cells[5]));
    EXPECT_FALSE(SaveScreenshot(software->GetHWND(), "catalogue_rows_software").empty());
    MoveMouseTo(software->GetHWND(), CentreOf(cells[4]->GetPos()));
    EXPECT_FALSE(SaveScreenshot(software->GetHWND(), "catalogue_rows_software_cancel_hover").empty());
    MoveMouseTo(software->GetHWND(), CentreOf(cells[0]->GetPos()));
    EXPECT_FALSE(SaveScreenshot(software->GetHWND(), "catalogue_rows_software_hover").empty());
    software.reset();

    auto documents = RowsWindow::Open(768, 308, "#FFFFFFFF");
    ASSERT_TRUE(documents);
    auto* downloading = new FileListControl(NewFile("电子发票服务平台用户操作手册（2023年版）.pdf", 1));
    downloading->SetIsDownLoad(true);
    auto* hovered = new FileListControl(NewFile("证书驱动安装包.zip", 1));
    documents->AddRow(140, {new FileListControl(NewFile("开票操作手册", 0)),
                            new FileListControl(NewFile("常见问题", 10)),
                            new FileListControl(NewFile("增值税发票开具指南.pdf", 1)),
                            new FileListControl(NewFile("申报表填写说明.docx", 1)),
                            new FileListControl(NewFile("商品编码对照表.xls", 1)), downloading});
    documents->AddRow(140, {new FileListControl(NewFile("版本更新说明.txt", 1)),
                            new FileListControl(NewFile("培训视频", 5)), hovered,
                            new FileListControl(NewFile("纳税人须知", 1)), nullptr, nullptr});
    ASSERT_TRUE(documents->Settle(hovered));
    MoveMouseTo(documents->GetHWND(), CentreOf(hovered->GetPos()));
    EXPECT_FALSE(SaveScreenshot(documents->GetHWND(), "catalogue_rows_documents").empty());
}

}  // namespace
