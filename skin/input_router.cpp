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
    if (pushed_ != nullptr) return;
    CControlUI* target = window_.ControlAt(pt);
    if (target == hot_) return;
    CControlUI* left = hot_;
    hot_ = nullptr;
    Send(left, UIEVENT_MOUSELEAVE, pt, keys);
    hot_ = target;
    Send(target, UIEVENT_MOUSEENTER, pt, keys);
}

bool InputRouter::OnWheel(WPARAM wParam, LPARAM lParam) {
    const POINT pt = window_.ScreenToClient(PointOf(lParam));
    const int notches = GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
    for (CControlUI* control = window_.ControlAt(pt); control != nullptr; control = control->GetParent()) {
        auto* container = dynamic_cast<CContainerUI*>(control);
        if (container != nullptr && container->GetScrollRange() > 0) {
            container->LineScroll(-notches);
            window_.LayoutMoved();
            UpdateHover(pt, 0);
            return true;
        }
    }
    return false;
}

bool InputRouter::Route(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_MOUSEMOVE: {
        DispatchGuard::Scope scope(dispatch_);
        if (!trackingLeave_) trackingLeave_ = window_.TrackMouseLeave();
        const POINT pt = PointOf(lParam);
        if (pushed_ == nullptr) UpdateHover(pt, wParam);
        Send(pushed_ != nullptr ? pushed_ : hot_, UIEVENT_MOUSEMOVE, pt, wParam, lParam);
        return true;
    }

    case WM_MOUSELEAVE: {
        DispatchGuard::Scope scope(dispatch_);
        trackingLeave_ = false;
        if (pushed_ == nullptr && hot_ != nullptr) {
            CControlUI* left = hot_;
            hot_ = nullptr;
            Send(left, UIEVENT_MOUSELEAVE, window_.CursorInClient());
        }
        return true;
    }

    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        DispatchGuard::Scope scope(dispatch_);
        const POINT pt = PointOf(lParam);
        window_.TakeFocusFromChild();
        UpdateHover(pt, wParam);
        CControlUI* target = window_.ControlAt(pt);
        if (target == nullptr) return true;
        pushed_ = target;
        window_.CaptureMouse();
        Send(pushed_, UIEVENT_BUTTONDOWN, pt, wParam, lParam);
        if (message == WM_LBUTTONDBLCLK) Send(pushed_, UIEVENT_DBLCLICK, pt, wParam, lParam);
        return true;
    }

    case WM_LBUTTONUP: {
        DispatchGuard::Scope scope(dispatch_);
        const POINT pt = PointOf(lParam);
        // Taken before the capture goes, so that losing it does not cancel this press.
        CControlUI* released = pushed_;
        pushed_ = nullptr;
        window_.ReleaseMouse();
        Send(released, UIEVENT_BUTTONUP, pt, wParam, lParam);
        // The handler may have removed controls: the hover is found afresh.
        UpdateHover(pt, wParam);
        return true;
    }

    case WM_CAPTURECHANGED:
        if (pushed_ != nullptr && reinterpret_cast<HWND>(lParam) != window_.Handle()) {
            DispatchGuard::Scope scope(dispatch_);
            CControlUI* cancelled = pushed_;
            pushed_ = nullptr;
            Send(cancelled, UIEVENT_CANCEL, window_.CursorInClient());
        }
        return false;

    case WM_SETCURSOR: {
        if (LOWORD(lParam) != HTCLIENT) return false;
        DispatchGuard::Scope scope(dispatch_);
        const POINT pt = window_.CursorInClient();
        window_.ShowArrowCursor();
        Send(pushed_ != nullptr ? pushed_ : window_.ControlAt(pt), UIEVENT_SETCURSOR, pt, wParam, lParam);
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
    if (IsWithin(hot_, subtree)) hot_ = nullptr;
    if (IsWithin(pushed_, subtree)) {
        pushed_ = nullptr;
        window_.ReleaseMouse();
    }
}

void InputRouter::Reset() {
    hot_ = nullptr;
    pushed_ = nullptr;
}

}  // namespace skin_detail
