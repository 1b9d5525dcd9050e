#pragma once
// What a control is to a screen reader. Each control describes itself (part 0), and any
// part it draws itself (a catalogue cell's button); the window's accessibility tree
// (skin/accessible_node.*) answers IAccessible calls from these descriptions.

#include "skin/dui_string.h"

struct AccessibleDescription {
    // ROLE_SYSTEM_*. 0: no element of the tree; a container's children then stand in its place.
    LONG role = 0;
    // Texts in the ANSI code page; the tree converts them to UTF-16.
    CDuiString name;
    CDuiString value;
    CDuiString description;
    CDuiString defaultAction;  // empty: nothing to do
    // STATE_SYSTEM_* of the element itself (selected, pressed, busy, invisible for a part not
    // shown now); the tree adds focus, and the visibility and availability of the control.
    DWORD states = 0;
    // Client coordinates; left empty, the control's rectangle.
    RECT location{0, 0, 0, 0};
};
