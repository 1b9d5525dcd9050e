#include "toolbox/announcement_window.h"

#include "toolbox/browser_navigation.h"
#include "toolbox/startup.h"
#include "toolbox/toolbox_values.h"

#include <memory>

std::string AnnouncementPageUrl() {
    return Toolbox().AnnouncementUrlPrefix + Toolbox().TaxCode + CacheBreakingSuffix();
}

GG::GG() = default;

GG::~GG() {
    // The browser outlives this object's members (the paint manager goes last): it must
    // not reach the handler freed before it.
    if (m_pBrowser != nullptr) m_pBrowser->SetWebBrowserEventHandler(nullptr);
    if (Toolbox().AnnouncementWindow == this) Toolbox().AnnouncementWindow = nullptr;
}

LRESULT GG::HandleCustomMessage(UINT message, WPARAM, LPARAM, bool& handled) {
    // The status check must not reach a window that is gone.
    if (message == WM_DESTROY && Toolbox().AnnouncementWindowHandle == m_hWnd) {
        Toolbox().AnnouncementWindowHandle = nullptr;
    }
    handled = false;
    return 0;
}

GG* GG::CreateHidden() {
    auto window = std::make_unique<GG>();
    if (!window->OpenHidden()) return nullptr;
    return window.release();  // from here the window deletes itself on its final message
}

bool GG::OpenHidden() {
    ToolboxValues& values = Toolbox();
    values.AnnouncementWindow = this;
    // Never visible before the status asks for it: created visible and hidden afterwards, it
    // would flash at the top-left corner at every start while its browser is made.
    if (Create(nullptr, kWindowTitle, WS_OVERLAPPEDWINDOW, WS_EX_WINDOWEDGE, 0, 0, kAnnouncementWidth,
               kAnnouncementHeight) == nullptr) {
        values.AnnouncementWindow = nullptr;
        return false;
    }
    PlaceBottomRight();
    values.AnnouncementWindowHandle = m_hWnd;
    return true;
}

void GG::InitWindow() {
    m_pCloseBtn = m_paintManager.FindControl("closebtn");
    m_pBrowser = AsWebBrowser(m_paintManager.FindControl("gg"));
    if (m_pBrowser != nullptr) {
        m_pBrowserEvents = std::make_unique<CCustomWebEventHandler>();
        m_pBrowser->SetWebBrowserEventHandler(m_pBrowserEvents.get());
        NavigateFresh(m_pBrowser, AnnouncementPageUrl());
    }
}

namespace {

// start..start+size placed against the reference end, kept inside low..high.
int ClampedStart(LONG referenceEnd, int size, LONG low, LONG high) {
    int start = referenceEnd - size;
    if (start < low) {
        start = low;
    } else if (start + size > high) {
        start = high - size;
    }
    return start;
}

}  // namespace

void GG::PlaceBottomRight() {
    RECT window;
    ::GetWindowRect(m_hWnd, &window);
    const HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoA(::MonitorFromWindow(owner != nullptr ? owner : m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& work = monitor.rcWork;
    RECT reference = work;
    if (owner != nullptr) ::GetWindowRect(owner, &reference);

    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    const int x = ClampedStart(reference.right, width, work.left, work.right);
    const int y = ClampedStart(reference.bottom, height, work.top, work.bottom);
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void GG::RefreshAnnouncement() {
    if (m_pBrowser != nullptr) NavigateFresh(m_pBrowser, AnnouncementPageUrl());
}

void GG::Notify(TNotifyUI& msg) {
    if (msg.sType != "click" || msg.pSender == nullptr) return;
    if (msg.pSender == m_pCloseBtn) {
        ::ShowWindow(m_hWnd, SW_HIDE);
        return;
    }
    HandleCaptionButtonClick(*this, msg.pSender->GetName());
}
