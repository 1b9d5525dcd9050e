#include "updater/update_window.h"

#include "shared/diagnostic_log.h"
#include "shared/process.h"
#include "updater/install_update.h"
#include "updater/process_values.h"
#include "updater/update_worker.h"
#include "updater/worker_gate.h"

#include <objbase.h>

#include <memory>

namespace {

// COM for the window thread, released when the loop is done.
class ComApartment {
public:
    ComApartment() : m_result(::CoInitialize(nullptr)) {}
    ~ComApartment() {
        if (SUCCEEDED(m_result)) ::CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    bool Ready() const { return SUCCEEDED(m_result); }

private:
    HRESULT m_result;
};

constexpr DWORD kUpdateWindowStyle = WS_OVERLAPPEDWINDOW | WS_VISIBLE;

}  // namespace

void Morvane::InitWindow() {
    SetProgressTargetWindow(GetHWND());
    m_pCloseButton = m_paintManager.FindControl("closebtn");
    if (CControlUI* bar = m_paintManager.FindControl("jjt")) {
        m_pProgressBar = static_cast<CProgressUI*>(bar->GetInterface("Progress"));
    }
    m_pStatusLabel = m_paintManager.FindControl("filename");
    if (m_pStatusLabel != nullptr) m_pStatusLabel->SetText("系统更新中......");
    UpdateWindowReady();
}

LRESULT Morvane::HandleCustomMessage(UINT message, WPARAM wParam, LPARAM, bool& handled) {
    if (message != WM_USER) {
        handled = false;
        return 0;
    }
    OnUpdateMessage(wParam);
    return 0;
}

void Morvane::OnUpdateMessage(WPARAM code) {
    if (m_dismissed) return;
    if (code == UPDATE_ABORTED) {
        ::PostQuitMessage(0);
    } else if (code == UPDATE_FINISHED) {
        InstallUpdate();
    } else if (m_pProgressBar != nullptr) {
        m_pProgressBar->SetValue(static_cast<int>(code));
    }
}

void Morvane::Notify(TNotifyUI& msg) {
    if (msg.sType == "click" && msg.pSender != nullptr && msg.pSender == m_pCloseButton) {
        // Giving up the update: the partial download stays until the next run deletes it.
        m_dismissed = true;
        LogLine("update dismissed by the user; starting the main program");
        RunProgram(Updater().MainProgram());
        ::PostQuitMessage(0);
    }
}

void Morvane::OnFinalMessage(HWND window) {
    if (m_pFinalised != nullptr) *m_pFinalised = true;
    SkinnedWindow::OnFinalMessage(window);
}

Morvane* OpenUpdateWindow() {
    auto window = std::make_unique<Morvane>();
    bool finalised = false;
    window->m_pFinalised = &finalised;
    if (window->Create(nullptr, kUpdateWindowTitle, kUpdateWindowStyle, 0, 0, 0, kUpdateWindowWidth,
                       kUpdateWindowHeight) == nullptr) {
        // A native window that existed for a moment has deleted the object on its way out.
        if (finalised) window.release();
        return nullptr;
    }
    window->m_pFinalised = nullptr;
    window->CenterWindow();
    ::ShowWindow(window->GetHWND(), SW_SHOW);
    return window.release();
}

void RunUpdateWindow(HINSTANCE instance) {
    // The update downloads while the window is built.
    StartUpdateWorkerBeforeWindow();
    CPaintManagerUI::SetInstance(instance);
    CPaintManagerUI::SetResourcePath(CPaintManagerUI::GetInstancePath());
    CPaintManagerUI::SetResourceZip("upload.zip", false);

    ComApartment com;
    if (!com.Ready() || OpenUpdateWindow() == nullptr) {
        UpdateWindowFailed();
        // Without a window there is no update; the main program must not stay closed.
        RunProgram(Updater().MainProgram());
        return;
    }
    CPaintManagerUI::MessageLoop();
}
