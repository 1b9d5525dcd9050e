#include "skin/input_router.h"

#include "skin/container.h"
#include "skin/option_groups.h"

#include <windowsx.h>

namespace skin_detail {
namespace {

POINT PointOf(LPARAM lParam) { return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; }

}  // namespace

void InputRouter::Send(CControlUI* control, int type, POINT pt, WPARAM wParam, LPARAM lParam) {
    if (control == nullptr) return;
    TEventUI event;
    event.Type = type;
    event.pSender = control;
    event.dwTimestamp = ::GetTickCount();
    event.ptMouse = pt;
    event.wKeyState = static_cast<WORD>(wParam);
    event.wParam = wParam;
    event.lParam = lParam;
    control->DoEvent(event);
}

// Moves the hover to whatever lies under pt (nothing while a press holds the mouse).
void InputRouter::UpdateHover(POINT pt, WPARAM keys) {
    if (m_mouse.pushed != nullptr) return;
    CControlUI* target = m_window.ControlAt(pt);
    if (target == m_mouse.hot) return;
    CControlUI* left = m_mouse.hot;
    m_mouse.hot = nullptr;
    Send(left, UIEVENT_MOUSELEAVE, pt, keys);
    m_mouse.hot = target;
    Send(target, UIEVENT_MOUSEENTER, pt, keys);
}

bool InputRouter::OnWheel(WPARAM wParam, LPARAM lParam) {
    const POINT pt = m_window.ScreenToClient(PointOf(lParam));
    const int notches = GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
    for (CControlUI* control = m_window.ControlAt(pt); control != nullptr; control = control->GetParent()) {
        auto* container = dynamic_cast<CContainerUI*>(control);
        if (container != nullptr && container->GetScrollRange() > 0) {
            container->LineScroll(-notches);
            m_window.LayoutMoved();
            UpdateHover(pt, 0);
            return true;
        }
    }
    return false;
}

bool InputRouter::Route(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_MOUSEMOVE: {
        DispatchGuard::Scope scope(m_dispatch);
        if (!m_mouse.trackingLeave) m_mouse.trackingLeave = m_window.TrackMouseLeave();
        const POINT pt = PointOf(lParam);
        if (m_mouse.pushed == nullptr) UpdateHover(pt, wParam);
        Send(m_mouse.pushed != nullptr ? m_mouse.pushed : m_mouse.hot, UIEVENT_MOUSEMOVE, pt, wParam, lParam);
        return true;
    }

    case WM_MOUSELEAVE: {
        DispatchGuard::Scope scope(m_dispatch);
        m_mouse.trackingLeave = false;
        if (m_mouse.pushed == nullptr && m_mouse.hot != nullptr) {
            CControlUI* left = m_mouse.hot;
            m_mouse.hot = nullptr;
            Send(left, UIEVENT_MOUSELEAVE, m_window.CursorInClient());
        }
        return true;
    }

    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        DispatchGuard::Scope scope(m_dispatch);
        const POINT pt = PointOf(lParam);
        m_window.TakeFocusFromChild();
        UpdateHover(pt, wParam);
        CControlUI* target = m_window.ControlAt(pt);
        if (target == nullptr) return true;
        m_mouse.pushed = target;
        m_window.CaptureMouse();
        Send(m_mouse.pushed, UIEVENT_BUTTONDOWN, pt, wParam, lParam);
        if (message == WM_LBUTTONDBLCLK) Send(m_mouse.pushed, UIEVENT_DBLCLICK, pt, wParam, lParam);
        return true;
    }

    case WM_LBUTTONUP: {
        DispatchGuard::Scope scope(m_dispatch);
        const POINT pt = PointOf(lParam);
        // Taken before the capture goes, so that losing it does not cancel this press.
        CControlUI* released = m_mouse.pushed;
        m_mouse.pushed = nullptr;
        m_window.ReleaseMouse();
        Send(released, UIEVENT_BUTTONUP, pt, wParam, lParam);
        // The handler may have removed controls: the hover is found afresh.
        UpdateHover(pt, wParam);
        return true;
    }

    case WM_CAPTURECHANGED:
        if (m_mouse.pushed != nullptr && reinterpret_cast<HWND>(lParam) != m_window.Handle()) {
            DispatchGuard::Scope scope(m_dispatch);
            CControlUI* cancelled = m_mouse.pushed;
            m_mouse.pushed = nullptr;
            Send(cancelled, UIEVENT_CANCEL, m_window.CursorInClient());
        }
        return false;

    case WM_SETCURSOR: {
        if (LOWORD(lParam) != HTCLIENT) return false;
        DispatchGuard::Scope scope(m_dispatch);
        const POINT pt = m_window.CursorInClient();
        m_window.ShowArrowCursor();
        Send(m_mouse.pushed != nullptr ? m_mouse.pushed : m_window.ControlAt(pt), UIEVENT_SETCURSOR, pt, wParam, lParam);
        result = TRUE;
        return true;
    }

    case WM_MOUSEWHEEL:
        return OnWheel(wParam, lParam);

    default:
        return false;
    }
}

void InputRouter::ForgetWithin(CControlUI* subtree) {
    if (IsWithin(m_mouse.hot, subtree)) m_mouse.hot = nullptr;
    if (IsWithin(m_mouse.pushed, subtree)) {
        m_mouse.pushed = nullptr;
        m_window.ReleaseMouse();
    }
}

void InputRouter::Reset() {
    m_mouse.hot = nullptr;
    m_mouse.pushed = nullptr;
}

}  // namespace skin_detail
