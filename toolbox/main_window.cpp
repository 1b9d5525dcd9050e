#include "toolbox/main_window.h"

#include "shared/diagnostic_log.h"
#include "shared/files.h"
#include "shared/http.h"
#include "toolbox/browser_navigation.h"
#include "toolbox/catalogue/background_work.h"
#include "toolbox/catalogue/catalogue_loads.h"
#include "toolbox/catalogue/download_files.h"
#include "toolbox/catalogue/download_registry.h"
#include "toolbox/catalogue/worker_results.h"
#include "toolbox/startup.h"
#include "toolbox/toolbox_values.h"

#include <shellapi.h>

#include <mutex>
#include <set>

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

Veltrin::Veltrin() = default;

Veltrin::~Veltrin() {
    // The paint manager, and the browser with it, goes after this object's members.
    if (m_pBrowser != nullptr) m_pBrowser->SetWebBrowserEventHandler(nullptr);
}

const char* Veltrin::GetWindowClassName() const { return kMainWindowClass; }

Veltrin* Veltrin::CreateMain() {
    auto* window = new Veltrin;
    if (!window->Open()) {
        delete window;
        return nullptr;
    }
    return window;
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
    SetProgressTargetWindow(m_hWnd);
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
        m_browserEvents = std::make_unique<CCustomWebEventHandler>();
        m_pBrowser->SetWebBrowserEventHandler(m_browserEvents.get());
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
        return OnDownloadMessage(wParam, lParam);
    case WM_WORKERRESULTS:
        ApplyWorkerResults([this](WPARAM code, LPARAM job) { OnDownloadMessage(code, job); });
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
    case WM_ENDSESSION:
        // Logoff ends the process after this; the downloads let go of their files first.
        if (wParam) {
            StopBackgroundWork();
            FinishDownloadsForExit(kDownloadExitWaitMilliseconds);
        }
        handled = false;
        return 0;
    case WM_DESTROY:
        // The icon would otherwise stay in the tray until the mouse passes over it.
        RemoveTrayIcon();
        // Results still on their way find no window to apply them to.
        CloseWorkerResults(m_hWnd);
        if (Toolbox().MainWindowHandle == m_hWnd) Toolbox().MainWindowHandle = nullptr;
        if (ProgressTargetWindow() == m_hWnd) SetProgressTargetWindow(nullptr);
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
    } else if (sender == m_pMinBtn) {
        SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
    } else if (sender == m_pMaxBtn) {
        SendMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    } else if (sender == m_pRestoreBtn) {
        SendMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
    } else if (sender == m_pSearchSoftBtn) {
        if (RunningSoftwareDownloads() <= 0) LoadSoftwareCatalogue();
    } else {
        const CDuiString name = sender->GetName();
        if (m_secondPressOfDoubleClick && (name.Find("rowIndex") >= 0 || name.Find("fileIndex") >= 0)) return;
        if (name.Find("rowIndex") >= 0) {
            OnSoftwareRowClick(name);
        } else if (name.Find("fileIndex") >= 0) {
            OnDocumentRowClick(name);
        }
    }
}

void Veltrin::OnSoftwareRowClick(const CDuiString& name) {
    // A list rebuilt since the click leaves nothing to act on.
    SkinSoftListControl* row = AsSoftwareRow(m_paintManager.FindControl(name));
    if (row == nullptr || row->GetSoft() == nullptr) return;
    DuiSoft& entry = *row->GetSoft();
    std::string packagePath;
    switch (entry.state.load()) {
    case NotDownloaded:
        StartSoftwareDownload(row);
        break;
    case Downloaded:
        if (ServerNamedFileExists(PackageDirectory(), entry.downName, &packagePath)) OpenLocalFile(packagePath);
        break;
    case Installed:
        LaunchInstalledProgram(entry);
        break;
    case UpdateAvailable:
        if (ServerNamedFileExists(PackageDirectory(), entry.downName, &packagePath)) {
            OpenLocalFile(packagePath);
        } else {
            StartSoftwareDownload(row);
        }
        break;
    case Downloading:
        CancelSoftwareDownload(row);
        break;
    default:
        break;
    }
}

void Veltrin::OnDocumentRowClick(const CDuiString& name) {
    FileListControl* row = AsDocumentRow(m_paintManager.FindControl(name));
    if (row == nullptr || row->GetFile() == nullptr) return;
    const DuiFile& item = *row->GetFile();
    switch (item.type) {
    case 0:
    case 10: {
        // The load empties the list, and the record with it: the id is copied first.
        const std::string folderId = item.id;
        LoadDocumentCatalogue(folderId);
        break;
    }
    case 1: {
        std::string documentPath;
        if (ServerNamedFileExists(DocumentDirectory(), item.name, &documentPath)) {
            OpenLocalFile(documentPath);
        } else {
            StartDocumentDownload(row);
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
    const CDuiString name = sender->GetName();
    if (name == "extlink") {
        ::ShellExecuteA(nullptr, "open", Toolbox().PortalUrl.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    } else if (name == "sy") {
        ShowBrowserPage(Toolbox().HomeUrlPrefix);
    } else if (name == "rj") {
        SelectPage(kSoftwarePage);
        if (RunningSoftwareDownloads() <= 0) LoadSoftwareCatalogue();
    } else if (name == "wd") {
        SelectPage(kDocumentPage);
        // Empty, or a failed load that the user tries again; never while a load runs.
        if (ListAwaitsLoad(m_pFileList)) LoadDocumentCatalogue("0");
    } else if (name == "wz") {
        ShowBrowserPage(Toolbox().LinksUrlPrefix);
    }
}

LRESULT Veltrin::OnAppendSoftwareRow(CControlUI* row) {
    // Any program can post this message: only a row this program offered is taken.
    if (row == nullptr || !TakeOfferedRow(row)) return 0;
    row->SetAttribute("height", "80");
    ++m_rowCounter;
    row->SetName(("rowIndex" + std::to_string(m_rowCounter)).c_str());
    if (m_pSoftList != nullptr) {
        m_pSoftList->Add(row);
    } else {
        delete row;  // handed over with the message, and no list to own it
    }
    if (m_pSoftKey != nullptr) m_pSoftKey->SetEnabled(true);
    return 0;
}
