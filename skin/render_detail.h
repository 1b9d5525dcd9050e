#pragma once
// Drawing helpers used inside the library only.

#include "skin/paint_manager.h"

namespace skin_detail {

// Draws an image reference of the layout format into dest (the control's rectangle):
// either a plain name in the skin resources, or key='value' pairs: file, source
// (part of the image), corner (nine-grid margins kept unstretched), dest (offsets inside
// the control) and fade (0-255). False when the image cannot be found.
bool DrawImageReference(HDC dc, CPaintManagerUI* manager, const char* reference, const RECT& controlRect);

// Fills shape, rounded by corner and anti-aliased, with a plain image reference (file and
// source only) stretched over imageRect. False when the reference is missing or is a
// nine-grid, which only DrawImageReference draws.
bool FillRoundImage(HDC dc, CPaintManagerUI* manager, const char* reference, const RECT& imageRect, const RECT& shape,
                    int corner);

// The keyboard focus's ring just inside rc: dark blue outside, white inside, so that it
// shows on light and on coloured ground alike. unit: one pixel at the window's DPI.
void DrawFocusRing(HDC dc, const RECT& rc, int unit, int corner);

// The colour a control's text is drawn in: its own, else the manager's default.
DWORD TextColorOrDefault(CPaintManagerUI* manager, DWORD own, bool enabled, DWORD ownDisabled);

inline BYTE AlphaOf(DWORD argb) { return static_cast<BYTE>(argb >> 24); }
inline COLORREF ToColorRef(DWORD argb) {
    return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

}  // namespace skin_detail
