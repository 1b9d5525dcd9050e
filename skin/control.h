#pragma once
// The base of every control: name, text, position, look, and the hooks that paint it
// and feed it mouse events, and what it is to a screen reader and the keyboard. Controls
// live in a tree that one paint manager owns.

#include "shared/com_ptr.h"
#include "skin/accessibility.h"
#include "skin/events.h"

class CPaintManagerUI;
class CControlUI;
namespace skin_detail {
class AccessibleNode;
}

// Visits controls during FindControl; returns the control to stop at, or null to go on.
typedef CControlUI* (CALLBACK* FINDCONTROLPROC)(CControlUI* control, void* data);

enum : UINT {
    UIFIND_ALL = 0,
    UIFIND_VISIBLE = 1,
    UIFIND_ENABLED = 2,
    UIFIND_HITTEST = 4,     // data is a POINT*: only controls containing it
    UIFIND_TOP_FIRST = 8,   // children before their container (the topmost control wins)
    UIFIND_ME_FIRST = 0x80, // the container is tried before its children
};

// Control states used to pick an image or colour.
enum : UINT {
    UISTATE_HOT = 1,
    UISTATE_PUSHED = 2,
    UISTATE_SELECTED = 4,
    UISTATE_DISABLED = 8,
    UISTATE_CAPTURED = 16,
};

class SKIN_API CControlUI {
public:
    CControlUI();
    virtual ~CControlUI();
    CControlUI(const CControlUI&) = delete;
    CControlUI& operator=(const CControlUI&) = delete;

    // Class names that windows rely on: "Control", "Label", "Text", "Button", "Option",
    // "Progress", "Container", "VerticalLayout", "HorizontalLayout", "TabLayout", "WebBrowser".
    virtual const char* GetClass() const;
    // name: "Control", "Container" (IContainerUI*), or a subclass's own name; else null.
    virtual void* GetInterface(const char* name);

    CDuiString GetName() const;
    void SetName(const char* name);
    virtual CDuiString GetText() const;
    virtual void SetText(const char* text);
    CDuiString GetToolTip() const;
    void SetToolTip(const char* text);
    CDuiString GetUserData() const;
    void SetUserData(const char* text);
    UINT_PTR GetTag() const;
    void SetTag(UINT_PTR tag);

    bool IsVisible() const;  // false also when a container above is hidden
    virtual void SetVisible(bool visible = true);
    bool IsEnabled() const;
    virtual void SetEnabled(bool enabled = true);
    bool IsMouseEnabled() const;
    void SetMouseEnabled(bool enabled = true);
    // Visibility imposed by a container above; the control's own flag is kept. Calls
    // SetVisible with the own flag so that a control with a native window can follow.
    void SetInternVisible(bool visible);

    // Position in client coordinates, set by the parent's layout.
    const RECT& GetPos() const;
    virtual void SetPos(RECT rc);
    int GetWidth() const;
    int GetHeight() const;
    // 0 means "share what is left" in the parent's direction.
    int GetFixedWidth() const;
    void SetFixedWidth(int cx);
    int GetFixedHeight() const;
    void SetFixedHeight(int cy);
    RECT GetPadding() const;  // space kept around the control inside its parent
    void SetPadding(RECT rc);
    // A floating control is placed at its "pos" inside the parent, outside the flow.
    bool IsFloat() const;
    RECT GetFloatPos() const;

    DWORD GetBkColor() const;  // 0xAARRGGBB; alpha 0 means none
    void SetBkColor(DWORD argb);
    CDuiString GetBkImage() const;
    void SetBkImage(const char* image);  // an image name in the skin archive
    DWORD GetBorderColor() const;
    void SetBorderColor(DWORD argb);
    int GetBorderSize() const;
    void SetBorderSize(int size);
    SIZE GetBorderRound() const;
    void SetBorderRound(SIZE corner);
    // The control's own colour, or 0 when it takes the paint manager's default.
    DWORD GetTextColor() const;
    void SetTextColor(DWORD argb);
    DWORD GetDisabledTextColor() const;
    void SetDisabledTextColor(DWORD argb);
    int GetFont() const;  // font id of the paint manager; -1 is the default font
    void SetFont(int id);
    UINT GetTextStyle() const;  // DT_ flags
    void SetTextStyle(UINT style);
    RECT GetTextPadding() const;
    void SetTextPadding(RECT rc);

    // Layout attributes; the set is documented in docs/skin-format.md. Unknown names are ignored.
    // Lengths (sizes, paddings, positions, borders, corners) are pixels at 96 DPI, and so
    // are the values the getters above give back; GetPos is in the window's pixels.
    virtual void SetAttribute(const char* name, const char* value);

