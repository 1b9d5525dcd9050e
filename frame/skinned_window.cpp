#include "frame/skinned_window.h"

#include "shared/unique_handle.h"

#include <windowsx.h>

#include <cstring>

namespace {

constexpr LONG kCaptionStyleMask = ~static_cast<LONG>(WS_CAPTION);
constexpr LONG kClipStyles = WS_CLIPSIBLINGS | WS_CLIPCHILDREN;

void SetControlVisible(CPaintManagerUI& manager, const char* name, bool visible) {
    if (CControlUI* control = manager.FindControl(name)) control->SetVisible(visible);
}

// Controls that react to clicks themselves must not start a window drag.
bool TakesClicks(const CControlUI* control) {
    const char* cls = control->GetClass();
    return std::strcmp(cls, "Button") == 0 || std::strcmp(cls, "Option") == 0 || std::strcmp(cls, "Text") == 0;
}

}  // namespace

LRESULT SkinnedWindow::HandleCustomMessage(UINT, WPARAM, LPARAM, bool& handled) {
    handled = false;
    return 0;
}

LRESULT SkinnedWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    bool handled = true;
    LRESULT result = HandleCustomMessage(message, wParam, lParam, handled);
    if (handled) return result;

    handled = true;
    switch (message) {
    case WM_CREATE:
        return OnCreate(message, wParam, lParam, handled);
    case WM_DESTROY:
        ::PostQuitMessage(0);
        DefaultHandling(message, wParam, lParam);
        return 0;
    case WM_CLOSE:
        DefaultHandling(message, wParam, lParam);
        return 0;
    case WM_SIZE:
        OnSize(message, wParam, lParam, handled);
        break;
    case WM_GETMINMAXINFO:
        OnGetMinMaxInfo(message, wParam, lParam, handled);
        break;
    case WM_NCCALCSIZE:
    case WM_NCPAINT:
        return 0;
    case WM_NCLBUTTONDBLCLK:
        if (IgnoresCaptionDoubleClick()) return 0;
        break;
    case WM_NCHITTEST:
        return OnNcHitTest(message, wParam, lParam, handled);
    case WM_NCACTIVATE:
        if (!::IsIconic(m_hWnd)) return wParam == 0 ? TRUE : FALSE;
        break;
    case WM_SYSCOMMAND:
        return OnSysCommand(message, wParam, lParam, handled);
    case WM_DPICHANGED: {
        // The skin follows the new DPI and takes the suggested place; the icons come again
        // in the sizes of that DPI.
        const LRESULT result = DefaultHandling(message, wParam, lParam);
        if (GetIconResource() != 0) SetIcon(GetIconResource());
        return result;
    }
    default:
        break;
    }
    return DefaultHandling(message, wParam, lParam);
}

LRESULT SkinnedWindow::DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (m_paintManager.MessageHandler(message, wParam, lParam, result)) return result;
    return CWindowWnd::HandleMessage(message, wParam, lParam);
}

void SkinnedWindow::OnFinalMessage(HWND) { delete this; }

LRESULT SkinnedWindow::OnCreate(UINT, WPARAM, LPARAM, bool&) {
    LONG style = ::GetWindowLongA(m_hWnd, GWL_STYLE);
    style = (style & kCaptionStyleMask) | kClipStyles;
    ::SetWindowLongA(m_hWnd, GWL_STYLE, style);

    m_paintManager.Init(m_hWnd);
    CDialogBuilder builder;
    CControlUI* root = builder.Create(LayoutFileName(), nullptr, BuilderCallback(), &m_paintManager, nullptr);
    // A missing layout leaves the window empty; every later look-up then finds nothing.
    if (root != nullptr) m_paintManager.AttachDialog(root);
    m_paintManager.AddNotifier(this);

    InitWindow();
    return 0;
}

LRESULT SkinnedWindow::OnNcHitTest(UINT, WPARAM, LPARAM lParam, bool&) {
    POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ::ScreenToClient(m_hWnd, &pt);
    RECT client;
    ::GetClientRect(m_hWnd, &client);

    const RECT caption = m_paintManager.GetCaptionRect();
    if (pt.x >= client.left + caption.left && pt.x < client.right - caption.right && pt.y >= caption.top &&
        pt.y < caption.bottom) {
        CControlUI* control = m_paintManager.FindControl(pt);
        if (control != nullptr && !TakesClicks(control)) return HTCAPTION;
    }
    return HTCLIENT;
}

LRESULT SkinnedWindow::OnSize(UINT, WPARAM wParam, LPARAM, bool& handled) {
    // Every size change, whoever caused it (a caption button, a restore from the tray, a
    // second start, the system), leaves the button that fits the window's real state.
    if (wParam == SIZE_MAXIMIZED || wParam == SIZE_RESTORED) {
        const bool isZoomed = wParam == SIZE_MAXIMIZED;
        SetControlVisible(m_paintManager, "maxbtn", !isZoomed);
        SetControlVisible(m_paintManager, "restorebtn", isZoomed);
    }
    const SIZE corner = m_paintManager.GetRoundCorner();
    if (!::IsIconic(m_hWnd) && (corner.cx != 0 || corner.cy != 0)) {
        RECT rc;
        ::GetWindowRect(m_hWnd, &rc);
        ::OffsetRect(&rc, -rc.left, -rc.top);
        rc.right++;
        rc.bottom++;
        UniqueGdiHandle<HRGN> region(
            ::CreateRoundRectRgn(rc.left, rc.top, rc.right, rc.bottom, corner.cx, corner.cy));
        // The system owns the region once it is set.
        if (region && ::SetWindowRgn(m_hWnd, region.get(), TRUE)) region.release();
    }
    handled = false;
    return 0;
}

LRESULT SkinnedWindow::OnGetMinMaxInfo(UINT, WPARAM, LPARAM lParam, bool& handled) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (::GetMonitorInfoA(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTOPRIMARY), &monitor)) {
        RECT work = monitor.rcWork;
        ::OffsetRect(&work, -monitor.rcMonitor.left, -monitor.rcMonitor.top);
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMaxPosition.x = work.left;
        info->ptMaxPosition.y = work.top;
        info->ptMaxSize.x = work.right;
        info->ptMaxSize.y = work.bottom;
    }
    handled = false;
    return 0;
}

LRESULT SkinnedWindow::OnSysCommand(UINT message, WPARAM wParam, LPARAM lParam, bool&) {
    if ((wParam & 0xFFF0) == SC_CLOSE) {
        // Closing ends the loop; the window itself stays until the process ends.
        ::PostQuitMessage(0);
        return 0;
    }
    return CWindowWnd::HandleMessage(message, wParam, lParam);
}

void SkinnedWindow::ResizeToLayoutSize() {
    const SIZE size = m_paintManager.GetInitSize();
    if (m_hWnd == nullptr || size.cx <= 0 || size.cy <= 0) return;
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool HandleCaptionButtonClick(CWindowWnd& window, const CDuiString& senderName) {
    WPARAM command = 0;
    if (senderName == "minbtn") {
        command = SC_MINIMIZE;
    } else if (senderName == "maxbtn") {
        command = SC_MAXIMIZE;
    } else if (senderName == "restorebtn") {
        command = SC_RESTORE;
    } else {
        return false;
    }
    window.SendMessage(WM_SYSCOMMAND, command, 0);
    return true;
}
