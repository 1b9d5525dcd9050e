// The main window built from the real "skin.zip": its controls, the home page, the tabs,
// the dispatch of row clicks, the rows appended by message, and the frame choices of the
// main window. Catalogue operations are recorded, not run.
#include "tests/toolbox/main_window_fixture.h"
#include "toolbox/catalogue/cell_grid.h"
#include "toolbox/catalogue/download_job.h"
#include "toolbox/catalogue/worker_results.h"
#include "toolbox/startup.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

TEST_F(MainWindowTest, LayoutHoldsEveryControlTheWindowLooksUp) {
    char className[32] = {};
    ::GetClassNameA(handle, className, sizeof(className));
    EXPECT_STREQ(className, "Veltrin");
    ExpectTitleAndSize(handle, "Kestrova", 800, 572);
    EXPECT_EQ(Toolbox().MainWindowHandle, handle);
    EXPECT_EQ(WorkerResultsWindow(), handle);
    EXPECT_NE(::SendMessageA(handle, WM_GETICON, ICON_BIG, 0), 0) << "icon 208 of the program";
    // Centred on the work area.
    RECT rc;
    ::GetWindowRect(handle, &rc);
    RECT work;
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_LE(std::abs((rc.left + rc.right) - (work.left + work.right)), 2);
    EXPECT_LE(std::abs((rc.top + rc.bottom) - (work.top + work.bottom)), 2);

    CPaintManagerUI& manager = window->PaintManager();
    for (const char* name : {"closebtn", "maxbtn", "restorebtn", "minbtn", "seachsoft", "softlist", "filelist",
                             "softkey", "switch"}) {
        EXPECT_NE(manager.FindControl(name), nullptr) << name;
    }
    EXPECT_FALSE(manager.FindControl("restorebtn")->IsVisible());
    for (const char* option : {"sy", "rj", "wd", "wz", "extlink"}) {
        EXPECT_NE(window->Option(option), nullptr) << option;
    }
    EXPECT_TRUE(window->Option("sy")->IsSelected());
    EXPECT_EQ(window->CurrentPage(), kBrowserPage);
    EXPECT_NE(window->SoftList(), nullptr);
    EXPECT_NE(window->FileList(), nullptr);
    EXPECT_EQ(window->SoftList()->GetCount(), 0);
    EXPECT_EQ(window->FileList()->GetCount(), 0);
    EXPECT_FALSE(window->SoftKey()->IsEnabled());

    // The name "sy" is the browser's: it comes before the option in the document.
    CControlUI* sy = manager.FindControl("sy");
    ASSERT_NE(sy, nullptr);
    EXPECT_STREQ(sy->GetClass(), "WebBrowser");
    EXPECT_EQ(static_cast<CControlUI*>(window->Browser()), sy);
    EXPECT_NE(static_cast<CControlUI*>(window->Option("sy")), sy);
    // ... and it lies in the first page of "switch".
    auto* tabs = static_cast<CTabLayoutUI*>(manager.FindControl("switch")->GetInterface("TabLayout"));
    ASSERT_NE(tabs, nullptr);
    CControlUI* page = sy;
    while (page != nullptr && page->GetParent() != tabs) page = page->GetParent();
    EXPECT_EQ(page, tabs->GetItemAt(kBrowserPage));

    // The footer's pane holds the content of "ComputerExamine.xml".
    CControlUI* pane = window->FirstOfClass("ComputerExamine");
    ASSERT_NE(pane, nullptr);
    EXPECT_GT(static_cast<IContainerUI*>(pane->GetInterface("Container"))->GetCount(), 0);
}

TEST_F(MainWindowTest, BrowserOpensTheHomePageForTheTaxCodeAtCreation) {
    CWebBrowserUI* browser = window->Browser();
    ASSERT_NE(browser, nullptr);
    const std::string home = std::string("http://127.0.0.1:9/t/main-window/new.html?tax=") + kMainWindowTaxCode;
    EXPECT_EQ(m_navigations.UrlsOf(browser), (std::vector<std::string>{"about:blank", home}));
    EXPECT_EQ(std::string(browser->GetHomePage()), home);
    EXPECT_NE(browser->GetWebBrowserEventHandler(), nullptr);
}

