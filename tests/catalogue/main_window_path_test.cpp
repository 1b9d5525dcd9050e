// The catalogues inside the real main window, driven with real mouse clicks and filled
// from the sample content the demo serves (tools/demo_content): the software tab loads and
// downloads, a second click starts the package, a document folder opens in place, the
// window answers while a load and its icons crawl in, a reload drops the earlier load's
// late reply, a failed load says so, and screenshots of both pages with a download running
// are saved for people to look at.
#include "shared/background_work.h"
#include "shared/files.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/support/gui_driver.h"
#include "tests/support/test_server.h"
#include "tests/toolbox/toolbox_fixture.h"
#include "toolbox/catalogue/catalogue_loads.h"
#include "toolbox/catalogue/download_job.h"
#include "toolbox/main_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

constexpr char kDemoServerUrl[] = "http://127.0.0.1:8765";

std::string DemoContentPath(const std::string& relative) {
    return std::string(KESTROVA_SOURCE_DIR) + "/tools/demo_content/" + relative;
}

// The demo's addresses point at the demo server; here they point at this namespace.
std::string Redirected(std::string text, const std::string& baseUrl) {
    for (size_t at = text.find(kDemoServerUrl); at != std::string::npos; at = text.find(kDemoServerUrl, at)) {
        text.replace(at, sizeof(kDemoServerUrl) - 1, baseUrl);
        at += baseUrl.size();
    }
    return text;
}

// From a thread of its own, how long the window takes to answer a sent message, and
// whether the system ever takes it for hung.
class ResponseSampler {
public:
    explicit ResponseSampler(HWND window)
        : m_thread([this, window] {
              while (!m_stop) {
                  const auto start = std::chrono::steady_clock::now();
                  DWORD_PTR result = 0;
                  ::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result);
                  const auto took = std::chrono::steady_clock::now() - start;
                  m_worst = std::max(m_worst, std::chrono::duration<double, std::milli>(took).count());
                  m_hung = m_hung || ::IsHungAppWindow(window);
                  ++m_samples;
                  ::Sleep(5);
              }
              m_finished = true;
          }) {}
    ~ResponseSampler() { Stop(); }
    // Called on the window's thread, which keeps answering until the last message is in:
    // a plain join would leave a message in flight unanswered and count as a hang.
    void Stop() {
        m_stop = true;
        PumpMessagesUntil([this] { return m_finished.load(); }, 10000);
        if (m_thread.joinable()) m_thread.join();
    }
    double worstMilliseconds() const { return m_worst; }
    bool everHung() const { return m_hung; }
    int samples() const { return m_samples.load(); }

private:
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_finished{false};
    double m_worst = 0.0;  // read once the thread has ended
    bool m_hung = false;
    std::atomic<int> m_samples{0};
    std::thread m_thread;
};

class CatalogueMainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        UseBuiltSkin();
        ServeDemoContent();
        Toolbox().SetServerBaseUrl(m_server.BaseUrl());
        Toolbox().TaxCode = "91110108MA01TEST8X";
        Toolbox().InstallDir = m_install.Path();
        m_pWindow = new Veltrin;
        ASSERT_TRUE(m_pWindow->Open());
        m_handle = m_pWindow->GetHWND();
        ::SetWindowPos(m_handle, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE);
        ::SetForegroundWindow(m_handle);
        PumpMessagesFor(200);
    }

    void TearDown() override { CloseTestWindow(m_handle); }

    // The catalogue, its icons, the document tree and its documents as overlays of this
    // namespace; packages are the server's generated files.
    void ServeDemoContent(const std::string& versionKeyPath = "") {
        std::string software = Redirected(ReadFileBytes(DemoContentPath("software.json")), m_server.BaseUrl());
        if (!versionKeyPath.empty()) {
            // The demo's version locators, moved below a key of the test's own.
            const std::string demoRoot = JsonEscaped("SOFTWARE\\Kestrova\\");
            const std::string testRoot = JsonEscaped(versionKeyPath + "\\");
            for (size_t at = software.find(demoRoot); at != std::string::npos; at = software.find(demoRoot, at)) {
                software.replace(at, demoRoot.size(), testRoot);
                at += testRoot.size();
            }
        }
        ASSERT_TRUE(m_server.Put("/F", software));
        for (const char* folder : {"documents", "icons", "docs"}) {
            std::vector<std::string> paths;
            std::vector<std::string> names;
            ListFiles(DemoContentPath(folder), paths, names);
            ASSERT_FALSE(names.empty()) << folder;
            for (size_t i = 0; i < names.size(); ++i) {
                const std::string bytes = ReadFileBytes(paths[i]);
                const bool json = names[i].size() > 5 && names[i].compare(names[i].size() - 5, 5, ".json") == 0;
                ASSERT_TRUE(m_server.Put("/" + std::string(folder) + "/" + names[i],
                                        json ? Redirected(bytes, m_server.BaseUrl()) : bytes));
            }
        }
    }

    CControlUI* Control(const char* name) { return m_pWindow->PaintManager().FindControl(name); }
    CContainerUI* List(const char* name) { return AsContainer(Control(name)); }
    std::vector<SkinSoftListControl*> SoftwareCells() { return CellsOf<SkinSoftListControl>(List("softlist"), "SoftListItem"); }
    std::vector<FileListControl*> DocumentCells() { return CellsOf<FileListControl>(List("filelist"), "FileListItem"); }

    void Click(CControlUI* control) {
        ASSERT_NE(control, nullptr);
        ClickAtCentre(m_handle, control->GetPos());
    }
    void DoubleClick(CControlUI* control) {
        const RECT at = control->GetPos();
        DoubleClickAt(m_handle, {(at.left + at.right) / 2, (at.top + at.bottom) / 2});
    }
    void SelectTab(const char* name) {
        Click(Control(name));
        PumpMessagesFor(300);  // the new page is laid out before its cells are clicked
    }

    FileListControl* DocumentNamed(const std::string& name) {
        for (FileListControl* cell : DocumentCells()) {
            if (cell->GetFile()->name == name) return cell;
        }
        return nullptr;
    }

    std::vector<std::string> DocumentRequests() const {
        std::vector<std::string> requests = m_server.Requests();
        requests.erase(std::remove_if(requests.begin(), requests.end(),
                                      [](const std::string& r) { return r.rfind("/D?", 0) != 0; }),
                       requests.end());
        return requests;
    }

    // Once the load's worker has ended: the rows and every icon are in.
    bool LoadFinished(size_t cells, CContainerUI* list, const char* interfaceName) {
        return PumpMessagesUntil(
            [&] { return RunningBackgroundWork() == 0 && CellsOf<CControlUI>(list, interfaceName).size() == cells; },
            20000);
    }
    bool SoftwareLoaded(size_t cells = 12) { return LoadFinished(cells, List("softlist"), "SoftListItem"); }
    bool DocumentsLoaded(size_t cells) { return LoadFinished(cells, List("filelist"), "FileListItem"); }

    int CurrentPage() {
        CControlUI* tabs = Control("switch");
        return tabs ? static_cast<CTabLayoutUI*>(tabs->GetInterface("TabLayout"))->GetCurSel() : -1;
    }

    TestServer m_server{"catwindow"};
    CatalogueFolder m_install;
    ToolboxValuesScope m_values;
    Veltrin* m_pWindow = nullptr;
    HWND m_handle = nullptr;
};

