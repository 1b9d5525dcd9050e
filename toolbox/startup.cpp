#include "toolbox/startup.h"

#include "toolbox/reg_operator.h"

#include <windows.h>

SingleInstance::SingleInstance() : m_mutex(::CreateMutexA(nullptr, TRUE, kSingleInstanceName)) {
    m_first = ::GetLastError() != ERROR_ALREADY_EXISTS;
    if (!m_first) {
        // Before the other instance has its window nothing is found; this one still ends.
        HWND other = ::FindWindowA(kMainWindowClass, kWindowTitle);
        ::ShowWindow(other, SW_SHOWNORMAL);
        ::SetForegroundWindow(other);
    }
    // The handle stays open: the name exists as long as the first instance runs.
    if (m_mutex) ::ReleaseMutex(m_mutex.get());
}

std::string ReadTaxCode() {
    CRegOperator registry;
    registry.OpenKey(kInvoicingAppPathsKey);
    std::string code;
    registry.ReadString(kTaxCodeValue, code);
    registry.Close();
    return code;
}

std::string StartWithWindowsCommand(const std::string& installDir) {
    return "\"" + installDir + "\\" + kUpdaterExeName + "\"";
}

void EnsureStartWithWindows(const std::string& installDir) {
    CRegOperator registry;
    // Without the Run key the write would land on the root of HKEY_LOCAL_MACHINE.
    if (!registry.OpenKey(kRunKey)) return;
    std::string current;
    registry.ReadString(kStartWithWindowsValue, current);
    if (current.empty()) {
        // Written whether or not the updater's file is there; nothing reports a failure.
        registry.WriteString(kStartWithWindowsValue, StartWithWindowsCommand(installDir).c_str());
        registry.SaveKey(kStartWithWindowsValue);
    }
    registry.Close();
}
