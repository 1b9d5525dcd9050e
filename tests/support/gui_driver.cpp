#include "tests/support/gui_driver.h"

#include "tests/support/temp_dir.h"

#include <objidl.h>
#include <gdiplus.h>

#include <cstdlib>
#include <memory>
#include <type_traits>
#include <vector>

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

struct ScreenDCRelease {
    void operator()(HDC dc) const { ::ReleaseDC(nullptr, dc); }
};
struct MemoryDCDelete {
    void operator()(HDC dc) const { ::DeleteDC(dc); }
};
struct GdiObjectDelete {
    void operator()(HGDIOBJ object) const { ::DeleteObject(object); }
};
using ScreenDC = std::unique_ptr<std::remove_pointer_t<HDC>, ScreenDCRelease>;
using MemoryDC = std::unique_ptr<std::remove_pointer_t<HDC>, MemoryDCDelete>;
using Bitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, GdiObjectDelete>;

class SelectScope {
public:
    SelectScope(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
    ~SelectScope() { ::SelectObject(dc_, previous_); }
    SelectScope(const SelectScope&) = delete;
    SelectScope& operator=(const SelectScope&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

class GdiplusSession {
public:
    GdiplusSession() {
        Gdiplus::GdiplusStartupInput input;
        ok_ = Gdiplus::GdiplusStartup(&token_, &input, nullptr) == Gdiplus::Ok;
    }
    ~GdiplusSession() {
        if (ok_) Gdiplus::GdiplusShutdown(token_);
    }
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;
    bool ok() const { return ok_; }

private:
    ULONG_PTR token_ = 0;
    bool ok_ = false;
};

struct GdipBitmapDispose {
    void operator()(Gdiplus::GpBitmap* bitmap) const { Gdiplus::DllExports::GdipDisposeImage(bitmap); }
};

std::string ScreenshotFolder() {
    const char* configured = std::getenv("KESTROVA_SCREENSHOT_DIR");
    std::string folder = configured && *configured ? configured : TestProgramDir() + "\\screenshots";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

// The PNG encoder of GDI+.
const CLSID kPngEncoder = {0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

}  // namespace

void PumpMessagesFor(DWORD milliseconds) {
    const DWORD start = ::GetTickCount();
    bool sawQuit = false;
    int quitCode = 0;
    for (;;) {
        DispatchPending(sawQuit, quitCode);
        const DWORD left = Remaining(start, milliseconds);
        if (left == 0) break;
        WaitForInput(left);
    }
    if (sawQuit) ::PostQuitMessage(quitCode);
}

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

bool WaitForQuitMessage(DWORD timeoutMilliseconds, int* exitCode) {
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

void ClickAtCentre(HWND window, const RECT& clientRect) {
    ClickAt(window, POINT{(clientRect.left + clientRect.right) / 2, (clientRect.top + clientRect.bottom) / 2});
}

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
    POINT origin{0, 0};
    ::ClientToScreen(window, &origin);
    const int width = client.right;
    const int height = client.bottom;
    std::string path;
    if (width > 0 && height > 0) {
        ScreenDC screen(::GetDC(nullptr));
        MemoryDC memory(::CreateCompatibleDC(screen.get()));
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        Bitmap bitmap(::CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        GdiplusSession gdiplus;
        if (screen && memory && bitmap && bits && gdiplus.ok()) {
            {
                SelectScope selected(memory.get(), bitmap.get());
                ::BitBlt(memory.get(), 0, 0, width, height, screen.get(), origin.x, origin.y, SRCCOPY | CAPTUREBLT);
            }
            // 32 bits without alpha: the screen has none, and the file must be opaque.
            Gdiplus::GpBitmap* raw = nullptr;
            if (Gdiplus::DllExports::GdipCreateBitmapFromScan0(width, height, width * 4, PixelFormat32bppRGB,
                                                               static_cast<BYTE*>(bits), &raw) == Gdiplus::Ok) {
                std::unique_ptr<Gdiplus::GpBitmap, GdipBitmapDispose> image(raw);
                const std::string target = ScreenshotFolder() + "\\" + name + ".png";
                std::vector<wchar_t> wide(target.size() + 1);
                ::MultiByteToWideChar(CP_ACP, 0, target.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
                if (Gdiplus::DllExports::GdipSaveImageToFile(image.get(), wide.data(), &kPngEncoder, nullptr) ==
                    Gdiplus::Ok) {
                    path = target;
                }
            }
        }
    }
    ::SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return path;
}

COLORREF ScreenPixel(HWND window, POINT clientPoint) {
    ::ClientToScreen(window, &clientPoint);
    ScreenDC screen(::GetDC(nullptr));
    return screen ? ::GetPixel(screen.get(), clientPoint.x, clientPoint.y) : CLR_INVALID;
}

DWORD GdiObjectCount() { return ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS); }

DWORD UserObjectCount() { return ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS); }
