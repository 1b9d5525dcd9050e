#include "toolbox/main_window.h"

#include "shared/background_work.h"
#include "shared/diagnostic_log.h"
#include "shared/files.h"
#include "shared/http.h"
#include "toolbox/browser_navigation.h"
#include "toolbox/catalogue/catalogue_loads.h"
#include "toolbox/catalogue/cell_grid.h"
#include "toolbox/catalogue/download_files.h"
#include "toolbox/catalogue/download_registry.h"
#include "toolbox/catalogue/user_shell.h"
#include "toolbox/catalogue/worker_results.h"
#include "toolbox/startup.h"
#include "toolbox/toolbox_values.h"

#include <shellapi.h>

#include <memory>
#include <mutex>
#include <set>
#include <utility>

namespace {

std::mutex g_offeredRowsLock;
std::set<CControlUI*> g_offeredRows;

bool TakeOfferedRow(CControlUI* row) {
    std::lock_guard<std::mutex> hold(g_offeredRowsLock);
    return g_offeredRows.erase(row) != 0;
}

// True, with its path, when the file the server named exists in the folder. A name that
// is not a plain file name reaches nothing: the program runs as administrator, and such a
// name could open or start a file elsewhere, a device, or another file a pattern matches.
bool ServerNamedFileExists(const std::string& folder, const std::string& name, std::string* path) {
    if (!IsDownloadName(name)) {
        LogLine("refused the server's file name \"%s\" at a click", name.c_str());
        return false;
    }
    *path = folder + "\\" + name;
    return FileExists(*path);
}

CTabLayoutUI* AsTabLayout(CControlUI* control) {
    return control != nullptr ? static_cast<CTabLayoutUI*>(control->GetInterface("TabLayout")) : nullptr;
}

SkinSoftListControl* AsSoftwareRow(CControlUI* control) {
    return control != nullptr ? static_cast<SkinSoftListControl*>(control->GetInterface("SoftListItem")) : nullptr;
}

FileListControl* AsDocumentRow(CControlUI* control) {
    return control != nullptr ? static_cast<FileListControl*>(control->GetInterface("FileListItem")) : nullptr;
}

// A control name and what it leads to.
template <typename Action>
struct NamedRoute {
    const char* name;
    Action action;
};

// The route whose name is the control's whole name, or null.
template <typename Action, size_t N>
const NamedRoute<Action>* RouteNamed(const NamedRoute<Action> (&routes)[N], const CDuiString& name) {
    for (const NamedRoute<Action>& route : routes) {
        if (name == route.name) return &route;
    }
    return nullptr;
}

// The route whose name is part of the control's name (the rows' names carry a number), or null.
template <typename Action, size_t N>
const NamedRoute<Action>* RouteWithin(const NamedRoute<Action> (&routes)[N], const CDuiString& name) {
    for (const NamedRoute<Action>& route : routes) {
        if (name.Find(route.name) >= 0) return &route;
    }
    return nullptr;
}

}  // namespace

void OfferSoftwareRow(CControlUI* row) {
    std::lock_guard<std::mutex> hold(g_offeredRowsLock);
    g_offeredRows.insert(row);
}

CContainerUI* AsContainer(CControlUI* control) {
    // Every container of the library derives from CContainerUI.
    if (control == nullptr || control->GetInterface("Container") == nullptr) return nullptr;
    return static_cast<CContainerUI*>(control);
}

Veltrin::Veltrin() : Veltrin(MakeCatalogueActions()) {}

Veltrin::Veltrin(std::unique_ptr<CatalogueActions> catalogueActions)
    : m_pCatalogueActions(std::move(catalogueActions)) {}

Veltrin::~Veltrin() {
    // The paint manager, and the browser with it, goes after this object's members.
    if (m_pBrowser != nullptr) m_pBrowser->SetWebBrowserEventHandler(nullptr);
}

const char* Veltrin::GetWindowClassName() const { return kMainWindowClass; }

Veltrin* Veltrin::CreateMain() {
    auto window = std::make_unique<Veltrin>();
    if (!window->Open()) return nullptr;
    return window.release();  // from here the window deletes itself on its final message
}

bool Veltrin::Open() {
    if (Create(nullptr, kWindowTitle, WS_VISIBLE | WS_OVERLAPPEDWINDOW, WS_EX_WINDOWEDGE, 0, 0, kMainWindowWidth,
               kMainWindowHeight) == nullptr) {
        return false;
    }
    CenterWindow();
    SetIcon(kTrayIconResource);
    Toolbox().MainWindowHandle = m_hWnd;
    // The workers report to this window.
    OpenWorkerResults(m_hWnd);
    // Explorer runs without elevation; its broadcast must reach this elevated window.
    ::ChangeWindowMessageFilterEx(m_hWnd, TaskbarCreatedMessage(), MSGFLT_ALLOW, nullptr);
    ::ShowWindow(m_hWnd, SW_SHOW);
    return true;
}

