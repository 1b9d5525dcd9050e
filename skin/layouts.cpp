#include "skin/container.h"

#include "skin/dpi.h"
#include "skin/paint_manager.h"

#include <cstring>
#include <vector>

namespace {

struct FlowItem {
    CControlUI* control;
    SIZE size;  // 0 in the flow's direction: takes a share of what is left
    RECT padding;
};

// The children that take part in the flow, with what their fixed lengths, paddings and
// gaps use up along it; floating and hidden children stand aside.
struct Flow {
    std::vector<FlowItem> items;
    int used = 0;
    int flexible = 0;
};

// The DPI the container's children are laid out at.
UINT DpiOf(const CControlUI& container) {
    return container.GetManager() != nullptr ? container.GetManager()->GetDpi() : skin_detail::kBaseDpi;
}

// childPadding in pixels; the children's own sizes and paddings are scaled to dpi.
Flow MeasureFlow(CControlUI* const* children, int count, SIZE available, bool vertical, int childPadding, UINT dpi) {
    Flow flow;
    flow.items.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        CControlUI* child = children[i];
        if (!child->IsVisible() || child->IsFloat()) continue;
        FlowItem item{child, child->EstimateSize(available), skin_detail::ScaleToDpi(child->GetPadding(), dpi)};
        const int length = vertical ? item.size.cy : item.size.cx;
        flow.used += vertical ? item.padding.top + item.padding.bottom : item.padding.left + item.padding.right;
        if (length > 0) {
            flow.used += length;
        } else {
            ++flow.flexible;
        }
        flow.items.push_back(item);
    }
    if (flow.items.size() > 1) flow.used += childPadding * static_cast<int>(flow.items.size() - 1);
    return flow;
}

// Hands out what is left along the flow in equal shares; the last flexible child takes
// the rounding remainder.
class FlexibleShares {
public:
    FlexibleShares(int room, const Flow& flow)
        : m_remaining(room > flow.used ? room - flow.used : 0),
          m_share(flow.flexible > 0 ? m_remaining / flow.flexible : 0),
          m_flexible(flow.flexible),
          m_left(flow.flexible) {}

    int LengthOf(int fixedLength) {
        if (fixedLength > 0) return fixedLength;
        return --m_left == 0 ? m_remaining - m_share * (m_flexible - 1) : m_share;
    }

private:
    int m_remaining;
    int m_share;
    int m_flexible;
    int m_left;
};

// Across the flow a child keeps its own size when it fits, and fills the room otherwise.
int CrossLength(int ownLength, int room) {
    const int length = ownLength > 0 && ownLength < room ? ownLength : room;
    return length < 0 ? 0 : length;
}

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

    const int childPadding = Scaled(m_iChildPadding);
    const Flow flow =
        MeasureFlow(m_items.data(), ItemCount(), SIZE{innerWidth, innerHeight}, true, childPadding, DpiOf(*this));
    const bool scrolling = m_scroll.allowed && flow.used > innerHeight;
    if (scrolling) inner.right -= Scaled(kScrollBarWidth);
    SetContentHeight(flow.used, innerHeight);

    FlexibleShares shares(innerHeight, flow);
    int y = inner.top - m_scroll.position;
    for (const FlowItem& item : flow.items) {
        const int height = shares.LengthOf(item.size.cy);
        const int room = (inner.right - inner.left) - item.padding.left - item.padding.right;
        const int width = CrossLength(item.size.cx, room);
        const int left = inner.left + item.padding.left;
        const int top = y + item.padding.top;
        item.control->SetPos(RECT{left, top, left + width, top + height});
        y = top + height + item.padding.bottom + childPadding;
    }

    const RECT floatArea = InnerRect(m_rcItem);
    for (int i = 0; i < ItemCount(); ++i) {
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

    const int childPadding = Scaled(m_iChildPadding);
    const Flow flow =
        MeasureFlow(m_items.data(), ItemCount(), SIZE{innerWidth, innerHeight}, false, childPadding, DpiOf(*this));
    SetContentHeight(0, 0);

    FlexibleShares shares(innerWidth, flow);
    int x = inner.left;
    for (const FlowItem& item : flow.items) {
        const int width = shares.LengthOf(item.size.cx);
        const int height = CrossLength(item.size.cy, innerHeight - item.padding.top - item.padding.bottom);
        const int left = x + item.padding.left;
        const int top = inner.top + item.padding.top;
        item.control->SetPos(RECT{left, top, left + width, top + height});
        x = left + width + item.padding.right + childPadding;
    }

    for (int i = 0; i < ItemCount(); ++i) {
        if (m_items[i]->IsVisible() && m_items[i]->IsFloat()) SetFloatPos(m_items[i], inner);
    }
}
