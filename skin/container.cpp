#include "skin/container.h"

#include "skin/attributes.h"
#include "skin/gdi_objects.h"
#include "skin/paint_manager.h"
#include "skin/render.h"

#include <oleacc.h>

#include <algorithm>
#include <cstring>

using namespace skin_detail;

namespace {

constexpr int kMinThumbHeight = 24;
constexpr int kLineHeight = 40;

}  // namespace

CContainerUI::CContainerUI() = default;

CContainerUI::~CContainerUI() {
    // The tree goes away as a whole: the children are deleted at once.
    for (CControlUI* child : m_items) delete child;
}

const char* CContainerUI::GetClass() const { return "Container"; }

void* CContainerUI::GetInterface(const char* name) {
    if (name != nullptr && std::strcmp(name, "Container") == 0) return static_cast<IContainerUI*>(this);
    return CControlUI::GetInterface(name);
}

CControlUI* CContainerUI::GetItemAt(int index) const {
    if (index < 0 || index >= ItemCount()) return nullptr;
    return m_items[index];
}

int CContainerUI::GetItemIndex(CControlUI* control) const {
    for (int i = 0; i < ItemCount(); ++i) {
        if (m_items[i] == control) return i;
    }
    return -1;
}

int CContainerUI::GetCount() const { return ItemCount(); }

bool CContainerUI::Add(CControlUI* control) { return AddAt(control, ItemCount()); }

bool CContainerUI::AddAt(CControlUI* control, int index) {
    if (control == nullptr || index < 0 || index > ItemCount()) return false;
    m_items.insert(m_items.begin() + index, control);

    // A control added to a live window is initialised for it at once.
    if (m_pManager != nullptr) {
        m_pManager->InitControls(control, this);
    } else {
        control->SetManager(nullptr, this, false);
    }
    control->SetInternVisible(IsVisible());
    NeedUpdate();
    return true;
}

bool CContainerUI::Remove(CControlUI* control) { return RemoveAt(GetItemIndex(control)); }

bool CContainerUI::RemoveAt(int index) {
    if (index < 0 || index >= ItemCount()) return false;
    CControlUI* child = m_items[index];
    m_items.erase(m_items.begin() + index);
    DiscardChild(child);
    NeedUpdate();
    return true;
}

void CContainerUI::RemoveAll() {
    // Taken out of the container first: a child's destructor sees a consistent parent.
    std::vector<CControlUI*> items;
    items.swap(m_items);
    for (CControlUI* child : items) DiscardChild(child);
    m_scroll.position = 0;
    NeedUpdate();
}

void CContainerUI::DiscardChild(CControlUI* child) {
    if (m_pManager != nullptr) {
        m_pManager->ReapObjects(child);
        child->SetManager(m_pManager, nullptr, false);
        m_pManager->AddDelayedCleanup(child);
    } else {
        delete child;
    }
}

RECT CContainerUI::GetInset() const { return m_rcInset; }
void CContainerUI::SetInset(RECT rc) { SetAndRelayout(m_rcInset, rc); }
int CContainerUI::GetChildPadding() const { return m_iChildPadding; }
void CContainerUI::SetChildPadding(int padding) { SetAndRelayout(m_iChildPadding, padding < 0 ? 0 : padding); }

void CContainerUI::EnableScrollBar(bool vertical) {
    m_scroll.allowed = vertical;
    if (!vertical) m_scroll.position = 0;
    NeedUpdate();
}
bool CContainerUI::IsScrollBarEnabled() const { return m_scroll.allowed; }
int CContainerUI::GetScrollPos() const { return m_scroll.position; }
int CContainerUI::GetScrollRange() const { return m_scroll.range; }

void CContainerUI::SetScrollPos(int pos) {
    if (pos > m_scroll.range) pos = m_scroll.range;
    if (pos < 0) pos = 0;
    if (pos == m_scroll.position) return;
    m_scroll.position = pos;
    NeedUpdate();
    Invalidate();
}

void CContainerUI::LineScroll(int lines) { SetScrollPos(m_scroll.position + lines * Scaled(kLineHeight)); }

void CContainerUI::ScrollIntoView(const RECT& rc) {
    if (m_scroll.range <= 0) return;
    const RECT inner = InnerRect(m_rcItem);
    if (rc.top < inner.top) {
        SetScrollPos(m_scroll.position - (inner.top - rc.top));
    } else if (rc.bottom > inner.bottom) {
        // A control taller than the view shows its top.
        SetScrollPos(m_scroll.position + std::min(rc.bottom - inner.bottom, rc.top - inner.top));
    }
}

