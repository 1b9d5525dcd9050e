#include "skin/gdi_objects.h"

namespace skin_detail {

std::atomic<long>& LiveGdiObjects() {
    static std::atomic<long> count{0};
    return count;
}

UniqueBitmap CreateDib32(int width, int height, void** bits) {
    *bits = nullptr;
    if (width <= 0 || height <= 0) return UniqueBitmap();
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down: row 0 first in memory
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    UniqueBitmap bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0));
    if (!bitmap) *bits = nullptr;
    return bitmap;
}

MemoryCanvas::MemoryCanvas(HDC compatibleWith, int width, int height)
    : m_dc(::CreateCompatibleDC(compatibleWith)), m_width(width), m_height(height) {
    if (!m_dc) return;
    m_bitmap = CreateDib32(width, height, &m_pBits);
    if (m_bitmap) m_previous = ::SelectObject(m_dc.get(), m_bitmap.get());
}

}  // namespace skin_detail
