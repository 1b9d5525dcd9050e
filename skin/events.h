#pragma once
// What the paint manager tells controls (events) and what controls tell windows (notifications).

#include "skin/dui_string.h"

class CControlUI;

enum UIEVENT_TYPE {
    UIEVENT_MOUSEENTER = 1,
    UIEVENT_MOUSELEAVE,
    UIEVENT_MOUSEMOVE,
    UIEVENT_BUTTONDOWN,
    UIEVENT_BUTTONUP,
    UIEVENT_DBLCLICK,
    UIEVENT_SETCURSOR,
    UIEVENT_CANCEL,  // the mouse capture was lost before the button came up
};

struct TEventUI {
    int Type = 0;
    CControlUI* pSender = nullptr;
    DWORD dwTimestamp = 0;
    POINT ptMouse{0, 0};  // client coordinates
    WORD wKeyState = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

// Types sent: "windowinit", "click", "selectchanged".
struct TNotifyUI {
    CDuiString sType;
    CControlUI* pSender = nullptr;
    DWORD dwTimestamp = 0;
    POINT ptMouse{0, 0};
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

class SKIN_API INotifyUI {
public:
    virtual void Notify(TNotifyUI& msg) = 0;

protected:
    ~INotifyUI() = default;
};
