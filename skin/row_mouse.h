#pragma once
// Mouse handling shared by the two catalogue cells, inside the library only: hover and
// pressed looks, and a click that counts only when the press and the release are both
// inside the cell.

#include "skin/control.h"

namespace skin_detail {
namespace rows {

// Applies one event to a cell's button state and repaints it when the look changes.
// Returns true when the event completes a click.
inline bool TrackCellMouse(CControlUI& cell, UINT& state, const TEventUI& event) {
    const UINT before = state;
    bool clicked = false;
    switch (event.Type) {
    case UIEVENT_MOUSEENTER:
        state |= UISTATE_HOT;
        break;
    case UIEVENT_MOUSELEAVE:
        state &= ~UISTATE_HOT;
        break;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
        // A quick second click arrives as a double click; it is a press all the same.
        if (cell.IsEnabled()) state |= UISTATE_PUSHED | UISTATE_CAPTURED;
        break;
    case UIEVENT_MOUSEMOVE:
        if ((state & UISTATE_CAPTURED) != 0) {
            if (::PtInRect(&cell.GetPos(), event.ptMouse)) {
                state |= UISTATE_PUSHED;
            } else {
                state &= ~UISTATE_PUSHED;
            }
        }
        break;
    case UIEVENT_BUTTONUP:
        if ((state & UISTATE_CAPTURED) != 0) {
            clicked = ::PtInRect(&cell.GetPos(), event.ptMouse) != FALSE && cell.IsEnabled();
            state &= ~(UISTATE_PUSHED | UISTATE_CAPTURED);
        }
        break;
    case UIEVENT_CANCEL:
        state &= ~(UISTATE_PUSHED | UISTATE_CAPTURED);
        break;
    case UIEVENT_SETCURSOR:
        ::SetCursor(::LoadCursor(nullptr, IDC_HAND));
        break;
    default:
        break;
    }
    if (state != before) cell.Invalidate();
    return clicked;
}

}  // namespace rows
}  // namespace skin_detail