TEST_F(MainWindowTest, SyAndWzOpenTheirPagesAfresh) {
    CWebBrowserUI* browser = window->Browser();
    m_navigations.Clear();
    const std::string base = "http://127.0.0.1:9/t/main-window";

    ClickOption("wz");
    EXPECT_EQ(window->CurrentPage(), kBrowserPage);
    ClickOption("sy");
    ClickOption("rj");
    ClickOption("sy");
    EXPECT_EQ(window->CurrentPage(), kBrowserPage);
    ClickOption("wz");

    const std::vector<std::string> urls = m_navigations.UrlsOf(browser);
    ASSERT_EQ(urls.size(), 8u);
    const char* pages[] = {"/url.html", "/new.html", "/new.html", "/url.html"};
    std::vector<long> ids;
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(urls[2 * i], "about:blank") << i;
        const std::string prefix = base + pages[i] + "?tax=" + kMainWindowTaxCode + "&id=";
        EXPECT_EQ(urls[2 * i + 1].compare(0, prefix.size(), prefix), 0) << urls[2 * i + 1];
        ids.push_back(IdNumberOf(urls[2 * i + 1]));
        EXPECT_GE(ids.back(), 0) << urls[2 * i + 1];
    }
    EXPECT_NE(ids[1], ids[2]) << "the home page twice, each time with another number";
    EXPECT_NE(ids[0], ids[3]);
    EXPECT_EQ(window->CountOf("LoadSoftwareCatalogue"), 1);  // from "rj" only
}

// A URL scheme whose "open" verb starts the recording helper, removed at the end.
class RecordingUrlScheme {
public:
    static constexpr const char* kScheme = "kestrova-portal-test";
    explicit RecordingUrlScheme(const std::string& recordPath) {
        const std::string command = "\"" + TestProgramDir() + "\\shell_open_recorder.exe\" \"" + recordPath + "\" \"%1\"";
        m_ok = WriteRegistryText(HKEY_CLASSES_ROOT, kScheme, "", "URL:Kestrova portal test") &&
              WriteRegistryText(HKEY_CLASSES_ROOT, kScheme, "URL Protocol", "") &&
              WriteRegistryText(HKEY_CLASSES_ROOT, std::string(kScheme) + "\\shell\\open\\command", "", command);
    }
    ~RecordingUrlScheme() { ::RegDeleteTreeA(HKEY_CLASSES_ROOT, kScheme); }
    bool ok() const { return m_ok; }

private:
    bool m_ok = false;
};

TEST_F(MainWindowTest, PortalOpensThroughTheDesktopShellAndTheTabStays) {
    const std::string record = m_install.Child("opened.txt");
    RecordingUrlScheme scheme(record);
    ASSERT_TRUE(scheme.ok());
    Toolbox().PortalUrl = std::string(RecordingUrlScheme::kScheme) + "://portal/index.html?from=veltrin";
    ASSERT_TRUE(WaitForDesktopShell());

    ClickOption("rj");
    m_navigations.Clear();
    window->calls.clear();
    ClickOption("extlink");
    ASSERT_TRUE(PumpMessagesUntil([&] { return ReadFileBytes(record).find('\n') != std::string::npos; }, 20000))
        << "the shell started nothing";
    EXPECT_NE(ReadFileBytes(record).find("kestrova-portal-test://portal/index.html?from=veltrin"), std::string::npos)
        << ReadFileBytes(record);
    // Opened by the desktop's shell with the user's rights, not started by the toolbox.
    EXPECT_TRUE(PumpMessagesUntil([&] { return ReadFileBytes(record).find("parent explorer.exe\n") != std::string::npos; },
                                  5000))
        << ReadFileBytes(record);
    EXPECT_EQ(window->CurrentPage(), kSoftwarePage);
    EXPECT_TRUE(window->Option("rj")->IsSelected());
    EXPECT_EQ(m_navigations.Count(), 0u);
    EXPECT_TRUE(window->calls.empty());
}

TEST_F(MainWindowTest, SoftwareTabLoadsOnlyWhileNoPackageDownloads) {
    ClickOption("rj");
    EXPECT_EQ(window->CurrentPage(), kSoftwarePage);
    EXPECT_EQ(window->CountOf("LoadSoftwareCatalogue"), 1);

    window->runningDownloads = 1;
    ClickOption("sy");
    ClickOption("rj");
    EXPECT_EQ(window->CurrentPage(), kSoftwarePage);
    EXPECT_EQ(window->CountOf("LoadSoftwareCatalogue"), 1);
    ClickControl(window->PaintManager().FindControl("seachsoft"));
    EXPECT_EQ(window->CountOf("LoadSoftwareCatalogue"), 1);

    window->runningDownloads = 0;
    ClickControl(window->PaintManager().FindControl("seachsoft"));
    EXPECT_EQ(window->CountOf("LoadSoftwareCatalogue"), 2);
}