void CContainerUI::SetContentHeight(int contentHeight, int innerHeight) {
    m_scroll.range = m_scroll.allowed && contentHeight > innerHeight ? contentHeight - innerHeight : 0;
    if (m_scroll.position > m_scroll.range) m_scroll.position = m_scroll.range;
}

RECT CContainerUI::ScrollBarRect() const {
    const RECT inner = InnerRect(m_rcItem);
    return RECT{inner.right - Scaled(kScrollBarWidth), inner.top, inner.right, inner.bottom};
}

RECT CContainerUI::ScrollThumbRect() const {
    const RECT bar = ScrollBarRect();
    const int track = bar.bottom - bar.top;
    const int content = track + m_scroll.range;
    int thumb = content > 0 ? track * track / content : track;
    const int minimum = Scaled(kMinThumbHeight);
    if (thumb < minimum) thumb = minimum < track ? minimum : track;
    const int travel = track - thumb;
    const int top = m_scroll.range > 0 ? bar.top + travel * m_scroll.position / m_scroll.range : bar.top;
    return RECT{bar.left + 1, top, bar.right - 1, top + thumb};
}

void CContainerUI::SetVisible(bool visible) {
    CControlUI::SetVisible(visible);
    const bool shown = IsVisible();
    for (int i = 0; i < ItemCount(); ++i) m_items[i]->SetInternVisible(shown);
}

void CContainerUI::SetPos(RECT rc) {
    CControlUI::SetPos(rc);
    const RECT inner = InnerRect(m_rcItem);
    for (int i = 0; i < ItemCount(); ++i) {
        CControlUI* child = m_items[i];
        if (!child->IsVisible()) continue;
        if (child->IsFloat()) {
            SetFloatPos(child, inner);
            continue;
        }
        const RECT padding = Scaled(child->GetPadding());
        child->SetPos(RECT{inner.left + padding.left, inner.top + padding.top, inner.right - padding.right,
                           inner.bottom - padding.bottom});
    }
    SetContentHeight(0, 0);
}

void CContainerUI::SetAttribute(const char* name, const char* value) {
    if (name == nullptr) return;
    if (std::strcmp(name, "inset") == 0) {
        SetInset(ParseRect(value));
    } else if (std::strcmp(name, "childpadding") == 0) {
        SetChildPadding(ParseInt(value));
    } else if (std::strcmp(name, "vscrollbar") == 0) {
        EnableScrollBar(ParseBool(value));
    } else if (std::strcmp(name, "role") == 0) {
        m_accessibleRole = EqualsNoCase(value, "list") ? ROLE_SYSTEM_LIST : 0;
    } else {
        CControlUI::SetAttribute(name, value);
    }
}

void CContainerUI::DescribeAccessible(int part, AccessibleDescription& out) {
    CControlUI::DescribeAccessible(part, out);
    out.role = m_accessibleRole;
}

void CContainerUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init) {
    // Children first, so that a container's DoInit finds them ready.
    for (int i = 0; i < ItemCount(); ++i) m_items[i]->SetManager(manager, this, init);
    CControlUI::SetManager(manager, parent, init);
}

CControlUI* CContainerUI::FindControl(FINDCONTROLPROC proc, void* data, UINT flags) {
    if ((flags & UIFIND_VISIBLE) != 0 && !IsVisible()) return nullptr;
    if ((flags & UIFIND_ENABLED) != 0 && !IsEnabled()) return nullptr;
    const bool hitTest = (flags & UIFIND_HITTEST) != 0;
    const POINT* pt = static_cast<const POINT*>(data);
    if (hitTest && !::PtInRect(&m_rcItem, *pt)) return nullptr;
    const bool selfTakesPoint = !hitTest || m_bMouseEnabled;

    if ((flags & UIFIND_ME_FIRST) != 0 && selfTakesPoint) {
        if (CControlUI* found = proc(this, data)) return found;
    }
    // Children outside the inner area (scrolled away) are clipped, so they cannot be hit.
    const RECT inner = InnerRect(m_rcItem);
    const bool inInner = !hitTest || ::PtInRect(&inner, *pt);
    const bool onScrollBar = hitTest && m_scroll.range > 0 && [&] {
        const RECT bar = ScrollBarRect();
        return ::PtInRect(&bar, *pt) != FALSE;
    }();
    if (inInner && !onScrollBar) {
        if ((flags & UIFIND_TOP_FIRST) != 0) {
            for (int i = ItemCount() - 1; i >= 0; --i) {
                if (CControlUI* found = m_items[i]->FindControl(proc, data, flags)) return found;
            }
        } else {
            for (int i = 0; i < ItemCount(); ++i) {
                if (CControlUI* found = m_items[i]->FindControl(proc, data, flags)) return found;
            }
        }
    }
    if ((flags & UIFIND_ME_FIRST) == 0 && selfTakesPoint) return proc(this, data);
    return nullptr;
}

