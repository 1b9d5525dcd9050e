#include "skin/control.h"

#include "skin/accessible_node.h"
#include "skin/attributes.h"
#include "skin/paint_manager.h"
#include "skin/render.h"
#include "skin/render_detail.h"

#include <cstring>

using namespace skin_detail;

CControlUI::CControlUI() = default;

CControlUI::~CControlUI() {
    // A screen reader that still holds the node gets errors from now on.
    if (m_pAccessible) m_pAccessible->Detach();
    // Hover, press, focus and option-group records must not outlive the control.
    if (m_pManager != nullptr) m_pManager->ReapObjects(this);
}

const char* CControlUI::GetClass() const { return "Control"; }

void* CControlUI::GetInterface(const char* name) {
    if (name != nullptr && std::strcmp(name, "Control") == 0) return this;
    return nullptr;
}

CDuiString CControlUI::GetName() const { return m_sName; }
void CControlUI::SetName(const char* name) { m_sName = name; }

CDuiString CControlUI::GetText() const { return m_sText; }
void CControlUI::SetText(const char* text) {
    if (m_sText == text) return;
    m_sText = text;
    Invalidate();
}

CDuiString CControlUI::GetToolTip() const { return m_sToolTip; }
void CControlUI::SetToolTip(const char* text) { m_sToolTip = text; }
CDuiString CControlUI::GetUserData() const { return m_sUserData; }
void CControlUI::SetUserData(const char* text) { m_sUserData = text; }
UINT_PTR CControlUI::GetTag() const { return m_tag; }
void CControlUI::SetTag(UINT_PTR tag) { m_tag = tag; }

bool CControlUI::IsVisible() const { return m_bVisible && m_bInternVisible; }

void CControlUI::SetVisible(bool visible) {
    if (m_bVisible == visible) return;
    const bool wasShown = IsVisible();
    m_bVisible = visible;
    if (wasShown) Invalidate();
    NeedParentUpdate();
}

void CControlUI::SetInternVisible(bool visible) {
    m_bInternVisible = visible;
    SetVisible(m_bVisible);
}

bool CControlUI::IsEnabled() const { return m_bEnabled; }

void CControlUI::SetEnabled(bool enabled) {
    if (m_bEnabled == enabled) return;
    m_bEnabled = enabled;
    Invalidate();
}

bool CControlUI::IsMouseEnabled() const { return m_bMouseEnabled; }
void CControlUI::SetMouseEnabled(bool enabled) { m_bMouseEnabled = enabled; }

const RECT& CControlUI::GetPos() const { return m_rcItem; }

void CControlUI::SetPos(RECT rc) {
    if (rc.right < rc.left) rc.right = rc.left;
    if (rc.bottom < rc.top) rc.bottom = rc.top;
    m_rcItem = rc;
    m_bUpdateNeeded = false;
}

int CControlUI::GetWidth() const { return m_rcItem.right - m_rcItem.left; }
int CControlUI::GetHeight() const { return m_rcItem.bottom - m_rcItem.top; }
int CControlUI::GetFixedWidth() const { return m_cxyFixed.cx; }

void CControlUI::SetFixedWidth(int cx) {
    if (cx < 0) return;
    m_cxyFixed.cx = cx;
    NeedParentUpdate();
}

int CControlUI::GetFixedHeight() const { return m_cxyFixed.cy; }

void CControlUI::SetFixedHeight(int cy) {
    if (cy < 0) return;
    m_cxyFixed.cy = cy;
    NeedParentUpdate();
}

RECT CControlUI::GetPadding() const { return m_rcPadding; }
void CControlUI::SetPadding(RECT rc) { SetAndRelayoutParent(m_rcPadding, rc); }

bool CControlUI::IsFloat() const { return m_bFloat; }
RECT CControlUI::GetFloatPos() const { return m_rcFloat; }