TEST_F(CatalogueMainWindow, ASoftwareRowDownloadsItsPackageAndTheNextClickStartsIt) {
    // Slow enough to see the row's progress: 30 pieces a tenth of a second apart.
    ASSERT_TRUE(m_server.SetFault("/_gen/983040", "mode=trickle&chunk=32768&delay=0.1&count=1"));
    const int countBefore = RunningDownloadCount().load();

    SelectTab("rj");
    EXPECT_EQ(CurrentPage(), kSoftwarePage);
    ASSERT_TRUE(SoftwareLoaded());
    EXPECT_EQ(m_server.CountRequests("/F"), 1);
    const auto cells = SoftwareCells();
    ASSERT_EQ(cells.size(), 12u);
    SkinSoftListControl* row = cells[0];
    ASSERT_EQ(row->GetSoft()->downName, "kpzs_setup.exe");
    ASSERT_EQ(row->GetSoft()->state.load(), NotDownloaded);
    EXPECT_FALSE(row->GetSoft()->iconPath.empty());

    // A double click is one click: it starts the download and does not cancel it again.
    DoubleClick(row);
    EXPECT_EQ(row->GetSoft()->state.load(), Downloading);
    EXPECT_TRUE(row->IsDownLoad());
    EXPECT_EQ(RunningDownloadCount().load(), countBefore + 1);

    // What the row shows, each change noted, until the download has ended.
    std::vector<int> shown;
    ASSERT_TRUE(PumpMessagesUntil(
        [&] {
            const int percent = row->GetDownLoadSize();
            if (shown.empty() || shown.back() != percent) shown.push_back(percent);
            return row->GetSoft()->state.load() != Downloading;
        },
        30000));
    EXPECT_EQ(row->GetSoft()->state.load(), Downloaded);
    EXPECT_FALSE(row->IsDownLoad());
    EXPECT_EQ(RunningDownloadCount().load(), countBefore);
    const std::string package = m_install.SoftDir() + "\\kpzs_setup.exe";
    EXPECT_EQ(ReadFileBytes(package), PatternBytes(983040));
    // The row went up in steps while the bytes came, then back to its resting look.
    ASSERT_GE(shown.size(), 2u);
    const int highest = *std::max_element(shown.begin(), shown.end());
    EXPECT_GT(highest, 0);
    EXPECT_LE(highest, 100);
    EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end() - 1)) << ::testing::PrintToString(shown);
    EXPECT_EQ(shown.back(), 0);

    // The next click starts the package: a program that records how it was started stands
    // in for the downloaded bytes.
    CallRecord calls;
    ASSERT_TRUE(::CopyFileA(CallRecorderPath().c_str(), package.c_str(), FALSE));
    Click(row);
    ASSERT_TRUE(calls.WaitForLines(1));
    const std::string line = calls.Lines()[0];
    EXPECT_NE(line.find("kpzs_setup.exe"), std::string::npos) << line;
    EXPECT_EQ(std::strtoul(line.c_str(), nullptr, 10) & STARTF_USESHOWWINDOW, 0u) << line;  // started, not opened
    EXPECT_EQ(row->GetSoft()->state.load(), Downloaded);
    EXPECT_EQ(m_server.CountRequests("/_gen/983040"), 1);
}

TEST_F(CatalogueMainWindow, ADocumentFolderOpensInPlaceAndLeadsBack) {
    SelectTab("wd");
    EXPECT_EQ(CurrentPage(), kDocumentPage);
    ASSERT_TRUE(DocumentsLoaded(7));
    auto requests = DocumentRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_NE(requests[0].find("&id=0&rid"), std::string::npos) << requests[0];

    Click(DocumentNamed("开票操作指南"));
    ASSERT_TRUE(DocumentsLoaded(5));
    std::vector<std::string> names;
    for (FileListControl* cell : DocumentCells()) names.push_back(cell->GetFile()->name);
    EXPECT_EQ(names, (std::vector<std::string>{"返回上级", "增值税专用发票开具流程.txt", "红字发票开具说明.txt",
                                               "发票作废操作.txt", "开票软件操作手册.rtf"}));
    requests = DocumentRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[1].find("&id=1&rid"), std::string::npos) << requests[1];

    // The folder of type 10 behaves the same; "返回上级" is the root folder again.
    PumpMessagesFor(200);
    Click(DocumentNamed("返回上级"));
    ASSERT_TRUE(DocumentsLoaded(7));
    PumpMessagesFor(200);
    Click(DocumentNamed("政策法规"));
    ASSERT_TRUE(PumpMessagesUntil([&] { return DocumentNamed("增值税税率表.txt") != nullptr; }, 20000));
    EXPECT_EQ(m_server.CountRequests("/D"), 4);
}