TEST_F(MainWindowTest, DocumentTabLoadsTheRootFolderOnlyIntoAnEmptyList) {
    ClickOption("wd");
    EXPECT_EQ(window->CurrentPage(), kDocumentPage);
    ASSERT_EQ(window->CountOf("LoadDocumentCatalogue"), 1);
    EXPECT_EQ(window->calls.back().argument, "0");

    // A folder shown (the list not empty) stays when the tab is chosen again.
    window->FileList()->Add(new CControlUI);
    ClickOption("sy");
    ClickOption("wd");
    EXPECT_EQ(window->CurrentPage(), kDocumentPage);
    EXPECT_EQ(window->CountOf("LoadDocumentCatalogue"), 1);
}

TEST_F(MainWindowTest, CaptionDoubleClickDoesNothing) {
    POINT screen{300, 20};  // the band's subtitle
    ::ClientToScreen(handle, &screen);
    EXPECT_EQ(::SendMessageA(handle, WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y)), HTCAPTION);
    EXPECT_EQ(::SendMessageA(handle, WM_NCLBUTTONDBLCLK, HTCAPTION, MAKELPARAM(screen.x, screen.y)), 0);
    PumpMessagesFor(50);
    EXPECT_FALSE(::IsZoomed(handle));
}

TEST_F(MainWindowTest, CaptionButtonsMaximiseRestoreAndMinimise) {
    ClickControl(window->PaintManager().FindControl("maxbtn"));
    EXPECT_TRUE(::IsZoomed(handle));
    ClickControl(window->PaintManager().FindControl("restorebtn"));
    EXPECT_FALSE(::IsZoomed(handle));
    ClickControl(window->PaintManager().FindControl("minbtn"));
    EXPECT_TRUE(::IsIconic(handle));
    EXPECT_TRUE(window->calls.empty());
}

TEST_F(MainWindowTest, SystemCloseEndsTheLoopWithoutTheTray) {
    // Alt+F4 as the keyboard delivers it; the system makes the Close command of it.
    ::SendMessageA(handle, WM_SYSKEYDOWN, VK_F4, AltF4KeyData());
    int code = -1;
    EXPECT_TRUE(WaitForQuitMessage(1000, &code));
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(::IsWindow(handle));
    EXPECT_FALSE(window->HasTrayIcon());

    EXPECT_EQ(::SendMessageA(handle, WM_SYSCOMMAND, SC_CLOSE, 0), 0);
    EXPECT_TRUE(WaitForQuitMessage(1000));
}

TEST_F(MainWindowTest, AppendedRowsAreNamedFromTheRowCounter) {
    auto* first = new CControlUI;
    auto* second = new CControlUI;
    OfferSoftwareRow(first);
    OfferSoftwareRow(second);
    ::SendMessageA(handle, WM_APPENDSOFTWAREROW, 0, reinterpret_cast<LPARAM>(first));
    EXPECT_EQ(first->GetName(), "rowIndex1");
    EXPECT_EQ(first->GetFixedHeight(), 80);
    EXPECT_EQ(window->SoftList()->GetItemIndex(first), 0);
    EXPECT_TRUE(window->SoftKey()->IsEnabled());
    ::SendMessageA(handle, WM_APPENDSOFTWAREROW, 0, reinterpret_cast<LPARAM>(second));
    EXPECT_EQ(second->GetName(), "rowIndex2");
    EXPECT_EQ(window->RowCounter(), 2);
    EXPECT_EQ(window->SoftList()->GetCount(), 2);
}

TEST_F(MainWindowTest, PostedPointersThatNameNothingOfTheProgramAreIgnored) {
    const int running = RunningDownloadCount().load();
    // Another program can post these with any number as the pointer.
    for (WPARAM code : {50, 888, 999, 1888, 1999}) ::PostMessageA(handle, WM_USER, code, 0x12345678);
    CControlUI stranger;  // never offered
    ::PostMessageA(handle, WM_APPENDSOFTWAREROW, 0, reinterpret_cast<LPARAM>(&stranger));
    ::PostMessageA(handle, WM_APPENDSOFTWAREROW, 0, 0x1234);
    PumpMessagesFor(100);
    EXPECT_TRUE(::IsWindow(handle));
    EXPECT_EQ(RunningDownloadCount().load(), running);
    EXPECT_EQ(window->SoftList()->GetCount(), 0);
    EXPECT_EQ(window->RowCounter(), 0);
}

// ---- row dispatch ---------------------------------------------------------------------

DuiSoft* SoftEntry(int32_t state, const std::string& downName) {
    auto* entry = new DuiSoft;
    entry->name = "fwkp";
    entry->viewName = "增值税发票开票软件";
    entry->content = "税务数字账户开票";
    entry->downName = downName;
    entry->state = state;
    return entry;
}