DWORD CControlUI::GetBkColor() const { return m_dwBkColor; }
void CControlUI::SetBkColor(DWORD argb) { SetAndRepaint(m_dwBkColor, argb); }
CDuiString CControlUI::GetBkImage() const { return m_sBkImage; }
void CControlUI::SetBkImage(const char* image) { SetAndRepaint(m_sBkImage, image); }
DWORD CControlUI::GetBorderColor() const { return m_dwBorderColor; }
void CControlUI::SetBorderColor(DWORD argb) { SetAndRepaint(m_dwBorderColor, argb); }
int CControlUI::GetBorderSize() const { return m_nBorderSize; }
void CControlUI::SetBorderSize(int size) { SetAndRepaint(m_nBorderSize, size < 0 ? 0 : size); }
SIZE CControlUI::GetBorderRound() const { return m_cxyBorderRound; }
void CControlUI::SetBorderRound(SIZE corner) { SetAndRepaint(m_cxyBorderRound, corner); }
DWORD CControlUI::GetTextColor() const { return m_dwTextColor; }
void CControlUI::SetTextColor(DWORD argb) { SetAndRepaint(m_dwTextColor, argb); }
DWORD CControlUI::GetDisabledTextColor() const { return m_dwDisabledTextColor; }
void CControlUI::SetDisabledTextColor(DWORD argb) { SetAndRepaint(m_dwDisabledTextColor, argb); }
int CControlUI::GetFont() const { return m_iFont; }
void CControlUI::SetFont(int id) { SetAndRepaint(m_iFont, id); }
UINT CControlUI::GetTextStyle() const { return m_uTextStyle; }
void CControlUI::SetTextStyle(UINT style) { SetAndRepaint(m_uTextStyle, style); }
RECT CControlUI::GetTextPadding() const { return m_rcTextPadding; }
void CControlUI::SetTextPadding(RECT rc) { SetAndRepaint(m_rcTextPadding, rc); }

