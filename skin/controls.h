#pragma once
// Labels, buttons, options and the progress bar.

#include "skin/control.h"

// One line of text (or several with "multiline"), drawn with the control's font and colour.
class SKIN_API CLabelUI : public CControlUI {
public:
    const char* GetClass() const override;  // "Label": part of a draggable caption
    void* GetInterface(const char* name) override;
    void SetAttribute(const char* name, const char* value) override;
    SIZE EstimateSize(SIZE available) override;
    void DescribeAccessible(int part, AccessibleDescription& out) override;

protected:
    void PaintText(HDC dc) override;
    void DrawLabelText(HDC dc, DWORD argb);
};

// A label that takes part in clicks rather than in window dragging.
class SKIN_API CTextUI : public CLabelUI {
public:
    const char* GetClass() const override;  // "Text"
    void* GetInterface(const char* name) override;
};

// Sends "click" when the left button goes down and comes up inside it.
class SKIN_API CButtonUI : public CLabelUI {
public:
    CButtonUI();  // text centred
    const char* GetClass() const override;  // "Button"
    void* GetInterface(const char* name) override;
    void SetAttribute(const char* name, const char* value) override;
    void DoEvent(TEventUI& event) override;
    void SetEnabled(bool enabled = true) override;
    // Sends the notification a completed click sends; false when the button is disabled.
    bool Activate() override;
    void DescribeAccessible(int part, AccessibleDescription& out) override;
    bool IsFocusable() const override;
    UINT GetButtonState() const;

protected:
    void PaintStatusImage(HDC dc) override;
    void PaintText(HDC dc) override;
    void PaintBkColor(HDC dc) override;
    // The look of the current state, falling back to the plainer states.
    DWORD StateBkColor() const;
    DWORD StateTextColor() const;
    const CDuiString& StateImage() const;

    UINT m_uButtonState = 0;
    CDuiString m_sNormalImage;
    CDuiString m_sHotImage;
    CDuiString m_sPushedImage;
    CDuiString m_sDisabledImage;
    DWORD m_dwHotBkColor = 0;
    DWORD m_dwPushedBkColor = 0;
    DWORD m_dwHotTextColor = 0;
    DWORD m_dwPushedTextColor = 0;
};

// A button that stays selected; options with the same "group" select one at a time.
class SKIN_API COptionUI : public CButtonUI {
public:
    ~COptionUI() override;
    const char* GetClass() const override;  // "Option"
    void* GetInterface(const char* name) override;
    void SetAttribute(const char* name, const char* value) override;
    void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init = true) override;

    bool IsSelected() const;
    // Sends "selectchanged" when the state changes (and trigger is set); selecting one
    // of a group clears the others of the group silently.
    void Selected(bool selected, bool trigger = true);
    bool Activate() override;
    void DescribeAccessible(int part, AccessibleDescription& out) override;
    CDuiString GetGroup() const;
    void SetGroup(const char* group);

protected:
    void PaintStatusImage(HDC dc) override;
    void PaintText(HDC dc) override;
    void PaintBkColor(HDC dc) override;

    bool m_bSelected = false;
    CDuiString m_sGroup;
    CDuiString m_sSelectedImage;
    DWORD m_dwSelectedBkColor = 0;
    DWORD m_dwSelectedTextColor = 0;
};

// A horizontal bar filled from the left in proportion to value within [min, max].
class SKIN_API CProgressUI : public CLabelUI {
public:
    const char* GetClass() const override;  // "Progress"
    void* GetInterface(const char* name) override;
    void SetAttribute(const char* name, const char* value) override;
    // Its value reads as the percentage of the range ("37%").
    void DescribeAccessible(int part, AccessibleDescription& out) override;

    int GetMinValue() const;
    int GetMaxValue() const;
    void SetMinValue(int value);
    void SetMaxValue(int value);
    int GetValue() const;
    void SetValue(int value);  // clamped to the range

protected:
    void PaintStatusImage(HDC dc) override;

    int m_nMin = 0;
    int m_nMax = 100;
    int m_nValue = 0;
    DWORD m_dwForeColor = 0;
    CDuiString m_sForeImage;
};