DuiFile* FileItem(int32_t type, const std::string& id, const std::string& name) {
    auto* item = new DuiFile;
    item->type = type;
    item->id = id;
    item->name = name;
    return item;
}

class RowDispatchTest : public MainWindowTest {
protected:
    // Adds cells three (or six) to a row, as the catalogues lay them out.
    template <typename Cell>
    void AddRows(CContainerUI* list, const std::vector<Cell*>& cells, int perRow) {
        const auto newRow = [] {
            auto* row = new CHorizontalLayoutUI;
            row->SetAttribute("height", "100");
            return row;
        };
        FillCellGrid(list, static_cast<int>(cells.size()), perRow, newRow,
                     [&cells](int index) { return cells[static_cast<size_t>(index)]; });
        PumpMessagesFor(100);
    }

    SkinSoftListControl* Software(int32_t state, const char* name, const std::string& downName = "setup.exe") {
        auto* cell = new SkinSoftListControl(SoftEntry(state, downName));
        cell->SetName(name);
        return cell;
    }
    FileListControl* Document(int32_t type, const char* name, const std::string& id, const std::string& file) {
        auto* cell = new FileListControl(FileItem(type, id, file));
        cell->SetName(name);
        return cell;
    }

    void Click(CControlUI* cell) {
        window->calls.clear();
        ClickAtCentre(handle, cell->GetPos());
    }
    // Clicks the cell, expecting no call (a null operation) or that one, with what is given.
    void ExpectClickLeadsTo(CControlUI* cell, const char* operation, const void* subject = nullptr,
                            const std::string& argument = "") {
        Click(cell);
        if (operation == nullptr) {
            EXPECT_TRUE(window->calls.empty());
            return;
        }
        ASSERT_EQ(window->calls.size(), 1u);
        EXPECT_EQ(window->calls[0].operation, operation);
        EXPECT_TRUE(subject == nullptr || window->calls[0].subject == subject);
        EXPECT_TRUE(argument.empty() || window->calls[0].argument == argument) << window->calls[0].argument;
    }
    std::string Package(const std::string& name) const { return m_install.Path() + "\\soft\\" + name; }
    std::string DocumentPath(const std::string& name) const { return m_install.Path() + "\\file\\" + name; }
};

