#pragma once
// The shape of a window's accessibility tree over its controls: which controls are
// elements (the root always; any other that describes itself with a role), their children
// and parents, and each element as a client reads it, with what the window adds: focus,
// visibility, availability, screen coordinates, and the window itself at the root.

#include "skin/control.h"

#include <vector>

namespace skin_detail {

bool IsTreeRoot(const CControlUI& control);
bool IsAccessibleElement(CControlUI& control);
// Whether the control is still in its window's tree: a removed control waits outside it
// until it is deleted.
bool IsInWindowTree(const CControlUI& control);
// The nearest descendants that are elements, in document order.
std::vector<CControlUI*> AccessibleChildrenOf(CControlUI& control);
// The nearest ancestor that is an element; null for the root.
CControlUI* AccessibleParentOf(CControlUI& control);
// The control below root (or root) whose node has that id, or null.
CControlUI* FindByAccessibleId(CControlUI& root, LONG id);
// The element as a client reads it; its location in screen coordinates.
AccessibleDescription DescribeElement(CControlUI& control, int part);

// A default action is posted and done once the client's call has returned, as a click: a
// click that opens a modal box must not hold the screen reader's call, nor may it remove
// the control while its node is answering. False when the element has no action now.
bool PostDefaultAction(CControlUI& control, int part);
// The message that brings it; wParam the node's id.
UINT DefaultActionMessage();
void RunDefaultAction(CControlUI* root, WPARAM nodeId);

// WM_GETOBJECT: the root's node for OBJID_CLIENT; false for other objects, which the system
// answers.
bool AnswerGetObject(CControlUI* root, WPARAM wParam, LPARAM lParam, LRESULT& result);

}  // namespace skin_detail
