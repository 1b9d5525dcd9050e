#pragma once
// A window's accessibility tree read as a screen reader reads it, through oleacc: from
// AccessibleObjectFromWindow down, in the order AccessibleChildren gives. The window may
// be another process's (every call is then marshalled to it). The thread needs COM.

#include "shared/com_ptr.h"

#include <windows.h>

#include <oleacc.h>

#include <string>
#include <vector>

// An object, or a simple element (child id) of it.
struct AccessibleElement {
    ComPtr<IAccessible> object;
    LONG child = CHILDID_SELF;

    explicit operator bool() const { return object != nullptr; }
    // Empty, or 0, also when the call fails.
    std::wstring Name() const;
    std::wstring Value() const;
    std::wstring DefaultAction() const;
    int Percent() const;  // a value "37%" as 37; -1 for any other
    LONG Role() const;
    LONG State() const;
    bool Has(LONG state) const { return (State() & state) != 0; }
    RECT Location() const;  // screen coordinates
    HRESULT NameResult() const;  // what get_accName answers
    HRESULT DoDefaultAction() const;
    std::vector<AccessibleElement> Children() const;
    AccessibleElement Parent() const;  // of a simple element, its object
};

AccessibleElement AccessibleWindow(HWND window);  // the client area's element
// Depth first below from: the first element with that name and role (any role when 0).
AccessibleElement FindAccessible(const AccessibleElement& from, const std::wstring& name, LONG role = 0);
// Every element of the role below from, in reading order.
std::vector<AccessibleElement> FindAllAccessible(const AccessibleElement& from, LONG role);
std::vector<std::wstring> NamesOf(const std::vector<AccessibleElement>& elements);
// The element with the keyboard focus, by get_accFocus from the window down.
AccessibleElement FocusedAccessible(HWND window);
// The element at a point of the screen, by oleacc's hit testing.
AccessibleElement AccessibleAt(POINT screen);

// The names of the elements that EVENT_OBJECT_FOCUS announces in a process while the object
// lives, read as each event arrives. Events come as messages: the thread must pump.
class FocusEvents {
public:
    explicit FocusEvents(DWORD processId);
    ~FocusEvents();
    FocusEvents(const FocusEvents&) = delete;
    FocusEvents& operator=(const FocusEvents&) = delete;
    bool Hooked() const { return m_hook != nullptr; }
    const std::vector<std::wstring>& Names() const { return m_names; }

private:
    static void CALLBACK OnEvent(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child, DWORD, DWORD);
    HWINEVENTHOOK m_hook = nullptr;
    std::vector<std::wstring> m_names;
};