void CControlUI::SetAttribute(const char* name, const char* value) {
    if (name == nullptr) return;
    if (value == nullptr) value = "";
    if (std::strcmp(name, "name") == 0) {
        SetName(value);
    } else if (std::strcmp(name, "text") == 0) {
        SetText(value);
    } else if (std::strcmp(name, "tooltip") == 0) {
        SetToolTip(value);
    } else if (std::strcmp(name, "userdata") == 0) {
        SetUserData(value);
    } else if (std::strcmp(name, "width") == 0) {
        SetFixedWidth(ParseInt(value));
    } else if (std::strcmp(name, "height") == 0) {
        SetFixedHeight(ParseInt(value));
    } else if (std::strcmp(name, "padding") == 0) {
        SetPadding(ParseRect(value));
    } else if (std::strcmp(name, "bkcolor") == 0) {
        SetBkColor(ParseColor(value));
    } else if (std::strcmp(name, "bkimage") == 0) {
        SetBkImage(value);
    } else if (std::strcmp(name, "bordercolor") == 0) {
        SetBorderColor(ParseColor(value));
    } else if (std::strcmp(name, "bordersize") == 0) {
        SetBorderSize(ParseInt(value));
    } else if (std::strcmp(name, "borderround") == 0) {
        SetBorderRound(ParseSize(value));
    } else if (std::strcmp(name, "textcolor") == 0) {
        SetTextColor(ParseColor(value));
    } else if (std::strcmp(name, "disabledtextcolor") == 0) {
        SetDisabledTextColor(ParseColor(value));
    } else if (std::strcmp(name, "font") == 0) {
        SetFont(ParseInt(value, -1));
    } else if (std::strcmp(name, "align") == 0) {
        UINT style = m_uTextStyle & ~(DT_LEFT | DT_CENTER | DT_RIGHT);
        if (EqualsNoCase(value, "center")) {
            style |= DT_CENTER;
        } else if (EqualsNoCase(value, "right")) {
            style |= DT_RIGHT;
        } else {
            style |= DT_LEFT;
        }
        SetTextStyle(style);
    } else if (std::strcmp(name, "valign") == 0) {
        UINT style = m_uTextStyle & ~(DT_TOP | DT_VCENTER | DT_BOTTOM);
        if (EqualsNoCase(value, "top")) {
            style |= DT_TOP;
        } else if (EqualsNoCase(value, "bottom")) {
            style |= DT_BOTTOM;
        } else {
            style |= DT_VCENTER;
        }
        SetTextStyle(style);
    } else if (std::strcmp(name, "multiline") == 0) {
        if (ParseBool(value)) {
            SetTextStyle((m_uTextStyle & ~DT_SINGLELINE) | DT_WORDBREAK);
        } else {
            SetTextStyle((m_uTextStyle & ~DT_WORDBREAK) | DT_SINGLELINE);
        }
    } else if (std::strcmp(name, "endellipsis") == 0) {
        SetTextStyle(ParseBool(value) ? (m_uTextStyle | DT_END_ELLIPSIS) : (m_uTextStyle & ~DT_END_ELLIPSIS));
    } else if (std::strcmp(name, "textpadding") == 0) {
        SetTextPadding(ParseRect(value));
    } else if (std::strcmp(name, "visible") == 0) {
        SetVisible(ParseBool(value));
    } else if (std::strcmp(name, "enabled") == 0) {
        SetEnabled(ParseBool(value));
    } else if (std::strcmp(name, "mouse") == 0) {
        SetMouseEnabled(ParseBool(value));
    } else if (std::strcmp(name, "float") == 0) {
        m_bFloat = ParseBool(value);
        NeedParentUpdate();
    } else if (std::strcmp(name, "pos") == 0) {
        m_rcFloat = ParseRect(value);
        // The position also fixes the size, as a floating control has no flow to share.
        if (m_rcFloat.right > m_rcFloat.left) m_cxyFixed.cx = m_rcFloat.right - m_rcFloat.left;
        if (m_rcFloat.bottom > m_rcFloat.top) m_cxyFixed.cy = m_rcFloat.bottom - m_rcFloat.top;
        NeedParentUpdate();
    }
}

CPaintManagerUI* CControlUI::GetManager() const { return m_pManager; }
CControlUI* CControlUI::GetParent() const { return m_pParent; }

void CControlUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init) {
    m_pManager = manager;
    m_pParent = parent;
    if (init && m_pManager != nullptr && !m_bInited) {
        m_bInited = true;
        DoInit();
    }
}

void CControlUI::DoInit() {}

CControlUI* CControlUI::FindControl(FINDCONTROLPROC proc, void* data, UINT flags) {
    if ((flags & UIFIND_VISIBLE) != 0 && !IsVisible()) return nullptr;
    if ((flags & UIFIND_ENABLED) != 0 && !IsEnabled()) return nullptr;
    if ((flags & UIFIND_HITTEST) != 0 &&
        (!m_bMouseEnabled || !::PtInRect(&m_rcItem, *static_cast<const POINT*>(data)))) {
        return nullptr;
    }
    return proc(this, data);
}

SIZE CControlUI::EstimateSize(SIZE) { return Scaled(m_cxyFixed); }

int CControlUI::Scaled(int value) const { return m_pManager != nullptr ? m_pManager->ScaleForDpi(value) : value; }
RECT CControlUI::Scaled(const RECT& rc) const { return m_pManager != nullptr ? m_pManager->ScaleForDpi(rc) : rc; }
SIZE CControlUI::Scaled(SIZE size) const { return m_pManager != nullptr ? m_pManager->ScaleForDpi(size) : size; }

RECT CControlUI::TextRect() const {
    const RECT padding = Scaled(m_rcTextPadding);
    return RECT{m_rcItem.left + padding.left, m_rcItem.top + padding.top, m_rcItem.right - padding.right,
                m_rcItem.bottom - padding.bottom};
}

