#include "skin/controls.h"

#include "skin/attributes.h"
#include "skin/paint_manager.h"
#include "skin/render.h"
#include "skin/render_detail.h"

#include <oleacc.h>

#include <cstring>

using namespace skin_detail;

CButtonUI::CButtonUI() { m_uTextStyle = DT_SINGLELINE | DT_VCENTER | DT_CENTER; }

const char* CButtonUI::GetClass() const { return "Button"; }

void* CButtonUI::GetInterface(const char* name) {
    if (name != nullptr && std::strcmp(name, "Button") == 0) return this;
    return CLabelUI::GetInterface(name);
}

void CButtonUI::SetAttribute(const char* name, const char* value) {
    if (name == nullptr) return;
    if (std::strcmp(name, "normalimage") == 0) {
        m_sNormalImage = value;
    } else if (std::strcmp(name, "hotimage") == 0) {
        m_sHotImage = value;
    } else if (std::strcmp(name, "pushedimage") == 0) {
        m_sPushedImage = value;
    } else if (std::strcmp(name, "disabledimage") == 0) {
        m_sDisabledImage = value;
    } else if (std::strcmp(name, "hotbkcolor") == 0) {
        m_dwHotBkColor = ParseColor(value);
    } else if (std::strcmp(name, "pushedbkcolor") == 0) {
        m_dwPushedBkColor = ParseColor(value);
    } else if (std::strcmp(name, "hottextcolor") == 0) {
        m_dwHotTextColor = ParseColor(value);
    } else if (std::strcmp(name, "pushedtextcolor") == 0) {
        m_dwPushedTextColor = ParseColor(value);
    } else {
        CLabelUI::SetAttribute(name, value);
        return;
    }
    Invalidate();
}

void CButtonUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
    case UIEVENT_MOUSEENTER:
        if (IsEnabled()) m_uButtonState |= UISTATE_HOT;
        Invalidate();
        break;
    case UIEVENT_MOUSELEAVE:
        m_uButtonState &= ~UISTATE_HOT;
        Invalidate();
        break;
    case UIEVENT_BUTTONDOWN:
        if (IsEnabled() && IsVisible()) {
            m_uButtonState |= UISTATE_PUSHED | UISTATE_CAPTURED;
            Invalidate();
        }
        break;
    case UIEVENT_MOUSEMOVE:
        if ((m_uButtonState & UISTATE_CAPTURED) != 0) {
            if (::PtInRect(&m_rcItem, event.ptMouse)) {
                m_uButtonState |= UISTATE_PUSHED;
            } else {
                m_uButtonState &= ~UISTATE_PUSHED;
            }
            Invalidate();
        }
        break;
    case UIEVENT_BUTTONUP:
        if ((m_uButtonState & UISTATE_CAPTURED) != 0) {
            const bool inside = ::PtInRect(&m_rcItem, event.ptMouse) != FALSE;
            m_uButtonState &= ~(UISTATE_PUSHED | UISTATE_CAPTURED);
            Invalidate();
            // Last: a notification handler may remove this button.
            if (inside && IsEnabled() && IsVisible()) Activate();
        }
        break;
    case UIEVENT_CANCEL:
        m_uButtonState &= ~(UISTATE_PUSHED | UISTATE_CAPTURED);
        Invalidate();
        break;
    case UIEVENT_SETCURSOR:
        if (IsEnabled()) ::SetCursor(::LoadCursor(nullptr, IDC_HAND));
        break;
    default:
        break;
    }
}

void CButtonUI::SetEnabled(bool enabled) {
    if (!enabled) m_uButtonState = 0;
    CLabelUI::SetEnabled(enabled);
}

bool CButtonUI::Activate() {
    if (!IsEnabled()) return false;
    if (m_pManager != nullptr) m_pManager->SendNotify(this, "click");
    return true;
}

UINT CButtonUI::GetButtonState() const { return m_uButtonState; }

void CButtonUI::DescribeAccessible(int part, AccessibleDescription& out) {
    // An icon button's tooltip names it.
    CLabelUI::DescribeAccessible(part, out);
    out.role = ROLE_SYSTEM_PUSHBUTTON;
    out.defaultAction = "按下";
    if ((m_uButtonState & UISTATE_PUSHED) != 0) out.states |= STATE_SYSTEM_PRESSED;
    if ((m_uButtonState & UISTATE_HOT) != 0) out.states |= STATE_SYSTEM_HOTTRACKED;
}

bool CButtonUI::IsFocusable() const { return true; }

DWORD CButtonUI::StateBkColor() const {
    if (IsEnabled()) {
        if ((m_uButtonState & UISTATE_PUSHED) != 0 && AlphaOf(m_dwPushedBkColor) != 0) return m_dwPushedBkColor;
        if ((m_uButtonState & (UISTATE_HOT | UISTATE_PUSHED)) != 0 && AlphaOf(m_dwHotBkColor) != 0) {
            return m_dwHotBkColor;
        }
    }
    return m_dwBkColor;
}

DWORD CButtonUI::StateTextColor() const {
    if (!IsEnabled()) return TextColorOrDefault(m_pManager, m_dwTextColor, false, m_dwDisabledTextColor);
    if ((m_uButtonState & UISTATE_PUSHED) != 0 && AlphaOf(m_dwPushedTextColor) != 0) return m_dwPushedTextColor;
    if ((m_uButtonState & (UISTATE_HOT | UISTATE_PUSHED)) != 0 && AlphaOf(m_dwHotTextColor) != 0) {
        return m_dwHotTextColor;
    }
    return TextColorOrDefault(m_pManager, m_dwTextColor, true, m_dwDisabledTextColor);
}

const CDuiString& CButtonUI::StateImage() const {
    if (!IsEnabled()) return m_sDisabledImage.IsEmpty() ? m_sNormalImage : m_sDisabledImage;
    if ((m_uButtonState & UISTATE_PUSHED) != 0) {
        if (!m_sPushedImage.IsEmpty()) return m_sPushedImage;
        if (!m_sHotImage.IsEmpty()) return m_sHotImage;
    }
    if ((m_uButtonState & UISTATE_HOT) != 0 && !m_sHotImage.IsEmpty()) return m_sHotImage;
    return m_sNormalImage;
}

void CButtonUI::PaintBkColor(HDC dc) { FillBackground(dc, StateBkColor()); }

void CButtonUI::PaintStatusImage(HDC dc) {
    const CDuiString& image = StateImage();
    if (!image.IsEmpty()) DrawImage(dc, image);
}

void CButtonUI::PaintText(HDC dc) { DrawLabelText(dc, StateTextColor()); }
