#include "toolbox/toolbox_program.h"

#include "shared/background_work.h"
#include "shared/diagnostic_log.h"
#include "shared/folder_protection.h"
#include "shared/process.h"
#include "shared/text.h"
#include "skin/skin.h"
#include "toolbox/announcement_window.h"
#include "toolbox/catalogue/download_registry.h"
#include "toolbox/logon_task_registration.h"
#include "toolbox/main_window.h"
#include "toolbox/proxy_login_window.h"
#include "toolbox/startup.h"
#include "toolbox/status_timer.h"
#include "toolbox/toolbox_values.h"

#include <curl/curl.h>
#include <ole2.h>

namespace {

class OleSession {
public:
    // The embedded browsers need OLE, not only COM, on the window thread.
    OleSession() : m_ok(SUCCEEDED(::OleInitialize(nullptr))) {}
    ~OleSession() {
        if (m_ok) ::OleUninitialize();
    }
    OleSession(const OleSession&) = delete;
    OleSession& operator=(const OleSession&) = delete;
    bool ok() const { return m_ok; }

private:
    bool m_ok;
};

class CurlSession {
public:
    CurlSession() { curl_global_init(CURL_GLOBAL_ALL); }
    ~CurlSession() {
        if (!m_workersMayRun) curl_global_cleanup();
    }
    CurlSession(const CurlSession&) = delete;
    CurlSession& operator=(const CurlSession&) = delete;
    // libcurl's global state must outlive any transfer; the process's end releases it then.
    void KeepForRunningWorkers() { m_workersMayRun = true; }

private:
    bool m_workersMayRun = false;
};

// Windows still there when the loop ends go before OLE does, taking their browsers,
// the tray icon and their objects with them.
void DestroyIfOpen(HWND window) {
    if (window != nullptr && ::IsWindow(window)) ::DestroyWindow(window);
}

void SetUpSkin(HINSTANCE instance) {
    CPaintManagerUI::SetInstance(instance);
    CPaintManagerUI::SetResourcePath(CPaintManagerUI::GetInstancePath());
    CPaintManagerUI::SetResourceZip("skin.zip", false);
}

// The Run value and the logon task start the updater as administrator at every logon, of
// every user: only from a folder that standard users cannot change. Where UAC is on, the Run value alone
// never starts the elevated updater; the task does. Failures must not keep the toolbox
// from starting.
void RegisterUpdaterAtLogon(const std::string& installDir) {
    if (!IsProtectedFolder(AnsiToWide(installDir))) {
        LogLine("the updater is not registered to start at logon: standard users can change %s, or it is a "
                "drive's root or not on a local drive",
                installDir.c_str());
        return;
    }
    EnsureStartWithWindows(installDir);
    switch (RegisterLogonTask(installDir)) {
        case LogonTaskRegistration::Created: LogLine("registered the updater's logon task"); break;
        case LogonTaskRegistration::AlreadyThere: break;
        case LogonTaskRegistration::Failed: LogLine("could not register the updater's logon task"); break;
    }
}

}  // namespace

int RunToolbox(HINSTANCE instance) {
    SingleInstance single;
    if (!single.IsFirst()) return 0;

    ToolboxValues& values = Toolbox();
    values.InstallDir = ProgramFolder();
    OpenProgramLog(values.InstallDir, "Veltrin");
    values.TaxCode = ReadTaxCode();
    RegisterUpdaterAtLogon(values.InstallDir);
    SetUpSkin(instance);

    OleSession ole;
    if (!ole.ok()) return 0;
    CurlSession curl;

    InstallProxyLoginPrompt();
    if (Veltrin::CreateMain() == nullptr) {
        RemoveProxyLoginPrompt();
        return 0;
    }
    GG::CreateHidden();
    const UINT_PTR timer = StartStatusTimer();

    CPaintManagerUI::MessageLoop();

    if (timer != 0) ::KillTimer(nullptr, timer);
    RemoveProxyLoginPrompt();
    // Stopped downloads keep their partial files under their own names, never a final one.
    StopDownloadsForExit();
    StopBackgroundWork();
    if (!WaitForBackgroundWork(kBackgroundExitWaitMilliseconds)) curl.KeepForRunningWorkers();
    DestroyIfOpen(values.AnnouncementWindowHandle);
    DestroyIfOpen(values.MainWindowHandle);
    return 0;
}
