// The test display has no window manager, and Wine waits two seconds for one whenever a
// window it thinks is managed goes away: every hide and destruction of the product's
// windows, and the hiding of Wine's own stand-alone tray when its last icon is removed.
// Most of this program's run time went there, so for this program's run:
// - before the first window exists, Wine's X11 driver is told for this program alone that
//   nothing is managed (the setting goes again when the program ends);
// - an icon of the program's own, on a hidden window, keeps the tray open while the tests
//   add and remove theirs.
// On Windows neither is needed, and the first is skipped.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace {

bool RunningUnderWine() {
    const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::string ProgramFileName() {
    char path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string full(path, length < MAX_PATH ? length : 0);
    const size_t separator = full.find_last_of("\\/");
    return separator == std::string::npos ? full : full.substr(separator + 1);
}

class UnmanagedWindows {
public:
    UnmanagedWindows() {
        if (!RunningUnderWine()) return;
        const std::string program = ProgramFileName();
        if (program.empty()) return;
        m_programKey = "Software\\Wine\\AppDefaults\\" + program;
        HKEY existing = nullptr;
        if (::RegOpenKeyExA(HKEY_CURRENT_USER, m_programKey.c_str(), 0, KEY_READ, &existing) == ERROR_SUCCESS) {
            // Someone else's settings for this program: leave them be.
            ::RegCloseKey(existing);
            m_programKey.clear();
            return;
        }
        HKEY driver = nullptr;
        if (::RegCreateKeyExA(HKEY_CURRENT_USER, (m_programKey + "\\X11 Driver").c_str(), 0, nullptr, 0, KEY_WRITE,
                              nullptr, &driver, nullptr) != ERROR_SUCCESS) {
            m_programKey.clear();
            return;
        }
        static const char kNo[] = "N";
        ::RegSetValueExA(driver, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(kNo), sizeof(kNo));
        ::RegCloseKey(driver);
    }
    ~UnmanagedWindows() {
        if (!m_programKey.empty()) ::RegDeleteTreeA(HKEY_CURRENT_USER, m_programKey.c_str());
    }
    UnmanagedWindows(const UnmanagedWindows&) = delete;
    UnmanagedWindows& operator=(const UnmanagedWindows&) = delete;

private:
    std::string m_programKey;
};

// Runs while static objects are built, before any test creates a window.
const UnmanagedWindows unmanagedWindows;

class TrayKeeper : public ::testing::Environment {
public:
    void SetUp() override {
        m_window = ::CreateWindowExA(0, "STATIC", "tray keeper", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                                    nullptr);
        if (m_window == nullptr) return;
        m_icon.cbSize = sizeof(m_icon);
        m_icon.hWnd = m_window;
        m_icon.uID = 7;
        m_icon.uFlags = NIF_ICON | NIF_TIP;
        m_icon.hIcon = ::LoadIconA(nullptr, MAKEINTRESOURCEA(32512));  // IDI_APPLICATION, shared
        lstrcpynA(m_icon.szTip, "tray keeper", sizeof(m_icon.szTip));
        m_added = ::Shell_NotifyIconA(NIM_ADD, &m_icon) != FALSE;
    }
    void TearDown() override {
        if (m_added) ::Shell_NotifyIconA(NIM_DELETE, &m_icon);
        if (m_window != nullptr) ::DestroyWindow(m_window);
        m_added = false;
        m_window = nullptr;
    }

private:
    HWND m_window = nullptr;
    NOTIFYICONDATAA m_icon{};
    bool m_added = false;
};

// gtest owns and deletes the environment.
::testing::Environment* const trayKeeper = ::testing::AddGlobalTestEnvironment(new TrayKeeper);

}  // namespace
