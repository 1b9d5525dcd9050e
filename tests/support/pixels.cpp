#include "tests/support/pixels.h"

#include "shared/text.h"
#include "shared/unique_handle.h"
#include "skin/gdi_objects.h"

#include <objidl.h>
#include <gdiplus.h>

#include <string>

namespace {

using skin_detail::SelectObjectScope;
using skin_detail::WindowDC;

void DisposeGdipBitmap(Gdiplus::GpBitmap* bitmap) { Gdiplus::DllExports::GdipDisposeImage(bitmap); }
using UniqueGdipBitmap = UniqueHandle<NullableHandleTraits<Gdiplus::GpBitmap*, DisposeGdipBitmap>>;

void CopyInto(HDC memory, HWND window, const RECT& area, PixelSource source) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    switch (source) {
        case PixelSource::Window: {
            const WindowDC dc(window);
            if (dc.get() != nullptr) ::BitBlt(memory, 0, 0, width, height, dc.get(), area.left, area.top, SRCCOPY);
            break;
        }
        case PixelSource::Screen: {
            POINT origin{area.left, area.top};
            ::ClientToScreen(window, &origin);
            const WindowDC dc(nullptr);
            if (dc.get() != nullptr) ::BitBlt(memory, 0, 0, width, height, dc.get(), origin.x, origin.y, SRCCOPY | CAPTUREBLT);
            break;
        }
        case PixelSource::PrintedClient: {
            POINT previous{};
            ::SetViewportOrgEx(memory, -area.left, -area.top, &previous);
            ::SendMessageA(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT);
            ::SetViewportOrgEx(memory, previous.x, previous.y, nullptr);
            break;
        }
    }
    ::GdiFlush();
}

}  // namespace

DWORD Pixels::At(int x, int y) const {
    const int width = area.right - area.left;
    if (x < area.left || y < area.top || x >= area.right || y >= area.bottom || bits.empty()) return 0xFFFFFFFF;
    return bits[static_cast<size_t>(y - area.top) * width + (x - area.left)] & 0xFFFFFF;
}

bool Pixels::LooksLike(const Pixels& other) const {
    if (bits.size() != other.bits.size()) return false;
    for (size_t i = 0; i < bits.size(); ++i) {
        if (!Near(bits[i] & 0xFFFFFF, other.bits[i] & 0xFFFFFF, 2)) return false;
    }
    return true;
}

int Pixels::InkIn(const RECT& rc) const {
    const DWORD background = At(rc.left, rc.top);
    int ink = 0;
    for (LONG y = rc.top; y < rc.bottom; ++y) {
        for (LONG x = rc.left; x < rc.right; ++x) ink += At(x, y) != background ? 1 : 0;
    }
    return ink;
}

Pixels CapturePixels(HWND window, const RECT& area, PixelSource source) {
    Pixels pixels;
    pixels.area = area;
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return pixels;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const UniqueMemoryDC memory(::CreateCompatibleDC(nullptr));
    const UniqueGdiHandle<HBITMAP> bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!memory || !bitmap || bits == nullptr) return pixels;
    {
        const SelectObjectScope selected(memory.get(), bitmap.get());
        CopyInto(memory.get(), window, area, source);
    }
    const DWORD* first = static_cast<const DWORD*>(bits);
    pixels.bits.assign(first, first + static_cast<size_t>(width) * height);
    return pixels;
}

bool Near(DWORD actual, DWORD expected, int tolerance) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int a = static_cast<int>((actual >> shift) & 0xFF);
        const int e = static_cast<int>((expected >> shift) & 0xFF);
        if (a - e > tolerance || e - a > tolerance) return false;
    }
    return true;
}

GdiplusSession::GdiplusSession() {
    Gdiplus::GdiplusStartupInput input;
    m_ok = Gdiplus::GdiplusStartup(&m_token, &input, nullptr) == Gdiplus::Ok;
}

GdiplusSession::~GdiplusSession() {
    if (m_ok) Gdiplus::GdiplusShutdown(m_token);
}

const CLSID& PngEncoder() {
    static const CLSID png = {0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
    return png;
}

bool SavePng(const Pixels& pixels, const std::string& path) {
    const int width = pixels.area.right - pixels.area.left;
    const int height = pixels.area.bottom - pixels.area.top;
    if (pixels.bits.empty() || pixels.bits.size() != static_cast<size_t>(width) * height) return false;
    GdiplusSession gdiplus;
    if (!gdiplus.ok()) return false;
    // 32 bits without alpha: the screen has none, and the file must be opaque.
    std::vector<DWORD> copy(pixels.bits);
    UniqueGdipBitmap image;
    if (Gdiplus::DllExports::GdipCreateBitmapFromScan0(width, height, width * 4, PixelFormat32bppRGB,
                                                       reinterpret_cast<BYTE*>(copy.data()), image.put()) != Gdiplus::Ok) {
        return false;
    }
    const std::wstring wide = AnsiToWide(path);
    return Gdiplus::DllExports::GdipSaveImageToFile(image.get(), wide.c_str(), &PngEncoder(), nullptr) == Gdiplus::Ok;
}
