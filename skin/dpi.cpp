#include "skin/dpi.h"

#include "shared/unique_handle.h"

namespace skin_detail {

namespace {

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using GetDpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
using GetSystemMetricsForDpiFunction = int(WINAPI*)(int, UINT);
constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI

template <typename Function>
Function User32Function(const char* name) {
    // user32 stays loaded as long as the process has windows.
    const FARPROC address = ::GetProcAddress(::GetModuleHandleA("user32.dll"), name);
    return reinterpret_cast<Function>(reinterpret_cast<void*>(address));
}

// Windows 8.1: the monitor's DPI, from shcore in the system folder only.
UINT MonitorDpi(HWND window) {
    UniqueModule shcore(::LoadLibraryExA("shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (!shcore) return 0;
    auto getDpiForMonitor = reinterpret_cast<GetDpiForMonitorFunction>(
        reinterpret_cast<void*>(::GetProcAddress(shcore.get(), "GetDpiForMonitor")));
    UINT x = 0;
    UINT y = 0;
    if (getDpiForMonitor == nullptr ||
        FAILED(getDpiForMonitor(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), kEffectiveDpi, &x, &y))) {
        return 0;
    }
    return y;
}

// Windows 7: one DPI for the whole system.
UINT SystemDpi() {
    HDC screen = ::GetDC(nullptr);
    if (screen == nullptr) return 0;
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 0;
}

}  // namespace

UINT DpiOfWindow(HWND window) {
    static const auto getDpiForWindow = User32Function<GetDpiForWindowFunction>("GetDpiForWindow");
    UINT dpi = 0;
    if (window != nullptr && getDpiForWindow != nullptr) dpi = getDpiForWindow(window);
    if (dpi == 0 && window != nullptr) dpi = MonitorDpi(window);
    if (dpi == 0) dpi = SystemDpi();
    return dpi != 0 ? dpi : kBaseDpi;
}

int SystemMetricForDpi(int index, UINT dpi) {
    static const auto getSystemMetricsForDpi = User32Function<GetSystemMetricsForDpiFunction>("GetSystemMetricsForDpi");
    if (getSystemMetricsForDpi != nullptr) return getSystemMetricsForDpi(index, dpi);
    // Before Windows 10 every window has the system's DPI, and so do the metrics.
    return ::GetSystemMetrics(index);
}

}  // namespace skin_detail
