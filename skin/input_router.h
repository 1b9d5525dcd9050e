#pragma once
// The mouse side of a skinned window: which control is hot (under the mouse) and which is
// pushed (holding the press), turned from window messages into control events. It reaches
// the window only through InputWindow, so tests drive it with synthetic messages and no
// window at all.

#include "skin/dispatch_guard.h"

#include <windows.h>

class CControlUI;

namespace skin_detail {

class InputWindow {
public:
    virtual HWND Handle() const = 0;
    // The topmost visible, enabled control at pt (client coordinates), the layout brought
    // up to date first.
    virtual CControlUI* ControlAt(POINT pt) = 0;
    virtual void CaptureMouse() = 0;
    virtual void ReleaseMouse() = 0;  // only when this window holds the capture
    // Asks for WM_MOUSELEAVE; false when the system refused.
    virtual bool TrackMouseLeave() = 0;
    virtual POINT CursorInClient() const = 0;
    virtual POINT ScreenToClient(POINT pt) const = 0;
    // A click moves the keyboard focus from a child window (the browser) to the skin.
    virtual void TakeFocusFromChild() = 0;
    virtual void ShowArrowCursor() = 0;
    // A scrolled container moved its children.
    virtual void LayoutMoved() = 0;

protected:
    ~InputWindow() = default;
};

class InputRouter {
public:
    InputRouter(InputWindow& window, DispatchGuard& dispatch) : m_window(window), m_dispatch(dispatch) {}

    // The mouse messages: true when handled, with the message's result in result.
    bool Route(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    CControlUI* Hot() const { return m_mouse.hot; }
    CControlUI* Pushed() const { return m_mouse.pushed; }
    // A subtree is going away: neither hover nor press may point into it.
    void ForgetWithin(CControlUI* subtree);
    // A new tree: nothing is hot or pushed.
    void Reset();

private:
    void Send(CControlUI* control, int type, POINT pt, WPARAM wParam = 0, LPARAM lParam = 0);
    void UpdateHover(POINT pt, WPARAM keys);
    bool OnWheel(WPARAM wParam, LPARAM lParam);

    InputWindow& m_window;
    DispatchGuard& m_dispatch;
    // What the mouse is over and what it pressed; the window asks for WM_MOUSELEAVE once
    // each time the mouse enters it.
    struct MouseState {
        CControlUI* hot = nullptr;
        CControlUI* pushed = nullptr;
        bool trackingLeave = false;
    } m_mouse;
};

}  // namespace skin_detail