TEST_F(RowDispatchTest, SoftwareRowsActByTheirEntrysState) {
    ASSERT_TRUE(::CreateDirectoryA((m_install.Path() + "\\soft").c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(Package("here.exe"), "MZ"));
    ClickOption("rj");

    SkinSoftListControl* notDownloaded = Software(NotDownloaded, "rowIndex1");
    SkinSoftListControl* downloadedHere = Software(Downloaded, "rowIndex2", "here.exe");
    SkinSoftListControl* downloadedGone = Software(Downloaded, "rowIndex3", "gone.exe");
    SkinSoftListControl* installed = Software(Installed, "rowIndex4");
    SkinSoftListControl* updateHere = Software(UpdateAvailable, "rowIndex5", "here.exe");
    SkinSoftListControl* updateGone = Software(UpdateAvailable, "rowIndex6", "gone.exe");
    SkinSoftListControl* downloading = Software(Downloading, "rowIndex7");
    SkinSoftListControl* unknown = Software(7, "rowIndex8");
    AddRows<SkinSoftListControl>(window->SoftList(), {notDownloaded, downloadedHere, downloadedGone, installed,
                                                      updateHere, updateGone, downloading, unknown},
                                 3);

    ExpectClickLeadsTo(notDownloaded, "StartSoftwareDownload", notDownloaded);
    ExpectClickLeadsTo(downloadedHere, "OpenDownloadedPackage", downloadedHere, Package("here.exe"));
    ExpectClickLeadsTo(downloadedGone, nullptr);  // a deleted package is not started
    ExpectClickLeadsTo(installed, "LaunchInstalledProgram", installed->GetSoft());
    ExpectClickLeadsTo(updateHere, "OpenDownloadedPackage", updateHere, Package("here.exe"));
    ExpectClickLeadsTo(updateGone, "StartSoftwareDownload", updateGone);
    ExpectClickLeadsTo(downloading, "CancelSoftwareDownload", downloading);
    ExpectClickLeadsTo(unknown, nullptr);
}

TEST_F(RowDispatchTest, ARowNameOnlyHasToContainRowIndex) {
    ClickOption("rj");
    SkinSoftListControl* inside = Software(NotDownloaded, "catalogue_rowIndex12");
    SkinSoftListControl* otherCase = Software(NotDownloaded, "RowIndex13");
    AddRows<SkinSoftListControl>(window->SoftList(), {inside, otherCase}, 3);

    ExpectClickLeadsTo(inside, "StartSoftwareDownload", inside);
    ExpectClickLeadsTo(otherCase, nullptr);  // the test is case-sensitive
}

TEST_F(RowDispatchTest, DocumentRowsActByTheirItemsType) {
    ASSERT_TRUE(::CreateDirectoryA((m_install.Path() + "\\file").c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(DocumentPath("申报指南.pdf"), std::string(3000, 'p')));
    ClickOption("wd");
    window->calls.clear();

    FileListControl* folder = Document(0, "fileIndex2", "12", "发票政策");
    FileListControl* folderTen = Document(10, "fileIndex3", "34", "常见问题");
    FileListControl* present = Document(1, "fileIndex4", "56", "申报指南.pdf");
    FileListControl* missing = Document(1, "fileIndex5", "78", "操作手册.docx");
    FileListControl* other = Document(5, "fileIndex6", "90", "其他");
    AddRows<FileListControl>(window->FileList(), {folder, folderTen, present, missing, other}, 6);

    ExpectClickLeadsTo(present, "OpenDocument", nullptr, DocumentPath("申报指南.pdf"));
    ExpectClickLeadsTo(missing, "StartDocumentDownload", missing);
    ExpectClickLeadsTo(other, nullptr);
    ExpectClickLeadsTo(folderTen, "LoadDocumentCatalogue", nullptr, "34");
    ExpectClickLeadsTo(folder, "LoadDocumentCatalogue", nullptr, "12");
}

TEST_F(RowDispatchTest, ADoubleClickOnARowIsOneClick) {
    ClickOption("rj");
    SkinSoftListControl* cell = Software(NotDownloaded, "rowIndex50");
    AddRows<SkinSoftListControl>(window->SoftList(), {cell}, 3);
    window->calls.clear();
    const RECT at = cell->GetPos();
    DoubleClickAt(handle, {(at.left + at.right) / 2, (at.top + at.bottom) / 2});
    EXPECT_EQ(window->CountOf("StartSoftwareDownload"), 1);
    ClickAtCentre(handle, cell->GetPos());  // a later click is a click again
    EXPECT_EQ(window->CountOf("StartSoftwareDownload"), 2);
}

TEST_F(RowDispatchTest, NamesThatAreNoPlainFileNamesReachNoFile) {
    // Files that these names would reach as paths, patterns or with the dot or space dropped.
    for (const char* folder : {"soft", "file"}) ASSERT_TRUE(::CreateDirectoryA(m_install.Child(folder).c_str(), nullptr));
    for (const std::string file : {"outside.exe", "soft\\setup.exe", "soft\\setup.exe.partial", "file\\setup.exe"}) {
        ASSERT_TRUE(WriteFileBytes(m_install.Child(file), "MZ"));
    }
    const std::vector<std::string> names{"..\\outside.exe", "set*.exe", "setup.exe.", "setup.exe ", "CON", "nul.exe",
                                         "setup.exe.partial"};
    ClickOption("rj");
    for (const std::string& name : names) {
        window->SoftList()->RemoveAll();
        SkinSoftListControl* downloaded = Software(Downloaded, "rowIndex60", name);
        SkinSoftListControl* update = Software(UpdateAvailable, "rowIndex61", name);
        AddRows<SkinSoftListControl>(window->SoftList(), {downloaded, update}, 3);
        SCOPED_TRACE(name);
        ExpectClickLeadsTo(downloaded, nullptr);
        ExpectClickLeadsTo(update, "StartSoftwareDownload");  // which refuses the name
    }
    ClickOption("wd");
    for (const std::string& name : names) {
        window->FileList()->RemoveAll();
        FileListControl* document = Document(1, "fileIndex60", "1", name);
        AddRows<FileListControl>(window->FileList(), {document}, 6);
        SCOPED_TRACE(name);
        ExpectClickLeadsTo(document, "StartDocumentDownload");
    }
}

TEST_F(RowDispatchTest, ARowGoneFromTheWindowIsLeftAlone) {
    ClickOption("rj");
    SkinSoftListControl* cell = Software(NotDownloaded, "rowIndex40");
    AddRows<SkinSoftListControl>(window->SoftList(), {cell}, 3);
    // The click names a row that the window no longer holds.
    cell->SetName("rowIndex41");
    TNotifyUI notice;
    notice.sType = "click";
    auto* stray = new CControlUI;
    stray->SetName("rowIndex40");
    notice.pSender = stray;
    window->calls.clear();
    static_cast<INotifyUI*>(window)->Notify(notice);
    EXPECT_TRUE(window->calls.empty());
    delete stray;
}

}  // namespace
