#include "skin/keyboard_focus.h"

#include "skin/accessible_node.h"
#include "skin/container.h"
#include "skin/option_groups.h"

#include <vector>

namespace skin_detail {

namespace {

CControlUI* CALLBACK Collect(CControlUI* control, void* data) {
    static_cast<std::vector<CControlUI*>*>(data)->push_back(control);
    return nullptr;
}

bool TakesFocusNow(CControlUI& control) {
    return control.IsFocusable() && control.IsVisible() && control.IsEnabled();
}

// Lists scrolled so that the control's rectangle shows.
void ScrollIntoView(CControlUI& control) {
    for (CControlUI* above = control.GetParent(); above != nullptr; above = above->GetParent()) {
        if (auto* container = dynamic_cast<CContainerUI*>(above)) container->ScrollIntoView(control.GetPos());
    }
}

}  // namespace

bool KeyboardFocus::Route(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_KEYDOWN:
        if (wParam == VK_TAB && ::GetKeyState(VK_CONTROL) >= 0 && ::GetKeyState(VK_MENU) >= 0) {
            Move(::GetKeyState(VK_SHIFT) >= 0);
            return true;
        }
        if ((wParam == VK_RETURN || wParam == VK_SPACE) && Focused() != nullptr) {
            // A key held down repeats: it activates once.
            if ((lParam & (1 << 30)) == 0) {
                DispatchGuard::Scope scope(m_dispatch);
                m_pFocus->Activate();
            }
            return true;
        }
        return false;
    case WM_SETFOCUS:
        if (m_pFocus != nullptr) {
            m_pFocus->Invalidate();
            Announce();
        }
        return false;
    case WM_KILLFOCUS:
        if (m_pFocus != nullptr) m_pFocus->Invalidate();
        return false;
    default:
        return false;
    }
}

CControlUI* KeyboardFocus::Focused() const {
    return m_pFocus != nullptr && TakesFocusNow(*m_pFocus) ? m_pFocus : nullptr;
}

bool KeyboardFocus::ShowsRingOn(const CControlUI* control) const {
    return control != nullptr && control == m_pFocus && m_ring && WindowHasFocus();
}

void KeyboardFocus::Set(CControlUI* control, bool ring) {
    if (control == m_pFocus) {
        if (ring != m_ring && control != nullptr) control->Invalidate();
        m_ring = ring;
        return;
    }
    CControlUI* previous = m_pFocus;
    m_pFocus = control;
    m_pResumeAfter = nullptr;
    m_ring = ring;
    if (previous != nullptr) previous->Invalidate();
    if (control == nullptr) return;
    ScrollIntoView(*control);
    // The new place is laid out before a screen reader asks where the control is.
    m_window.UpToDateRoot();
    control->Invalidate();
    Announce();
}

void KeyboardFocus::FollowPress(CControlUI* pressed) {
    for (CControlUI* control = pressed; control != nullptr; control = control->GetParent()) {
        if (TakesFocusNow(*control)) {
            Set(control, false);
            return;
        }
    }
}

void KeyboardFocus::Move(bool forward) {
    CControlUI* root = m_window.UpToDateRoot();
    if (root == nullptr) return;
    std::vector<CControlUI*> controls;
    root->FindControl(Collect, &controls, UIFIND_ALL | UIFIND_ME_FIRST);
    const int count = static_cast<int>(controls.size());
    CControlUI* from = m_pFocus != nullptr ? m_pFocus : m_pResumeAfter;
    int start = forward ? -1 : count;
    for (int i = 0; i < count; ++i) {
        if (controls[i] == from) start = i;
    }
    // From a removed focus's container, forward begins inside it.
    for (int step = 1; step <= count; ++step) {
        const int index = ((start + (forward ? step : -step)) % count + count) % count;
        if (TakesFocusNow(*controls[index])) {
            Set(controls[index], true);
            return;
        }
    }
}

void KeyboardFocus::ForgetWithin(CControlUI* subtree) {
    if (IsWithin(m_pResumeAfter, subtree)) m_pResumeAfter = nullptr;
    if (!IsWithin(m_pFocus, subtree)) return;
    m_pFocus = nullptr;
    m_pResumeAfter = subtree->GetParent();
}

void KeyboardFocus::Reset() {
    m_pFocus = nullptr;
    m_pResumeAfter = nullptr;
    m_ring = false;
}

void KeyboardFocus::Announce() {
    if (Focused() == nullptr || !WindowHasFocus()) return;
    ::NotifyWinEvent(EVENT_OBJECT_FOCUS, m_window.Handle(), OBJID_CLIENT, m_pFocus->GetAccessibleNode().Id());
}

}  // namespace skin_detail