void Veltrin::InitWindow() {
    m_pCloseBtn = m_paintManager.FindControl("closebtn");
    m_pMaxBtn = m_paintManager.FindControl("maxbtn");
    m_pRestoreBtn = m_paintManager.FindControl("restorebtn");
    m_pMinBtn = m_paintManager.FindControl("minbtn");
    m_pSearchSoftBtn = m_paintManager.FindControl("seachsoft");
    m_pSearchSoft2Btn = m_paintManager.FindControl("seachsoft2");
    m_pSearchFileBtn = m_paintManager.FindControl("seachfile");
    m_pSoftList = AsContainer(m_paintManager.FindControl("softlist"));
    m_pFileList = AsContainer(m_paintManager.FindControl("filelist"));
    m_pSoftKey = m_paintManager.FindControl("softkey");
    // The tab option shares the name; the layout puts the browser first.
    m_pBrowser = AsWebBrowser(m_paintManager.FindControl("sy"));

    if (m_pBrowser != nullptr) {
        m_pBrowserEvents = std::make_unique<CCustomWebEventHandler>();
        m_pBrowser->SetWebBrowserEventHandler(m_pBrowserEvents.get());
        m_pBrowser->SetHomePage((Toolbox().HomeUrlPrefix + Toolbox().TaxCode).c_str());
        NavigateBrowser(m_pBrowser, kBlankPage);
        NavigateBrowserHome(m_pBrowser);
    }
}

LRESULT Veltrin::HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    if (message == TaskbarCreatedMessage()) {
        OnTaskbarCreated();
        return 0;
    }
    switch (message) {
    case WM_USER:
        return m_pCatalogueActions->OnDownloadMessage(m_paintManager, wParam, lParam);
    case WM_WORKERRESULTS:
        ApplyWorkerResults(
            [this](WPARAM code, LPARAM job) { m_pCatalogueActions->OnDownloadMessage(m_paintManager, code, job); });
        return 0;
    case WM_APPENDSOFTWAREROW:
        OnAppendSoftwareRow(reinterpret_cast<CControlUI*>(lParam));
        return 0;
    case WM_TRAYNOTIFY:
        OnTrayNotify(message, wParam, lParam, handled);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        // The release that completes a double click would click the row a second time: a
        // cancel of the download the first click started, or whatever a rebuilt list holds there.
        m_secondPressOfDoubleClick = message == WM_LBUTTONDBLCLK;
        handled = false;
        return 0;
    case WM_LBUTTONUP: {
        // Only the release of that press: Enter, Space or a screen reader's action later is
        // a click again.
        const LRESULT result = DefaultHandling(message, wParam, lParam);
        m_secondPressOfDoubleClick = false;
        return result;
    }
    case WM_ENDSESSION:
        // Logoff ends the process after this; the downloads let go of their files first.
        if (wParam) {
            StopDownloadsForExit();
            StopBackgroundWork();
            WaitForBackgroundWork(kBackgroundExitWaitMilliseconds);
        }
        handled = false;
        return 0;
    case WM_DESTROY:
        // The icon would otherwise stay in the tray until the mouse passes over it.
        RemoveTrayIcon();
        // Results still on their way find no window to apply them to.
        CloseWorkerResults(m_hWnd);
        if (Toolbox().MainWindowHandle == m_hWnd) Toolbox().MainWindowHandle = nullptr;
        handled = false;
        return 0;
    default:
        handled = false;
        return 0;
    }
}

void Veltrin::Notify(TNotifyUI& msg) {
    if (msg.pSender == nullptr) return;
    if (msg.sType == "click") {
        OnClick(msg.pSender);
    } else if (msg.sType == "selectchanged") {
        OnTabSelected(msg.pSender);
    }
}

void Veltrin::OnClick(CControlUI* sender) {
    if (sender == m_pCloseBtn) {
        AddTrayIconAndHide();
        return;
    }
    // The frame sends the caption buttons' system commands, as for its other windows.
    if (sender == m_pMinBtn || sender == m_pMaxBtn || sender == m_pRestoreBtn) {
        HandleCaptionButtonClick(*this, sender->GetName());
        return;
    }
    if (sender == m_pSearchSoftBtn) {
        ReloadSoftwareUnlessDownloading();
        return;
    }
    if (sender == m_pSearchSoft2Btn || sender == m_pSearchFileBtn) return;
    static constexpr NamedRoute<void (Veltrin::*)(CControlUI*)> kRows[] = {
        {"rowIndex", &Veltrin::OnSoftwareRowClick},
        {"fileIndex", &Veltrin::OnDocumentRowClick},
    };
    // A double click's second press is no second click on a row (see WM_LBUTTONDBLCLK).
    const auto* route = RouteWithin(kRows, sender->GetName());
    if (route != nullptr && !m_secondPressOfDoubleClick) (this->*route->action)(sender);
}

