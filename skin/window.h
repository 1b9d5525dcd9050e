#pragma once
// A native window whose procedure calls the object's HandleMessage. The object is found
// from the window through GWLP_USERDATA; OnFinalMessage runs after WM_NCDESTROY.

#include "shared/unique_handle.h"
#include "skin/dui_string.h"

class SKIN_API CWindowWnd {
public:
    CWindowWnd();
    virtual ~CWindowWnd();
    CWindowWnd(const CWindowWnd&) = delete;
    CWindowWnd& operator=(const CWindowWnd&) = delete;

    HWND GetHWND() const;
    operator HWND() const;

    // Registers the class from GetWindowClassName (or superclasses GetSuperClassName)
    // on first use, then creates the window; null on failure.
    HWND Create(HWND parent, const char* name, DWORD style, DWORD exStyle, int x = CW_USEDEFAULT,
                int y = CW_USEDEFAULT, int cx = CW_USEDEFAULT, int cy = CW_USEDEFAULT,
                HMENU menu = nullptr);
    HWND Create(HWND parent, const char* name, DWORD style, DWORD exStyle, const RECT& rc,
                HMENU menu = nullptr);
    void ShowWindow(bool show = true, bool takeFocus = true);
    void Close(UINT result = IDOK);
    // Centres on the owner, or on the work area of the window's monitor without one.
    void CenterWindow();
    // Big and small icon from the resource id of the process's module, in the system's
    // icon sizes at the window's DPI.
    void SetIcon(UINT resourceId);
    UINT GetIconResource() const;
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

protected:
    virtual const char* GetWindowClassName() const = 0;
    virtual const char* GetSuperClassName() const;  // null: a class of its own
    virtual UINT GetClassStyle() const;
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);  // DefWindowProc
    virtual void OnFinalMessage(HWND window);

    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK SuperclassProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // Both procedures: the bound object's HandleMessage, else base (DefWindowProc when null).
    static LRESULT RouteMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, WNDPROC base);

    HWND m_hWnd = nullptr;
    // The icons the window shows; they go after the window does.
    UINT m_iconResource = 0;
    UniqueHandle<NullableHandleTraits<HICON, ::DestroyIcon>> m_bigIcon;
    UniqueHandle<NullableHandleTraits<HICON, ::DestroyIcon>> m_smallIcon;
    WNDPROC m_oldWndProc = nullptr;
    bool m_bSubclassed = false;
};
