#include "skin/accessible_tree.h"

#include "skin/accessible_node.h"
#include "skin/container.h"
#include "skin/paint_manager.h"

#include <oleacc.h>

#include <string>

namespace skin_detail {

namespace {

IContainerUI* ContainerOf(CControlUI& control) {
    return static_cast<IContainerUI*>(control.GetInterface("Container"));
}

void CollectElements(CControlUI& container, std::vector<CControlUI*>& elements) {
    IContainerUI* items = ContainerOf(container);
    if (items == nullptr) return;
    for (int i = 0; i < items->GetCount(); ++i) {
        CControlUI* child = items->GetItemAt(i);
        if (child == nullptr) continue;
        if (IsAccessibleElement(*child)) {
            elements.push_back(child);
        } else {
            CollectElements(*child, elements);
        }
    }
}

CControlUI* CALLBACK MatchesId(CControlUI* control, void* data) {
    return control->GetAccessibleId() == *static_cast<const LONG*>(data) ? control : nullptr;
}

// Scrolled out of a list, or placed outside what a container above shows.
bool IsOffscreen(const CControlUI& control, const RECT& location) {
    for (const CControlUI* above = control.GetParent(); above != nullptr; above = above->GetParent()) {
        RECT overlap;
        if (!::IntersectRect(&overlap, &location, &above->GetPos())) return true;
    }
    return false;
}

}  // namespace

bool IsTreeRoot(const CControlUI& control) {
    return control.GetManager() != nullptr && control.GetManager()->GetRoot() == &control;
}

bool IsAccessibleElement(CControlUI& control) {
    if (IsTreeRoot(control)) return true;
    AccessibleDescription description;
    control.DescribeAccessible(0, description);
    return description.role != 0;
}

bool IsInWindowTree(const CControlUI& control) {
    const CControlUI* top = &control;
    while (top->GetParent() != nullptr) top = top->GetParent();
    return IsTreeRoot(*top);
}

std::vector<CControlUI*> AccessibleChildrenOf(CControlUI& control) {
    std::vector<CControlUI*> elements;
    CollectElements(control, elements);
    return elements;
}

CControlUI* AccessibleParentOf(CControlUI& control) {
    if (IsTreeRoot(control)) return nullptr;
    for (CControlUI* above = control.GetParent(); above != nullptr; above = above->GetParent()) {
        if (IsAccessibleElement(*above)) return above;
    }
    return nullptr;
}

CControlUI* FindByAccessibleId(CControlUI& root, LONG id) {
    if (id == 0) return nullptr;
    return root.FindControl(MatchesId, &id, UIFIND_ALL);
}

AccessibleDescription DescribeElement(CControlUI& control, int part) {
    AccessibleDescription element;
    CPaintManagerUI* manager = control.GetManager();
    const HWND window = manager != nullptr ? manager->GetPaintWindow() : nullptr;
    const bool windowHasFocus = window != nullptr && ::GetFocus() == window;
    const bool isWindow = part == 0 && IsTreeRoot(control);
    if (isWindow) {
        // The window itself: its title names it, and it has the focus while no control has.
        char title[256] = {};
        ::GetWindowTextA(window, title, sizeof(title));
        element.role = ROLE_SYSTEM_CLIENT;
        element.name = title;
        ::GetClientRect(window, &element.location);
        element.states = STATE_SYSTEM_FOCUSABLE;
        if (windowHasFocus && manager->GetFocus() == nullptr) element.states |= STATE_SYSTEM_FOCUSED;
    } else {
        control.DescribeAccessible(part, element);
        if (part == 0 && control.IsFocusable()) {
            element.states |= STATE_SYSTEM_FOCUSABLE;
            if (windowHasFocus && manager != nullptr && manager->GetFocus() == &control) {
                element.states |= STATE_SYSTEM_FOCUSED;
            }
        }
    }
    if (::IsRectEmpty(&element.location)) element.location = control.GetPos();
    if (!control.IsVisible() || window == nullptr || !::IsWindowVisible(window)) {
        element.states |= STATE_SYSTEM_INVISIBLE;
    } else if (!isWindow && IsOffscreen(control, element.location)) {
        element.states |= STATE_SYSTEM_OFFSCREEN;
    }
    if (!control.IsEnabled()) element.states |= STATE_SYSTEM_UNAVAILABLE;
    if (window != nullptr) ::MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&element.location), 2);
    return element;
}

UINT DefaultActionMessage() {
    static const UINT message = ::RegisterWindowMessageA("KestrovaSkinAccessibleAction");
    return message;
}

bool PostDefaultAction(CControlUI& control, int part) {
    AccessibleDescription element;
    control.DescribeAccessible(part, element);
    CPaintManagerUI* manager = control.GetManager();
    if (element.defaultAction.IsEmpty() || !control.IsVisible() || !control.IsEnabled() || manager == nullptr) {
        return false;
    }
    const WPARAM id = static_cast<WPARAM>(control.GetAccessibleNode().Id());
    return ::PostMessageA(manager->GetPaintWindow(), DefaultActionMessage(), id, 0) != FALSE;
}

void RunDefaultAction(CControlUI* root, WPARAM nodeId) {
    // A window disabled under a modal box takes no clicks, from the mouse or from here.
    if (root == nullptr || !::IsWindowEnabled(root->GetManager()->GetPaintWindow())) return;
    // Found again by its id: the control may have gone since the action was asked for.
    CControlUI* control = FindByAccessibleId(*root, static_cast<LONG>(nodeId));
    if (control != nullptr && control->IsVisible() && control->IsEnabled()) control->Activate();
}

bool AnswerGetObject(CControlUI* root, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (root == nullptr || static_cast<DWORD>(lParam) != static_cast<DWORD>(OBJID_CLIENT)) return false;
    AccessibleNode& node = root->GetAccessibleNode();
    result = ::LresultFromObject(__uuidof(IAccessible), wParam, static_cast<IAccessible*>(&node));
    return true;
}

}  // namespace skin_detail