    CPaintManagerUI* GetManager() const;
    CControlUI* GetParent() const;
    virtual void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init = true);
    // Called once when the control first gets a paint manager with init = true.
    virtual void DoInit();

    virtual CControlUI* FindControl(FINDCONTROLPROC proc, void* data, UINT flags);
    // The size the control would like at the window's DPI, given what the parent can offer.
    virtual SIZE EstimateSize(SIZE available);
    virtual void DoPaint(HDC dc, const RECT& paintRect);
    virtual void DoEvent(TEventUI& event);

    // The accessibility tree and the keyboard (skin/accessibility.h). Part 0 is the control
    // itself; parts 1 to AccessiblePartCount() are what it draws itself.
    virtual void DescribeAccessible(int part, AccessibleDescription& out);
    virtual int AccessiblePartCount() const;
    // Whether Tab stops here, while the control is visible and enabled.
    virtual bool IsFocusable() const;
    // What a click does, for Enter, Space and a screen reader's default action; false when
    // the control has nothing to do or cannot act now.
    virtual bool Activate();
    // Whether the control shows the keyboard focus now: it has it, the keyboard put it
    // there, and the window has the system's focus.
    bool ShowsFocus() const;
    // The control's node in the tree, made when first asked for; the reference stays the
    // control's, and the node is cut off when the control goes.
    skin_detail::AccessibleNode& GetAccessibleNode();
    LONG GetAccessibleId() const;  // the node's id; 0 while there is none

    void Invalidate();
    bool IsUpdateNeeded() const;
    void NeedUpdate();        // this control's layout must be redone
    void NeedParentUpdate();  // the parent's layout must be redone (size changed)

protected:
    // Lengths of the layout at the window's DPI; as they are while the control has no window.
    int Scaled(int value) const;
    RECT Scaled(const RECT& rc) const;
    SIZE Scaled(SIZE size) const;
    // The control's rectangle less its text padding.
    RECT TextRect() const;
    // The background in a colour, rounded by "borderround".
    void FillBackground(HDC dc, DWORD argb);

    virtual void PaintBkColor(HDC dc);
    virtual void PaintBkImage(HDC dc);
    virtual void PaintStatusImage(HDC dc);
    virtual void PaintText(HDC dc);
    virtual void PaintBorder(HDC dc);
    // Everything a control paints under its border (a container paints its children between).
    void PaintBelowBorder(HDC dc) {
        PaintBkColor(dc);
        PaintBkImage(dc);
        PaintStatusImage(dc);
        PaintText(dc);
    }
    // The focus ring, inside the control's rectangle and rounded by "borderround".
    void PaintFocusRing(HDC dc);
    // Tells a screen reader that what it reads changed (EVENT_OBJECT_VALUECHANGE and the
    // like); nothing while no node has been asked for.
    void NotifyAccessibleChange(DWORD event);
    // Draws an image name from the skin archive stretched to rc (whole control when null).
    bool DrawImage(HDC dc, const char* image, const RECT* rc = nullptr);
    // A property's new value, then what it changes: the look, the layout, or the room the
    // control takes in its parent's layout.
    template <typename Member, typename Value>
    void SetAndRepaint(Member& member, const Value& value) {
        member = value;
        Invalidate();
    }
    template <typename Member, typename Value>
    void SetAndRelayout(Member& member, const Value& value) {
        member = value;
        NeedUpdate();
    }
    template <typename Member, typename Value>
    void SetAndRelayoutParent(Member& member, const Value& value) {
        member = value;
        NeedParentUpdate();
    }

    CPaintManagerUI* m_pManager = nullptr;
    CControlUI* m_pParent = nullptr;
    CDuiString m_sName;
    CDuiString m_sText;
    CDuiString m_sToolTip;
    CDuiString m_sUserData;
    CDuiString m_sBkImage;
    UINT_PTR m_tag = 0;
    RECT m_rcItem{0, 0, 0, 0};
    RECT m_rcPadding{0, 0, 0, 0};
    RECT m_rcTextPadding{0, 0, 0, 0};
    RECT m_rcFloat{0, 0, 0, 0};
    SIZE m_cxyFixed{0, 0};
    SIZE m_cxyBorderRound{0, 0};
    DWORD m_dwBkColor = 0;
    DWORD m_dwBorderColor = 0;
    DWORD m_dwTextColor = 0;
    DWORD m_dwDisabledTextColor = 0;
    int m_nBorderSize = 0;
    int m_iFont = -1;
    UINT m_uTextStyle = DT_LEFT | DT_VCENTER | DT_SINGLELINE;
    bool m_bVisible = true;
    bool m_bInternVisible = true;
    bool m_bEnabled = true;
    bool m_bMouseEnabled = true;
    bool m_bFloat = false;
    bool m_bUpdateNeeded = true;
    bool m_bInited = false;
    ComPtr<skin_detail::AccessibleNode> m_pAccessible;
};
