#include "tests/support/gui_driver.h"

#include "shared/unique_handle.h"

#include "tests/support/pixels.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// Dispatches what is queued now; a WM_QUIT is noted in quitCode and taken out of the queue.
void DispatchPending(bool& sawQuit, int& quitCode) {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            sawQuit = true;
            quitCode = static_cast<int>(msg.wParam);
            continue;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

DWORD Remaining(DWORD start, DWORD timeout) {
    const DWORD elapsed = ::GetTickCount() - start;
    return elapsed >= timeout ? 0 : timeout - elapsed;
}

void WaitForInput(DWORD milliseconds) {
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds, QS_ALLINPUT);
}

LPARAM PointParam(POINT pt) { return MAKELPARAM(static_cast<WORD>(pt.x), static_cast<WORD>(pt.y)); }

std::string ScreenshotFolder() {
    const char* configured = std::getenv("KESTROVA_SCREENSHOT_DIR");
    std::string folder = configured && *configured ? configured : TestProgramDir() + "\\screenshots";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

}  // namespace

bool PumpMessagesUntil(const std::function<bool()>& condition, DWORD timeoutMilliseconds) {
    const DWORD start = ::GetTickCount();
    bool sawQuit = false;
    int quitCode = 0;
    bool met = condition();
    while (!met) {
        DispatchPending(sawQuit, quitCode);
        met = condition();
        if (met) break;
        const DWORD left = Remaining(start, timeoutMilliseconds);
        if (left == 0) break;
        // Conditions may also change on other threads: look again at least every 10 ms.
        WaitForInput(left < 10 ? left : 10);
    }
    if (sawQuit) ::PostQuitMessage(quitCode);
    return met;
}

void PumpMessagesFor(DWORD milliseconds) {
    PumpMessagesUntil([] { return false; }, milliseconds);
}

bool WaitForQuitMessage(DWORD timeoutMilliseconds, int* exitCode, const std::function<void()>& afterEachMessage) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                if (exitCode) *exitCode = static_cast<int>(msg.wParam);
                return true;
            }
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
            if (afterEachMessage) afterEachMessage();
        }
        const DWORD left = Remaining(start, timeoutMilliseconds);
        if (left == 0) return false;
        WaitForInput(left);
    }
}

void MoveMouseTo(HWND window, POINT clientPoint) {
    POINT screen = clientPoint;
    ::ClientToScreen(window, &screen);
    ::SetCursorPos(screen.x, screen.y);
    // A press in progress holds the capture.
    const WPARAM keys = ::GetCapture() == window ? MK_LBUTTON : 0;
    ::SendMessageA(window, WM_MOUSEMOVE, keys, PointParam(clientPoint));
}

void PressAt(HWND window, POINT clientPoint) {
    MoveMouseTo(window, clientPoint);
    ::SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, PointParam(clientPoint));
}

void ReleaseAt(HWND window, POINT clientPoint) {
    MoveMouseTo(window, clientPoint);
    ::SendMessageA(window, WM_LBUTTONUP, 0, PointParam(clientPoint));
}

void ClickAt(HWND window, POINT clientPoint) {
    PressAt(window, clientPoint);
    ::SendMessageA(window, WM_LBUTTONUP, 0, PointParam(clientPoint));
    PumpMessagesFor(20);
}

void PostClickAt(HWND window, POINT clientPoint) {
    MoveMouseTo(window, clientPoint);
    ::PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, PointParam(clientPoint));
    ::PostMessageA(window, WM_LBUTTONUP, 0, PointParam(clientPoint));
}

POINT CentreOf(const RECT& rc) { return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2}; }

void ClickAtCentre(HWND window, const RECT& clientRect) { ClickAt(window, CentreOf(clientRect)); }

void DoubleClickAt(HWND window, POINT clientPoint) {
    const LPARAM where = PointParam(clientPoint);
    PressAt(window, clientPoint);
    ::SendMessageA(window, WM_LBUTTONUP, 0, where);
    ::SendMessageA(window, WM_LBUTTONDBLCLK, MK_LBUTTON, where);
    ::SendMessageA(window, WM_LBUTTONUP, 0, where);
    PumpMessagesFor(20);
}

std::string SaveScreenshot(HWND window, const std::string& name) {
    if (!::IsWindow(window)) return std::string();
    // On top of whatever else the display shows, and fully painted.
    ::SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    PumpMessagesFor(150);

    RECT client{};
    ::GetClientRect(window, &client);
    const std::string target = ScreenshotFolder() + "\\" + name + ".png";
    const bool saved = SavePng(CapturePixels(window, client, PixelSource::Screen), target);
    ::SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return saved ? target : std::string();
}

COLORREF ScreenPixel(HWND window, POINT clientPoint) {
    const Pixels pixel = CapturePixels(window, RECT{clientPoint.x, clientPoint.y, clientPoint.x + 1, clientPoint.y + 1},
                                       PixelSource::Screen);
    if (pixel.bits.empty()) return CLR_INVALID;
    const DWORD rgb = pixel.At(clientPoint);
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

DWORD GdiObjectCount() { return ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS); }

DWORD UserObjectCount() { return ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS); }

void ExpectTitleAndSize(HWND window, const char* title, int width, int height) {
    char text[128] = {};
    ::GetWindowTextA(window, text, sizeof(text));
    EXPECT_STREQ(text, title);
    RECT rc{};
    ::GetWindowRect(window, &rc);
    EXPECT_EQ(rc.right - rc.left, width);
    EXPECT_EQ(rc.bottom - rc.top, height);
}

int IconWidth(HICON icon) {
    ICONINFO info{};
    if (icon == nullptr || !::GetIconInfo(icon, &info)) return 0;
    // The copies of the icon's bitmaps are the caller's.
    const UniqueGdiHandle<HBITMAP> colour(info.hbmColor);
    const UniqueGdiHandle<HBITMAP> mask(info.hbmMask);
    BITMAP bitmap{};
    if (::GetObjectA(mask.get(), sizeof(bitmap), &bitmap) == 0) return 0;
    return bitmap.bmWidth;
}
