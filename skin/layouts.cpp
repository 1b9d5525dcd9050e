#include "skin/container.h"

#include <cstring>
#include <vector>

namespace {

struct FlowItem {
    CControlUI* control;
    SIZE size;  // 0 in the flow's direction: takes a share of what is left
    RECT padding;
};

}  // namespace

const char* CVerticalLayoutUI::GetClass() const { return "VerticalLayout"; }

void* CVerticalLayoutUI::GetInterface(const char* name) {
    if (name != nullptr && std::strcmp(name, "VerticalLayout") == 0) return this;
    return CContainerUI::GetInterface(name);
}

void CVerticalLayoutUI::SetPos(RECT rc) {
    CControlUI::SetPos(rc);
    RECT inner = InnerRect(m_rcItem);
    const int innerWidth = inner.right - inner.left;
    const int innerHeight = inner.bottom - inner.top;

    // First the fixed heights, paddings and gaps; the rest is shared.
    std::vector<FlowItem> flow;
    flow.reserve(static_cast<size_t>(m_count));
    int used = 0;
    int flexible = 0;
    for (int i = 0; i < m_count; ++i) {
        CControlUI* child = m_items[i];
        if (!child->IsVisible() || child->IsFloat()) continue;
        FlowItem item{child, child->EstimateSize(SIZE{innerWidth, innerHeight}), child->GetPadding()};
        used += item.padding.top + item.padding.bottom;
        if (item.size.cy > 0) {
            used += item.size.cy;
        } else {
            ++flexible;
        }
        flow.push_back(item);
    }
    if (flow.size() > 1) used += m_iChildPadding * static_cast<int>(flow.size() - 1);

    const bool scrolling = m_bVScroll && used > innerHeight;
    if (scrolling) inner.right -= kScrollBarWidth;
    SetContentHeight(used, innerHeight);

    int remaining = innerHeight - used;
    if (remaining < 0) remaining = 0;
    const int share = flexible > 0 ? remaining / flexible : 0;
    int flexibleLeft = flexible;

    int y = inner.top - m_iScrollPos;
    for (const FlowItem& item : flow) {
        int height = item.size.cy;
        if (height <= 0) {
            // The last flexible child takes the rounding remainder.
            height = --flexibleLeft == 0 ? remaining - share * (flexible - 1) : share;
        }
        const int room = (inner.right - inner.left) - item.padding.left - item.padding.right;
        int width = item.size.cx > 0 && item.size.cx < room ? item.size.cx : room;
        if (width < 0) width = 0;
        const int left = inner.left + item.padding.left;
        const int top = y + item.padding.top;
        item.control->SetPos(RECT{left, top, left + width, top + height});
        y = top + height + item.padding.bottom + m_iChildPadding;
    }

    const RECT floatArea = InnerRect(m_rcItem);
    for (int i = 0; i < m_count; ++i) {
        if (m_items[i]->IsVisible() && m_items[i]->IsFloat()) SetFloatPos(m_items[i], floatArea);
    }
}

const char* CHorizontalLayoutUI::GetClass() const { return "HorizontalLayout"; }

void* CHorizontalLayoutUI::GetInterface(const char* name) {
    if (name != nullptr && std::strcmp(name, "HorizontalLayout") == 0) return this;
    return CContainerUI::GetInterface(name);
}

void CHorizontalLayoutUI::SetPos(RECT rc) {
    CControlUI::SetPos(rc);
    const RECT inner = InnerRect(m_rcItem);
    const int innerWidth = inner.right - inner.left;
    const int innerHeight = inner.bottom - inner.top;

    std::vector<FlowItem> flow;
    flow.reserve(static_cast<size_t>(m_count));
    int used = 0;
    int flexible = 0;
    for (int i = 0; i < m_count; ++i) {
        CControlUI* child = m_items[i];
        if (!child->IsVisible() || child->IsFloat()) continue;
        FlowItem item{child, child->EstimateSize(SIZE{innerWidth, innerHeight}), child->GetPadding()};
        used += item.padding.left + item.padding.right;
        if (item.size.cx > 0) {
            used += item.size.cx;
        } else {
            ++flexible;
        }
        flow.push_back(item);
    }
    if (flow.size() > 1) used += m_iChildPadding * static_cast<int>(flow.size() - 1);
    SetContentHeight(0, 0);

    int remaining = innerWidth - used;
    if (remaining < 0) remaining = 0;
    const int share = flexible > 0 ? remaining / flexible : 0;
    int flexibleLeft = flexible;

    int x = inner.left;
    for (const FlowItem& item : flow) {
        int width = item.size.cx;
        if (width <= 0) width = --flexibleLeft == 0 ? remaining - share * (flexible - 1) : share;
        const int room = innerHeight - item.padding.top - item.padding.bottom;
        int height = item.size.cy > 0 && item.size.cy < room ? item.size.cy : room;
        if (height < 0) height = 0;
        const int left = x + item.padding.left;
        const int top = inner.top + item.padding.top;
        item.control->SetPos(RECT{left, top, left + width, top + height});
        x = left + width + item.padding.right + m_iChildPadding;
    }

    for (int i = 0; i < m_count; ++i) {
        if (m_items[i]->IsVisible() && m_items[i]->IsFloat()) SetFloatPos(m_items[i], inner);
    }
}