TEST_F(CatalogueMainWindow, ScreenshotsOfBothPagesWithADownloadRunning) {
    // Some entries installed, one of them older than the catalogue's, and one package here.
    const std::string versionRoot = UniqueTestName("Screens");
    MachineTestKey versions(versionRoot);
    MachineTestKey etaxVersion(versionRoot + "\\ETax");
    ASSERT_TRUE(etaxVersion.Set("Version", "5.0.3"));
    ServeDemoContent(versions.Path());
    UninstallEntries uninstall;
    ASSERT_TRUE(uninstall.Add(UniqueTestName("KestrovaScreens-"),
                              {{"DisplayName", "税控驱动 2.8.0"}, {"DisplayVersion", "2.8.0"}, {"Publisher", "Aisino"}}));
    ASSERT_TRUE(uninstall.Add(UniqueTestName("KestrovaScreens-"),
                              {{"DisplayName", "电子税务局"}, {"DisplayVersion", "5.0.3"}, {"Publisher", "Kestrova"}}));
    ASSERT_TRUE(::CreateDirectoryA(m_install.SoftDir().c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(m_install.SoftDir() + "\\fpcy_setup.exe", PatternBytes(5452595)));
    // The tax filing client downloads slowly enough to be caught part way.
    ASSERT_TRUE(m_server.SetFault("/_gen/70569164", "mode=trickle&chunk=1048576&delay=0.1&count=1"));

    const int countBefore = RunningDownloadCount().load();
    SelectTab("rj");
    ASSERT_TRUE(SoftwareLoaded());
    const auto cells = SoftwareCells();
    EXPECT_EQ(cells[1]->GetSoft()->state.load(), Installed);
    EXPECT_EQ(cells[2]->GetSoft()->state.load(), Downloaded);
    EXPECT_EQ(cells[3]->GetSoft()->state.load(), UpdateAvailable);
    SkinSoftListControl* downloading = cells[4];
    Click(downloading);
    ASSERT_TRUE(PumpMessagesUntil([&] { return downloading->GetDownLoadSize() >= 30; }, 20000));
    PumpMessagesFor(200);
    EXPECT_FALSE(SaveScreenshot(m_handle, "catalogue_software").empty());

    // A click on the running download cancels it.
    Click(downloading);
    EXPECT_EQ(downloading->GetSoft()->state.load(), NotDownloaded);
    ASSERT_TRUE(PumpMessagesUntil([&] { return RunningDownloadCount().load() == countBefore; }, 10000));
    EXPECT_FALSE(PathExists(m_install.SoftDir() + "\\grsds_setup.exe"));

    SelectTab("wd");
    ASSERT_TRUE(DocumentsLoaded(7));
    PumpMessagesFor(200);
    EXPECT_FALSE(SaveScreenshot(m_handle, "catalogue_documents").empty());
}

TEST_F(CatalogueMainWindow, TheWindowAnswersWhileTheCatalogueAndItsIconsCrawlIn) {
    // The catalogue takes over two seconds, the first two icons about a second each.
    ASSERT_TRUE(m_server.SetFault("/F", "mode=trickle&chunk=256&delay=0.1&count=1"));
    for (const char* icon : {"/icons/kaipiao.png", "/icons/shuikong.png"}) {
        ASSERT_TRUE(m_server.SetFault(icon, "mode=trickle&chunk=256&delay=0.1&count=1"));
    }
    // Hidden, the window does not paint: a whole repaint of it costs about 100 ms under Wine
    // here, load or not, and would drown what the load itself costs the window thread.
    ::ShowWindow(m_handle, SW_HIDE);
    ResponseSampler sampler(m_handle);
    Click(Control("rj"));
    EXPECT_EQ(LoadNoticeText(List("softlist")), kLoadingText);
    // The rows come first, the icons as they arrive; the window answers all the while. A
    // window thread that waited on the network would answer once at most per crawl.
    ASSERT_TRUE(PumpMessagesUntil([&] { return SoftwareCells().size() == 12; }, 20000));
    const int answersWhileTheCatalogueCrawled = sampler.samples();
    EXPECT_TRUE(SoftwareCells()[0]->GetSoft()->iconPath.empty());
    ASSERT_TRUE(SoftwareLoaded());
    sampler.Stop();
    EXPECT_FALSE(SoftwareCells()[0]->GetSoft()->iconPath.empty());
    EXPECT_GE(answersWhileTheCatalogueCrawled, 5);
    EXPECT_GE(sampler.samples() - answersWhileTheCatalogueCrawled, 5) << "while the icons crawled";
    EXPECT_FALSE(sampler.everHung());
    // scripts/bench-catalogue reports this figure.
    std::printf("worst_answer_ms %.1f of %d\n", sampler.worstMilliseconds(), sampler.samples());
}

TEST_F(CatalogueMainWindow, AReloadDropsTheEarlierLoadsLateReply) {
    // The first load's reply stalls and then breaks off, so it ends after the reload's,
    // which comes at once: its late failure must not replace the reload's rows either.
    ASSERT_TRUE(m_server.SetFault("/F", "mode=stall&seconds=3&count=1"));
    SelectTab("rj");
    EXPECT_EQ(LoadNoticeText(List("softlist")), kLoadingText);
    ASSERT_TRUE(PumpMessagesUntil([&] { return m_server.CountRequests("/F") == 1; }, 10000));
    ASSERT_TRUE(m_server.Put("/F", R"({"data":[{"name":"reloaded","downname":"reloaded.exe","iocn":""}]})"));
    Click(Control("seachsoft"));
    // Both loads have ended once no background work runs.
    ASSERT_TRUE(SoftwareLoaded(1));
    PumpMessagesFor(100);
    const auto cells = SoftwareCells();
    ASSERT_EQ(cells.size(), 1u);
    EXPECT_EQ(cells[0]->GetSoft()->name, "reloaded");
    EXPECT_EQ(LoadNoticeText(List("softlist")), "");
    EXPECT_EQ(m_server.CountRequests("/F"), 2);
}

TEST_F(CatalogueMainWindow, AFailedLoadSaysSoAndTheTabTriesAgain) {
    struct Case {
        const char* tab;
        const char* otherTab;
        const char* route;
        const char* list;
    };
    for (const Case& c : {Case{"wd", "rj", "/D", "filelist"}, Case{"rj", "wd", "/F", "softlist"}}) {
        ASSERT_TRUE(m_server.SetFault(c.route, "mode=status&code=500&count=1", "<html>busy</html>"));
        SelectTab(c.tab);
        EXPECT_TRUE(PumpMessagesUntil([&] { return LoadNoticeText(List(c.list)) == kLoadFailedText; }, 10000)) << c.tab;
        SelectTab(c.otherTab);
        SelectTab(c.tab);
        EXPECT_TRUE(PumpMessagesUntil([&] { return List(c.list)->GetCount() > 1; }, 10000)) << c.tab;
        EXPECT_EQ(LoadNoticeText(List(c.list)), "") << c.tab;
        ASSERT_TRUE(PumpMessagesUntil([] { return RunningBackgroundWork() == 0; }, 20000));
    }
}

}  // namespace
