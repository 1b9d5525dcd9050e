#pragma once
// The main window: caption buttons, the tab layout "switch" with the embedded browser, the
// software catalogue and the document catalogue, the rows of those catalogues, and the
// tray icon it hides into.

#include "frame/skinned_window.h"
#include "shared/unique_handle.h"
#include "toolbox/catalogue_actions.h"
#include "toolbox/computer_examine.h"
#include "toolbox/web_event_handler.h"

#include <shellapi.h>

#include <memory>
#include <string>

inline constexpr int kMainWindowWidth = 800;
inline constexpr int kMainWindowHeight = 572;

// Messages of the main window besides WM_USER (download codes) and WM_WORKERRESULTS
// (worker_results.h).
inline constexpr UINT WM_APPENDSOFTWAREROW = WM_USER + 50;  // lParam: a row control
inline constexpr UINT WM_TRAYNOTIFY = WM_USER + 101;        // the tray icon's callback
inline constexpr UINT IDM_TRAY_EXIT = WM_USER + 102;        // the tray menu's "退出"
inline constexpr UINT kTrayIconResource = 208;

// Tab pages of "switch".
enum MainPage { kBrowserPage = 0, kSoftwarePage = 1, kDocumentPage = 2 };

class Veltrin : public SkinnedWindow {
public:
    // With the catalogue actions the program runs.
    Veltrin();
    // With other catalogue actions in their place; never null.
    explicit Veltrin(std::unique_ptr<CatalogueActions> catalogueActions);
    ~Veltrin() override;

    // A new main window, created, centred and shown; null on failure.
    static Veltrin* CreateMain();
    // Creates, centres and shows this object's window and records its handle as the main
    // window. On failure the caller still owns the object.
    bool Open();

    // The close button: the tray icon is added (once) and the window hidden, only when the
    // icon is present in the notification area.
    void AddTrayIconAndHide();
    // Explorer (re)started: an icon that had been added is added again.
    void OnTaskbarCreated();
    // The tray icon's mouse messages (lParam). Always handled; result 0.
    LRESULT OnTrayNotify(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    // Takes an offered row control into "softlist" under the next "rowIndex" name.
    LRESULT OnAppendSoftwareRow(CControlUI* row);

    bool HasTrayIcon() const { return m_trayIconAdded; }
    const NOTIFYICONDATAA& TrayData() const { return m_trayData; }
    int RowCounter() const { return m_rowCounter; }
    CWebBrowserUI* Browser() const { return m_pBrowser; }

protected:
    const char* GetWindowClassName() const override;
    const char* LayoutFileName() const override { return "skin.xml"; }
    IDialogBuilderCallback* BuilderCallback() override { return &m_builderCallback; }
    void InitWindow() override;
    LRESULT HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    void Notify(TNotifyUI& msg) override;

    CControlUI* m_pCloseBtn = nullptr;
    CControlUI* m_pMaxBtn = nullptr;
    CControlUI* m_pRestoreBtn = nullptr;
    CControlUI* m_pMinBtn = nullptr;
    CControlUI* m_pSearchSoftBtn = nullptr;
    // Looked up with the others; clicks on them do nothing.
    CControlUI* m_pSearchSoft2Btn = nullptr;
    CControlUI* m_pSearchFileBtn = nullptr;
    CContainerUI* m_pSoftList = nullptr;
    CContainerUI* m_pFileList = nullptr;
    CControlUI* m_pSoftKey = nullptr;
    NOTIFYICONDATAA m_trayData{};
    CWebBrowserUI* m_pBrowser = nullptr;
    int m_rowCounter = 0;

private:
    // Clicks go by the buttons looked up, then by the rows' names; tab choices by the
    // option's name (tables in main_window.cpp).
    void OnClick(CControlUI* sender);
    void OnSoftwareRowClick(CControlUI* row);
    void OnDocumentRowClick(CControlUI* row);
    void OnTabSelected(CControlUI* sender);
    void ReloadSoftwareUnlessDownloading();
    void OpenPortal();
    void ShowHomePage();
    void ShowSoftwarePage();
    void ShowDocumentPage();
    void ShowLinksPage();
    void SelectPage(MainPage page);
    void ShowBrowserPage(const std::string& urlPrefix);
    void ShowTrayMenu();
    bool AddTrayIcon();
    void RemoveTrayIcon();

    bool m_trayIconAdded = false;
    // Freed with the window object, after the icon has left the notification area.
    UniqueHandle<NullableHandleTraits<HICON, ::DestroyIcon>> m_trayIcon;
    bool m_secondPressOfDoubleClick = false;
    CDialogBuilderCallbackEx m_builderCallback;
    std::unique_ptr<CCustomWebEventHandler> m_pBrowserEvents;
    std::unique_ptr<CatalogueActions> m_pCatalogueActions;
};

// The message Explorer broadcasts when it starts and the notification area is new.
UINT TaskbarCreatedMessage();

// A component of this program that hands the main window a row with WM_APPENDSOFTWAREROW
// offers it here first; the window takes no other pointer from that message.
void OfferSoftwareRow(CControlUI* row);

// The control as a container ("softlist", "filelist"), or null.
CContainerUI* AsContainer(CControlUI* control);