void CControlUI::FillBackground(HDC dc, DWORD argb) {
    if (AlphaOf(argb) == 0) return;
    if (m_cxyBorderRound.cx > 0) {
        SkinRender::FillRoundColor(dc, m_rcItem, argb, Scaled(m_cxyBorderRound.cx));
    } else {
        SkinRender::FillColor(dc, m_rcItem, argb);
    }
}

void CControlUI::DoPaint(HDC dc, const RECT& paintRect) {
    RECT visible;
    if (!::IntersectRect(&visible, &paintRect, &m_rcItem)) return;
    PaintBelowBorder(dc);
    PaintBorder(dc);
    if (ShowsFocus()) PaintFocusRing(dc);
}

void CControlUI::DoEvent(TEventUI&) {}

void CControlUI::DescribeAccessible(int, AccessibleDescription& out) {
    // A plain area is left out, unless the layout says what it shows.
    out.role = m_sToolTip.IsEmpty() ? 0 : ROLE_SYSTEM_GRAPHIC;
    out.name = m_sText.IsEmpty() ? m_sToolTip : m_sText;
}

int CControlUI::AccessiblePartCount() const { return 0; }
bool CControlUI::IsFocusable() const { return false; }
bool CControlUI::Activate() { return false; }

bool CControlUI::ShowsFocus() const { return m_pManager != nullptr && m_pManager->ShowsFocusRing(this); }

skin_detail::AccessibleNode& CControlUI::GetAccessibleNode() {
    if (!m_pAccessible) m_pAccessible = skin_detail::AccessibleNode::Create(*this);
    return *m_pAccessible.get();
}

LONG CControlUI::GetAccessibleId() const { return m_pAccessible ? m_pAccessible->Id() : 0; }

void CControlUI::NotifyAccessibleChange(DWORD event) {
    if (!m_pAccessible || m_pManager == nullptr || m_pManager->GetPaintWindow() == nullptr) return;
    ::NotifyWinEvent(event, m_pManager->GetPaintWindow(), OBJID_CLIENT, m_pAccessible->Id());
}

void CControlUI::PaintFocusRing(HDC dc) { DrawFocusRing(dc, m_rcItem, Scaled(1), Scaled(m_cxyBorderRound.cx)); }

void CControlUI::Invalidate() {
    if (m_pManager != nullptr && IsVisible()) m_pManager->Invalidate(m_rcItem);
}

bool CControlUI::IsUpdateNeeded() const { return m_bUpdateNeeded; }

void CControlUI::NeedUpdate() {
    m_bUpdateNeeded = true;
    if (m_pManager != nullptr) m_pManager->NeedUpdate();
}

void CControlUI::NeedParentUpdate() {
    if (m_pParent != nullptr) {
        m_pParent->NeedUpdate();
    } else {
        NeedUpdate();
    }
}

void CControlUI::PaintBkColor(HDC dc) { FillBackground(dc, m_dwBkColor); }

void CControlUI::PaintBkImage(HDC dc) {
    if (!m_sBkImage.IsEmpty()) DrawImage(dc, m_sBkImage);
}

void CControlUI::PaintStatusImage(HDC) {}
void CControlUI::PaintText(HDC) {}

void CControlUI::PaintBorder(HDC dc) {
    if (m_nBorderSize <= 0 || AlphaOf(m_dwBorderColor) == 0) return;
    SkinRender::DrawBorder(dc, m_rcItem, m_dwBorderColor, Scaled(m_nBorderSize), Scaled(m_cxyBorderRound.cx));
}

bool CControlUI::DrawImage(HDC dc, const char* image, const RECT* rc) {
    if (image == nullptr || *image == '\0' || m_pManager == nullptr) return false;
    return DrawImageReference(dc, m_pManager, image, rc ? *rc : m_rcItem);
}
