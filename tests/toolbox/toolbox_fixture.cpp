#include "tests/toolbox/toolbox_fixture.h"

#include "shared/com_helpers.h"
#include "tests/support/gui_driver.h"
#include "tests/support/wait.h"
#include "toolbox/browser_navigation.h"
#include "toolbox/catalogue/downloads.h"
#include "toolbox/catalogue/user_shell.h"
#include "toolbox/catalogue/worker_results.h"

#include <gtest/gtest.h>
#include <shellapi.h>

#include <cstdlib>
#include <cstring>

void UseBuiltSkin() {
    CPaintManagerUI::SetResourcePath((TestProgramDir() + "\\").c_str());
    CPaintManagerUI::SetResourceZip("skin.zip", false);
}

NavigationLog::NavigationLog() {
    SetNavigationObserver([this](CWebBrowserUI* browser, const std::string& url) {
        m_entries.push_back({browser, url});
    });
}

NavigationLog::~NavigationLog() { SetNavigationObserver(nullptr); }

std::vector<std::string> NavigationLog::UrlsOf(const CWebBrowserUI* browser) const {
    std::vector<std::string> urls;
    for (const Entry& entry : m_entries) {
        if (entry.browser == browser) urls.push_back(entry.url);
    }
    return urls;
}

long IdNumberOf(const std::string& url) {
    const size_t at = url.rfind("&id=");
    if (at == std::string::npos || at + 4 >= url.size()) return -1;
    const std::string digits = url.substr(at + 4);
    if (digits.find_first_not_of("0123456789") != std::string::npos) return -1;
    return std::strtol(digits.c_str(), nullptr, 10);
}

LRESULT CatalogueRecorder::OnDownloadMessage(CPaintManagerUI& paintManager, WPARAM code, LPARAM job) {
    return ::OnDownloadMessage(paintManager, code, job);
}

TestVeltrin::~TestVeltrin() {
    if (destroyedFlag != nullptr) *destroyedFlag = true;
}

int TestVeltrin::CountOf(const std::string& operation) const {
    int count = 0;
    for (const Call& call : calls) count += call.operation == operation ? 1 : 0;
    return count;
}

RECT TestVeltrin::RectOf(const char* name) {
    CControlUI* control = m_paintManager.FindControl(name);
    return control != nullptr ? control->GetPos() : RECT{0, 0, 0, 0};
}

namespace {

struct ClassAndName {
    const char* className;
    const char* name;  // null: any
};

CControlUI* CALLBACK MatchClassAndName(CControlUI* control, void* data) {
    const auto* wanted = static_cast<const ClassAndName*>(data);
    if (std::strcmp(control->GetClass(), wanted->className) != 0) return nullptr;
    if (wanted->name != nullptr && control->GetName() != wanted->name) return nullptr;
    return control;
}

}  // namespace

COptionUI* TestVeltrin::Option(const char* name) {
    CControlUI* root = m_paintManager.GetRoot();
    if (root == nullptr) return nullptr;
    ClassAndName wanted{"Option", name};
    CControlUI* found = root->FindControl(MatchClassAndName, &wanted, UIFIND_ALL);
    return found != nullptr ? static_cast<COptionUI*>(found->GetInterface("Option")) : nullptr;
}

CControlUI* TestVeltrin::FirstOfClass(const char* className) {
    CControlUI* root = m_paintManager.GetRoot();
    if (root == nullptr) return nullptr;
    ClassAndName wanted{className, nullptr};
    return root->FindControl(MatchClassAndName, &wanted, UIFIND_ALL | UIFIND_ME_FIRST);
}

int TestVeltrin::CurrentPage() {
    CControlUI* tabs = m_paintManager.FindControl("switch");
    if (tabs == nullptr) return -1;
    return static_cast<CTabLayoutUI*>(tabs->GetInterface("TabLayout"))->GetCurSel();
}

LPARAM AltF4KeyData() {
    constexpr LPARAM kAltHeld = 1 << 29;
    return kAltHeld | (static_cast<LPARAM>(::MapVirtualKeyA(VK_F4, MAPVK_VK_TO_VSC)) << 16) | 1;
}

void CloseTestWindow(HWND window) {
    if (window == nullptr || !::IsWindow(window)) return;
    ::DestroyWindow(window);
    WaitForQuitMessage(500);
}

bool TrayIconPresent(HWND window, UINT id) {
    NOTIFYICONDATAA probe{};
    probe.cbSize = sizeof(probe);
    probe.hWnd = window;
    probe.uID = id;
    probe.uFlags = 0;
    return ::Shell_NotifyIconA(NIM_MODIFY, &probe) != FALSE;
}

namespace {

struct MenuSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK VisitTopLevel(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<MenuSearch*>(data);
    char className[16] = {};
    ::GetClassNameA(window, className, sizeof(className));
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (std::strcmp(className, "#32768") == 0 && owner == search->processId && ::IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND FindPopupMenu(DWORD processId) {
    MenuSearch search{processId, nullptr};
    ::EnumWindows(VisitTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

PopupMenuDriver::PopupMenuDriver(DWORD processId, Action action)
    : m_processId(processId), m_action(action), m_thread([this] { Run(); }) {}

PopupMenuDriver::~PopupMenuDriver() { Finish(); }

bool PopupMenuDriver::Finish() {
    if (m_thread.joinable()) m_thread.join();
    return m_seen;
}

void PopupMenuDriver::Run() {
    HWND menuWindow = nullptr;
    if (!WaitUntil([&] { return (menuWindow = FindPopupMenu(m_processId)) != nullptr; }, 10000)) return;
    m_seen = true;
    DWORD_PTR result = 0;
    if (::SendMessageTimeoutA(menuWindow, MN_GETHMENU, 0, 0, SMTO_ABORTIFHUNG, 5000, &result) && result != 0) {
        const HMENU menu = reinterpret_cast<HMENU>(result);
        char text[64] = {};
        ::GetMenuStringA(menu, 0, text, sizeof(text), MF_BYPOSITION);
        m_text = text;
        m_id = ::GetMenuItemID(menu, 0);
    }
    if (m_action == Action::ChooseFirstItem) {
        ::PostMessageA(menuWindow, WM_KEYDOWN, VK_DOWN, 0);
        ::PostMessageA(menuWindow, WM_KEYDOWN, VK_RETURN, 0);
    } else {
        ::PostMessageA(menuWindow, WM_KEYDOWN, VK_ESCAPE, 0);
    }
}

WorkerResultsTestWindow::WorkerResultsTestWindow()
    : m_window([](UINT message, WPARAM, LPARAM) {
          if (message != WM_WORKERRESULTS) return false;
          ApplyWorkerResults([](WPARAM, LPARAM) {});
          return true;
      }) {
    OpenWorkerResults(m_window.Window());
}

WorkerResultsTestWindow::~WorkerResultsTestWindow() { CloseWorkerResults(m_window.Window()); }

bool WaitForDesktopShell() {
    ComScope com;
    std::string why;
    const bool answers = PumpMessagesUntil([&] { return DesktopShell(&why) != nullptr; }, 20000);
    EXPECT_TRUE(answers) << why;
    return answers;
}
