#pragma once
// The keyboard side of a skinned window: which control has the focus, Tab and Shift+Tab
// moving it through the controls that take it (in document order, round the end), Enter
// and Space activating it. The ring shows only once the keyboard moved the focus (a click
// focuses quietly) and while the window has the system's focus. Each move is told to
// screen readers (EVENT_OBJECT_FOCUS with the control's node).

#include "skin/dispatch_guard.h"

#include <windows.h>

class CControlUI;

namespace skin_detail {

class FocusWindow {
public:
    virtual HWND Handle() const = 0;
    // The root with its layout up to date, or null.
    virtual CControlUI* UpToDateRoot() = 0;

protected:
    ~FocusWindow() = default;
};

class KeyboardFocus {
public:
    KeyboardFocus(FocusWindow& window, DispatchGuard& dispatch) : m_window(window), m_dispatch(dispatch) {}

    // WM_KEYDOWN of Tab, Enter and Space: true when handled. WM_SETFOCUS and WM_KILLFOCUS
    // repaint the ring and go on to the default handling.
    bool Route(UINT message, WPARAM wParam, LPARAM lParam);

    // Null also while the focused control is hidden or disabled: the window has it then.
    CControlUI* Focused() const;
    bool ShowsRingOn(const CControlUI* control) const;
    // ring: whether the focus ring shows (the keyboard or a screen reader moved it).
    void Set(CControlUI* control, bool ring);
    // A press: the control it lands in that takes the focus gets it, without the ring.
    void FollowPress(CControlUI* pressed);
    // Tab (forward) or Shift+Tab from the focus, or from where a removed focus was.
    void Move(bool forward);
    // A subtree is going away: the focus may not point into it.
    void ForgetWithin(CControlUI* subtree);
    void Reset();

private:
    void Announce();
    bool WindowHasFocus() const { return ::GetFocus() == m_window.Handle(); }

    FocusWindow& m_window;
    DispatchGuard& m_dispatch;
    CControlUI* m_pFocus = nullptr;
    // The container the focus was in when it was removed: Tab goes on from there.
    CControlUI* m_pResumeAfter = nullptr;
    bool m_ring = false;
};

}  // namespace skin_detail
