#pragma once
// Controls that hold controls, and the layouts that place them.

#include "skin/control.h"

#include <vector>

class SKIN_API IContainerUI {
public:
    virtual CControlUI* GetItemAt(int index) const = 0;
    virtual int GetItemIndex(CControlUI* control) const = 0;
    virtual int GetCount() const = 0;
    virtual bool Add(CControlUI* control) = 0;
    virtual bool AddAt(CControlUI* control, int index) = 0;
    // Removing deletes the control (and its children).
    virtual bool Remove(CControlUI* control) = 0;
    virtual bool RemoveAt(int index) = 0;
    virtual void RemoveAll() = 0;

protected:
    ~IContainerUI() = default;
};

// Lays every child over the whole inner area (inside "inset"), like a stack of layers.
class SKIN_API CContainerUI : public CControlUI, public IContainerUI {
public:
    CContainerUI();
    ~CContainerUI() override;

    const char* GetClass() const override;
    void* GetInterface(const char* name) override;

    CControlUI* GetItemAt(int index) const override;
    int GetItemIndex(CControlUI* control) const override;
    int GetCount() const override;
    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control) override;
    bool RemoveAt(int index) override;
    void RemoveAll() override;

    RECT GetInset() const;
    void SetInset(RECT rc);
    int GetChildPadding() const;
    void SetChildPadding(int padding);

    // Vertical scrolling ("vscrollbar" in the layout): content taller than the inner area
    // scrolls with the mouse wheel or by dragging the bar along the right edge.
    void EnableScrollBar(bool vertical = true);
    bool IsScrollBarEnabled() const;
    int GetScrollPos() const;
    int GetScrollRange() const;  // 0 while everything fits
    void SetScrollPos(int pos);  // clamped to the range
    void LineScroll(int lines);  // positive: further down
    // Scrolls the least that brings rc (client coordinates, as laid out now) into view.
    void ScrollIntoView(const RECT& rc);

    void SetVisible(bool visible = true) override;
    void SetPos(RECT rc) override;
    void SetAttribute(const char* name, const char* value) override;
    void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init = true) override;
    CControlUI* FindControl(FINDCONTROLPROC proc, void* data, UINT flags) override;
    void DoPaint(HDC dc, const RECT& paintRect) override;
    void DoEvent(TEventUI& event) override;
    // An element of the accessibility tree only when the layout gives it a "role".
    void DescribeAccessible(int part, AccessibleDescription& out) override;

protected:
    static constexpr int kScrollBarWidth = 8;

    // Places floating children at their "pos" inside the inner area.
    void SetFloatPos(CControlUI* child, const RECT& inner);
    RECT InnerRect(const RECT& rc) const;
    // After the layout has placed the flow: the content's height decides the scroll range.
    void SetContentHeight(int contentHeight, int innerHeight);
    RECT ScrollBarRect() const;
    RECT ScrollThumbRect() const;
    // Detaches a child and deletes it, later if the paint manager is dispatching an event.
    void DiscardChild(CControlUI* child);

    int ItemCount() const { return static_cast<int>(m_items.size()); }

    // Owned: the children are deleted with the container.
    std::vector<CControlUI*> m_items;
    RECT m_rcInset{0, 0, 0, 0};
    int m_iChildPadding = 0;
    // The vertical scroll bar: "vscrollbar" allows it; the range is what the content
    // exceeds the inner height by, the position within it.
    struct VerticalScroll {
        bool allowed = false;
        bool dragging = false;  // the thumb follows the mouse
        int position = 0;
        int range = 0;
        int dragOffset = 0;  // where in the thumb it was pressed
    } m_scroll;
    LONG m_accessibleRole = 0;
};

// Children stacked top to bottom: fixed heights first, the rest shared by the others.
class SKIN_API CVerticalLayoutUI : public CContainerUI {
public:
    const char* GetClass() const override;
    void* GetInterface(const char* name) override;
    void SetPos(RECT rc) override;
};

// Children side by side, left to right: fixed widths first, the rest shared by the others.
class SKIN_API CHorizontalLayoutUI : public CContainerUI {
public:
    const char* GetClass() const override;
    void* GetInterface(const char* name) override;
    void SetPos(RECT rc) override;
};

// Shows one child at a time ("selectedid" in the layout picks the first).
class SKIN_API CTabLayoutUI : public CContainerUI {
public:
    const char* GetClass() const override;
    void* GetInterface(const char* name) override;

    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control) override;
    void RemoveAll() override;
    int GetCurSel() const;
    // trigger: also send "tabselect" to the window (no window of this system uses it).
    bool SelectItem(int index, bool trigger = true);
    void SetPos(RECT rc) override;
    void SetAttribute(const char* name, const char* value) override;

private:
    int m_iCurSel = -1;
};