void Veltrin::OnSoftwareRowClick(CControlUI* control) {
    // Only a software cell holds an entry; another control may carry the name.
    SkinSoftListControl* row = AsSoftwareRow(control);
    if (row == nullptr || row->GetSoft() == nullptr) return;
    DuiSoft& entry = *row->GetSoft();
    std::string packagePath;
    switch (entry.state.load()) {
    case NotDownloaded:
        m_pCatalogueActions->StartSoftwareDownload(row);
        break;
    case Downloaded:
        if (ServerNamedFileExists(PackageDirectory(), entry.downName, &packagePath)) {
            m_pCatalogueActions->OpenDownloadedPackage(row, packagePath);
        }
        break;
    case Installed:
        m_pCatalogueActions->LaunchInstalledProgram(entry, m_hWnd);
        break;
    case UpdateAvailable:
        if (ServerNamedFileExists(PackageDirectory(), entry.downName, &packagePath)) {
            m_pCatalogueActions->OpenDownloadedPackage(row, packagePath);
        } else {
            m_pCatalogueActions->StartSoftwareDownload(row);
        }
        break;
    case Downloading:
        m_pCatalogueActions->CancelSoftwareDownload(row);
        break;
    default:
        break;
    }
}

void Veltrin::OnDocumentRowClick(CControlUI* control) {
    FileListControl* row = AsDocumentRow(control);
    if (row == nullptr || row->GetFile() == nullptr) return;
    const DuiFile& item = *row->GetFile();
    switch (item.type) {
    case 0:
    case 10: {
        // The load empties the list, and the record with it: the id is copied first.
        const std::string folderId = item.id;
        m_pCatalogueActions->LoadDocumentCatalogue(m_pFileList, folderId);
        break;
    }
    case 1: {
        std::string documentPath;
        if (ServerNamedFileExists(DocumentDirectory(), item.name, &documentPath)) {
            m_pCatalogueActions->OpenDocument(documentPath, m_hWnd);
        } else {
            m_pCatalogueActions->StartDocumentDownload(row);
        }
        break;
    }
    default:
        break;
    }
}

void Veltrin::SelectPage(MainPage page) {
    if (CTabLayoutUI* tabs = AsTabLayout(m_paintManager.FindControl("switch"))) tabs->SelectItem(page, true);
}

void Veltrin::ShowBrowserPage(const std::string& urlPrefix) {
    SelectPage(kBrowserPage);
    if (m_pBrowser != nullptr) NavigateFresh(m_pBrowser, urlPrefix + Toolbox().TaxCode + CacheBreakingSuffix());
}

void Veltrin::OnTabSelected(CControlUI* sender) {
    static constexpr NamedRoute<void (Veltrin::*)()> kTabs[] = {
        {"extlink", &Veltrin::OpenPortal},    {"sy", &Veltrin::ShowHomePage},
        {"rj", &Veltrin::ShowSoftwarePage},   {"wd", &Veltrin::ShowDocumentPage},
        {"wz", &Veltrin::ShowLinksPage},
    };
    if (const auto* tab = RouteNamed(kTabs, sender->GetName())) (this->*tab->action)();
}

void Veltrin::ReloadSoftwareUnlessDownloading() {
    if (m_pCatalogueActions->RunningSoftwareDownloads() <= 0) {
        m_pCatalogueActions->LoadSoftwareCatalogue(m_pSoftList, &m_rowCounter);
    }
}

void Veltrin::OpenPortal() {
    // A browser started from here would run as administrator.
    OpenAsUser(Toolbox().PortalUrl, m_hWnd);
}

void Veltrin::ShowHomePage() { ShowBrowserPage(Toolbox().HomeUrlPrefix); }

void Veltrin::ShowSoftwarePage() {
    SelectPage(kSoftwarePage);
    ReloadSoftwareUnlessDownloading();
}

void Veltrin::ShowDocumentPage() {
    SelectPage(kDocumentPage);
    // Empty, or a failed load that the user tries again; never while a load runs.
    if (ListAwaitsLoad(m_pFileList)) m_pCatalogueActions->LoadDocumentCatalogue(m_pFileList, "0");
}

void Veltrin::ShowLinksPage() { ShowBrowserPage(Toolbox().LinksUrlPrefix); }

LRESULT Veltrin::OnAppendSoftwareRow(CControlUI* row) {
    // Any program can post this message: only a row this program offered is taken.
    if (row == nullptr || !TakeOfferedRow(row)) return 0;
    row->SetAttribute("height", "80");
    ++m_rowCounter;
    row->SetName(("rowIndex" + std::to_string(m_rowCounter)).c_str());
    // Its download's codes find it by its id, as they find a catalogue's cells.
    row->SetTag(ReserveCellIds(1));
    if (m_pSoftList != nullptr) {
        m_pSoftList->Add(row);
    } else {
        delete row;  // handed over with the message, and no list to own it
    }
    if (m_pSoftKey != nullptr) m_pSoftKey->SetEnabled(true);
    return 0;
}
