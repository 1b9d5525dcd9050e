#pragma once
// What the toolbox tests arrange: registry values put back as they were, the process-wide
// values restored, the skin read from the built "skin.zip", every browser navigation
// recorded, and the main window with its catalogue operations recorded instead of run.

#include "tests/support/message_window.h"
#include "tests/support/registry.h"
#include "tests/support/temp_dir.h"
#include "toolbox/announcement_window.h"
#include "toolbox/main_window.h"
#include "toolbox/toolbox_values.h"

#include <windows.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

// Puts the process-wide values back at the end of a test.
class ToolboxValuesScope {
public:
    ToolboxValuesScope() : m_saved(Toolbox()) {}
    ~ToolboxValuesScope() { Toolbox() = m_saved; }

private:
    ToolboxValues m_saved;
};

// Layouts and images from the "skin.zip" the build packed beside the test program.
void UseBuiltSkin();

// Every address the windows ask their browsers for, in order.
class NavigationLog {
public:
    struct Entry {
        CWebBrowserUI* browser;
        std::string url;
    };
    NavigationLog();
    ~NavigationLog();
    NavigationLog(const NavigationLog&) = delete;
    NavigationLog& operator=(const NavigationLog&) = delete;

    std::vector<std::string> UrlsOf(const CWebBrowserUI* browser) const;
    size_t Count() const { return m_entries.size(); }
    void Clear() { m_entries.clear(); }

private:
    std::vector<Entry> m_entries;
};

// The number after "&id=" at the end of an address, or -1.
long IdNumberOf(const std::string& url);

// What the main window's rows and tabs lead to, recorded instead of run. The workers'
// download messages still get the real handling.
class CatalogueRecorder : public CatalogueActions {
public:
    struct Call {
        std::string operation;
        std::string argument;  // folder id or path, when there is one
        const void* subject;   // the row control or entry, when there is one
    };

    std::vector<Call> calls;
    int runningDownloads = 0;

    void LoadSoftwareCatalogue(CContainerUI*, int*) override {
        calls.push_back({"LoadSoftwareCatalogue", "", nullptr});
    }
    void LoadDocumentCatalogue(CContainerUI*, const std::string& folderId) override {
        calls.push_back({"LoadDocumentCatalogue", folderId, nullptr});
    }
    void StartSoftwareDownload(SkinSoftListControl* row) override {
        calls.push_back({"StartSoftwareDownload", "", row});
    }
    void CancelSoftwareDownload(SkinSoftListControl* row) override {
        calls.push_back({"CancelSoftwareDownload", "", row});
    }
    void StartDocumentDownload(FileListControl* row) override { calls.push_back({"StartDocumentDownload", "", row}); }
    void OpenDocument(const std::string& path, HWND) override { calls.push_back({"OpenDocument", path, nullptr}); }
    void OpenDownloadedPackage(SkinSoftListControl* row, const std::string& path) override {
        calls.push_back({"OpenDownloadedPackage", path, row});
    }
    void LaunchInstalledProgram(const DuiSoft& entry, HWND) override {
        calls.push_back({"LaunchInstalledProgram", "", &entry});
    }
    LRESULT OnDownloadMessage(CPaintManagerUI& paintManager, WPARAM code, LPARAM job) override;
    int RunningSoftwareDownloads() const override { return runningDownloads; }
};

// The main window with a catalogue recorder in place of its catalogue actions.
class TestVeltrin : public Veltrin {
public:
    using Call = CatalogueRecorder::Call;

    TestVeltrin() : TestVeltrin(new CatalogueRecorder) {}
    ~TestVeltrin() override;

    // The recorder's, which the window owns.
    std::vector<Call>& calls;
    int& runningDownloads;
    bool* destroyedFlag = nullptr;

    int CountOf(const std::string& operation) const;

    CContainerUI* SoftList() const { return m_pSoftList; }
    CContainerUI* FileList() const { return m_pFileList; }
    CControlUI* SoftKey() const { return m_pSoftKey; }
    CControlUI* CloseButton() { return m_paintManager.FindControl("closebtn"); }
    // The client rectangle of a named control (the first of that name), or an empty one.
    RECT RectOf(const char* name);
    // The tab option of that name (the browser "sy" comes first by name).
    COptionUI* Option(const char* name);
    // The first control of the tree with that class name.
    CControlUI* FirstOfClass(const char* className);
    int CurrentPage();

private:
    explicit TestVeltrin(CatalogueRecorder* recorder)
        : Veltrin(std::unique_ptr<CatalogueActions>(recorder)),
          calls(recorder->calls),
          runningDownloads(recorder->runningDownloads) {}
};

// Applies the workers' results on the thread that made it, as the main window does, for
// tests without a main window.
class WorkerResultsTestWindow {
public:
    WorkerResultsTestWindow();
    ~WorkerResultsTestWindow();

private:
    MessageOnlyWindow m_window;
};

// The key data of a WM_SYSKEYDOWN for F4 pressed with Alt held.
LPARAM AltF4KeyData();

// Destroys a test's window at the end and takes the quit request its destruction posts.
void CloseTestWindow(HWND window);

// Whether the tray holds the icon (window, id): asked with a modification that changes nothing.
bool TrayIconPresent(HWND window, UINT id = 0);

// The visible popup menu of a thread of this or another process, or null.
HWND FindPopupMenu(DWORD processId);

// Works the popup menu that the window thread opens next, from a thread of its own: notes
// its first item, then chooses that item or dismisses the menu (Escape).
class PopupMenuDriver {
public:
    enum class Action { ChooseFirstItem, Dismiss };
    PopupMenuDriver(DWORD processId, Action action);
    ~PopupMenuDriver();
    PopupMenuDriver(const PopupMenuDriver&) = delete;
    PopupMenuDriver& operator=(const PopupMenuDriver&) = delete;

    // After the thread has ended (call from the test thread once the menu is closed).
    bool Finish();
    bool menuSeen() const { return m_seen; }
    const std::string& firstItemText() const { return m_text; }
    UINT firstItemId() const { return m_id; }

private:
    void Run();

    DWORD m_processId;
    Action m_action;
    bool m_seen = false;
    std::string m_text;
    UINT m_id = 0;
    std::thread m_thread;
};

// Wine starts the desktop's shell (explorer.exe /desktop) with the prefix's first window,
// and it answers a moment later: tests that open through it wait for that first.
bool WaitForDesktopShell();
