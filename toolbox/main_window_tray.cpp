// The main window's tray icon: the close button hides the window into it, a left click
// shows the window again, and its menu ends the program.
#include "toolbox/main_window.h"

#include "shared/diagnostic_log.h"
#include "shared/unique_handle.h"
#include "shared/win32_result.h"
#include "toolbox/startup.h"

#include <shellapi.h>

#include <cstring>

namespace {

using UniqueMenu = UniqueHandle<NullableHandleTraits<HMENU, ::DestroyMenu>>;

constexpr char kTrayExitText[] = "退出";

// The shipped 32-bit program hands the shell the full record, 508 bytes.
static_assert(sizeof(void*) != 4 || sizeof(NOTIFYICONDATAA) == 508, "NOTIFYICONDATAA of the 32-bit build");

}  // namespace

bool Veltrin::AddTrayIcon() {
    std::memset(&m_trayData, 0, sizeof(m_trayData));
    m_trayData.cbSize = sizeof(m_trayData);
    m_trayData.hWnd = m_hWnd;
    m_trayData.uID = 0;
    m_trayData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_trayData.uCallbackMessage = WM_TRAYNOTIFY;
    // The notification area shows icons in the system's small size: the icon's own image of
    // that size, not the big one shrunk by the shell.
    if (!m_trayIcon) {
        m_trayIcon.reset(static_cast<HICON>(::LoadImageA(::GetModuleHandleA(nullptr),
                                                         MAKEINTRESOURCEA(kTrayIconResource), IMAGE_ICON,
                                                         ::GetSystemMetrics(SM_CXSMICON),
                                                         ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR)));
    }
    m_trayData.hIcon = m_trayIcon.get();
    std::strcpy(m_trayData.szTip, kWindowTitle);
    // A second click finds the icon there already: the add fails, and a change to the icon
    // that succeeds shows it is still present.
    const Win32Result shown = ::Shell_NotifyIconA(NIM_ADD, &m_trayData)
                                  ? Win32Result()
                                  : Win32Result::Of(::Shell_NotifyIconA(NIM_MODIFY, &m_trayData));
    if (shown) {
        m_trayIconAdded = true;
        return true;
    }
    LogLine("the tray icon could not be added (error %lu)", shown.Code());
    return false;
}

void Veltrin::AddTrayIconAndHide() {
    // Without an icon to click the hidden window could never be shown again.
    if (AddTrayIcon()) ShowWindow(false, true);
}

void Veltrin::OnTaskbarCreated() {
    // A restarted Explorer has forgotten every icon.
    if (!m_trayIconAdded) return;
    if (!AddTrayIcon() && !::IsWindowVisible(m_hWnd)) ShowWindow(true, true);
}

UINT TaskbarCreatedMessage() {
    static const UINT message = ::RegisterWindowMessageA("TaskbarCreated");
    return message;
}

LRESULT Veltrin::OnTrayNotify(UINT, WPARAM, LPARAM lParam, bool& handled) {
    handled = true;
    switch (static_cast<UINT>(lParam)) {
    case WM_LBUTTONDOWN:
        ShowWindow(true, true);
        break;
    case WM_RBUTTONDOWN:
        ShowTrayMenu();
        break;
    default:
        break;
    }
    return 0;
}

void Veltrin::ShowTrayMenu() {
    POINT cursor{};
    ::GetCursorPos(&cursor);
    // Without the foreground the menu would not close when the user clicks elsewhere.
    ::SetForegroundWindow(m_hWnd);
    UniqueMenu menu(::CreatePopupMenu());
    if (!menu) return;
    ::AppendMenuA(menu.get(), MF_STRING, IDM_TRAY_EXIT, kTrayExitText);
    const UINT command = static_cast<UINT>(
        ::TrackPopupMenu(menu.get(), TPM_RETURNCMD, cursor.x, cursor.y, 0, m_hWnd, nullptr));
    if (command == IDM_TRAY_EXIT) {
        RemoveTrayIcon();
        ::PostQuitMessage(0);
    }
}

void Veltrin::RemoveTrayIcon() {
    if (!m_trayIconAdded) return;
    m_trayData.hIcon = nullptr;
    ::Shell_NotifyIconA(NIM_DELETE, &m_trayData);
    m_trayIconAdded = false;
}