void CContainerUI::DoPaint(HDC dc, const RECT& paintRect) {
    RECT visible;
    if (!::IntersectRect(&visible, &paintRect, &m_rcItem)) return;
    PaintBelowBorder(dc);

    const RECT inner = InnerRect(m_rcItem);
    RECT clip;
    if (ItemCount() > 0 && ::IntersectRect(&clip, &visible, &inner)) {
        SavedDCState saved(dc);
        ::IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
        for (int i = 0; i < ItemCount(); ++i) {
            CControlUI* child = m_items[i];
            if (!child->IsVisible()) continue;
            RECT overlap;
            if (!::IntersectRect(&overlap, &clip, &child->GetPos())) continue;
            child->DoPaint(dc, clip);
        }
    }
    if (m_scroll.range > 0) {
        // Translucent black over whatever the content is; the thumb darker while dragged.
        SkinRender::FillRoundColor(dc, ScrollBarRect(), 0x14000000, Scaled(kScrollBarWidth));
        SkinRender::FillRoundColor(dc, ScrollThumbRect(), m_scroll.dragging ? 0x99000000 : 0x66000000,
                                   Scaled(kScrollBarWidth - 2));
    }
    PaintBorder(dc);
}

void CContainerUI::DoEvent(TEventUI& event) {
    if (m_scroll.range <= 0) return;
    switch (event.Type) {
    case UIEVENT_BUTTONDOWN: {
        const RECT bar = ScrollBarRect();
        if (!::PtInRect(&bar, event.ptMouse)) return;
        const RECT thumb = ScrollThumbRect();
        if (::PtInRect(&thumb, event.ptMouse)) {
            m_scroll.dragging = true;
            m_scroll.dragOffset = event.ptMouse.y - thumb.top;
            Invalidate();
        } else {
            // A press on the track pages towards the press.
            const int page = (bar.bottom - bar.top) * 9 / 10;
            SetScrollPos(m_scroll.position + (event.ptMouse.y < thumb.top ? -page : page));
        }
        return;
    }
    case UIEVENT_MOUSEMOVE: {
        if (!m_scroll.dragging) return;
        const RECT bar = ScrollBarRect();
        const RECT thumb = ScrollThumbRect();
        const int travel = (bar.bottom - bar.top) - (thumb.bottom - thumb.top);
        if (travel <= 0) return;
        const int top = event.ptMouse.y - m_scroll.dragOffset - bar.top;
        SetScrollPos(static_cast<int>(static_cast<long long>(top) * m_scroll.range / travel));
        return;
    }
    case UIEVENT_BUTTONUP:
    case UIEVENT_CANCEL:
        if (m_scroll.dragging) {
            m_scroll.dragging = false;
            Invalidate();
        }
        return;
    default:
        return;
    }
}

void CContainerUI::SetFloatPos(CControlUI* child, const RECT& inner) {
    const RECT pos = Scaled(child->GetFloatPos());
    RECT rc{inner.left + pos.left, inner.top + pos.top, inner.left + pos.right, inner.top + pos.bottom};
    if (child->GetFixedWidth() > 0) rc.right = rc.left + Scaled(child->GetFixedWidth());
    if (child->GetFixedHeight() > 0) rc.bottom = rc.top + Scaled(child->GetFixedHeight());
    child->SetPos(rc);
}

RECT CContainerUI::InnerRect(const RECT& rc) const {
    const RECT inset = Scaled(m_rcInset);
    RECT inner{rc.left + inset.left, rc.top + inset.top, rc.right - inset.right, rc.bottom - inset.bottom};
    if (inner.right < inner.left) inner.right = inner.left;
    if (inner.bottom < inner.top) inner.bottom = inner.top;
    return inner;
}
