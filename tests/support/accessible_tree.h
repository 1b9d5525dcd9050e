#pragma once
// A window's accessibility tree read as a screen reader reads it, through oleacc: from
// AccessibleObjectFromWindow down, in the order AccessibleChildren gives. The window may
// belong to another process (every call is then marshalled to it). The thread needs COM.

#include "shared/com_ptr.h"

#include <windows.h>

#include <oleacc.h>

#include <string>
#include <vector>

// An element: an object, or a simple element (child id) of it.
struct AccessibleElement {
    ComPtr<IAccessible> object;
    LONG child = CHILDID_SELF;

    explicit operator bool() const { return object != nullptr; }
    std::wstring Name() const;  // empty also when the call fails
    std::wstring Value() const;
    std::wstring DefaultAction() const;
    int Percent() const;  // a value "37%" as 37; -1 for any other value
    LONG Role() const;  // 0 when the call fails
    LONG State() const;
    bool Has(LONG state) const { return (State() & state) != 0; }
    RECT Location() const;  // screen coordinates
    HRESULT NameResult() const;  // what get_accName answers, for elements whose control went
    HRESULT DoDefaultAction() const;
    std::vector<AccessibleElement> Children() const;
};

// The element of the window's client area.
AccessibleElement AccessibleWindow(HWND window);
// Depth first, in reading order, below from: the first element with that name and role
// (any role when 0); empty when there is none.
AccessibleElement FindAccessible(const AccessibleElement& from, const std::wstring& name, LONG role = 0);
// Every element of that role below from, in reading order.
std::vector<AccessibleElement> FindAllAccessible(const AccessibleElement& from, LONG role);
std::vector<std::wstring> NamesOf(const std::vector<AccessibleElement>& elements);
// The element with the keyboard focus, by get_accFocus from the window down; empty when
// the window has none.
AccessibleElement FocusedAccessible(HWND window);

// The names of the elements that EVENT_OBJECT_FOCUS announced in a process while the
// object lives, read when the event arrives (AccessibleObjectFromEvent). The events come
// as messages: the thread must pump (PumpMessagesUntil). One at a time.
class FocusEvents {
public:
    explicit FocusEvents(DWORD processId);
    ~FocusEvents();
    FocusEvents(const FocusEvents&) = delete;
    FocusEvents& operator=(const FocusEvents&) = delete;
    bool Hooked() const { return m_hook != nullptr; }
    const std::vector<std::wstring>& Names() const { return m_names; }

private:
    static void CALLBACK OnEvent(HWINEVENTHOOK hook, DWORD event, HWND window, LONG object, LONG child, DWORD thread,
                                 DWORD time);
    HWINEVENTHOOK m_hook = nullptr;
    std::vector<std::wstring> m_names;
};
