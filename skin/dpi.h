#pragma once
// The DPI a window is shown at, and lengths scaled to it. Layouts and programs give every
// length in pixels at 96 DPI; the library scales them by the window's DPI / 96. The DPI
// functions are looked up at run time: Windows 7 has none of them, Windows 8.1 only the
// monitor's (shcore), Windows 10 the window's own.

#include <windows.h>

namespace skin_detail {

constexpr UINT kBaseDpi = 96;

// The window's DPI: its own, else its monitor's, else the system's; 96 when none is told.
UINT DpiOfWindow(HWND window);
// value * dpi / 96, rounded as MulDiv rounds (half away from zero).
inline int ScaleToDpi(int value, UINT dpi) {
    return dpi == kBaseDpi ? value : ::MulDiv(value, static_cast<int>(dpi), static_cast<int>(kBaseDpi));
}
inline RECT ScaleToDpi(const RECT& rc, UINT dpi) {
    return RECT{ScaleToDpi(rc.left, dpi), ScaleToDpi(rc.top, dpi), ScaleToDpi(rc.right, dpi),
                ScaleToDpi(rc.bottom, dpi)};
}
inline SIZE ScaleToDpi(SIZE size, UINT dpi) { return SIZE{ScaleToDpi(size.cx, dpi), ScaleToDpi(size.cy, dpi)}; }
// A system metric (an icon size) as it is at that DPI.
int SystemMetricForDpi(int index, UINT dpi);

}  // namespace skin_detail
