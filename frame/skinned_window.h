#pragma once
// The common frame of the suite's borderless windows: no system caption, the layout
// built on WM_CREATE, dragging by the skin's caption area, rounded corners, maximising
// to the primary work area, caption buttons kept in step, and the message loop ended
// by a system close or the window's destruction.

#include "skin/skin.h"

class SkinnedWindow : public CWindowWnd, public INotifyUI {
public:
    SkinnedWindow() = default;
    ~SkinnedWindow() override = default;

    CPaintManagerUI& PaintManager() { return m_paintManager; }
    // The layout's window size at the window's DPI, without moving or activating the
    // window; nothing when the layout gives no size.
    void ResizeToLayoutSize();

protected:
    // Layout file read from the skin resources on WM_CREATE.
    virtual const char* LayoutFileName() const = 0;
    // Builder callback for elements the library does not know; none by default.
    virtual IDialogBuilderCallback* BuilderCallback() { return nullptr; }
    // Control look-ups and first actions, after the layout is attached.
    virtual void InitWindow() {}
    // Whether a double click on the caption does nothing (true) or takes the default.
    virtual bool IgnoresCaptionDoubleClick() const { return true; }
    // Window-specific messages, before the frame's own handling: set handled to take them.
    virtual LRESULT HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);

    UINT GetClassStyle() const override { return CS_DBLCLKS; }
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnFinalMessage(HWND window) override;

    LRESULT OnCreate(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnNcHitTest(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnSize(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnGetMinMaxInfo(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnSysCommand(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    // The paint manager first, then the system default.
    LRESULT DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam);

    CPaintManagerUI m_paintManager;
};

// The caption buttons' shared click behaviour: minimise, maximise and restore through
// WM_SYSCOMMAND sent to the window itself. True when the sender was one of them.
bool HandleCaptionButtonClick(CWindowWnd& window, const CDuiString& senderName);
