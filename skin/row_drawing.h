#pragma once
// Drawing shared by the two catalogue cells, inside the library only: anti-aliased shapes
// through GDI+ (started by a GdiplusLease), lengths at the window's DPI, text through GDI
// in fonts derived from the window's default font, and the fitting of code page 936 text
// into a width without splitting a double-byte character.

#include <objidl.h>
#include <windows.h>

#include <gdiplus.h>

#include <cmath>
#include <string>

#include "skin/dpi.h"
#include "skin/gdi_objects.h"
#include "skin/image_loader.h"
#include "skin/paint_manager.h"

namespace skin_detail {
namespace rows {

// A smoothing GDI+ surface over a DC, for painting while a GdiplusLease is held. GDI calls
// on the same DC must wait until it is gone, so each block of shapes gets its own scope.
class Shapes {
public:
    explicit Shapes(HDC dc) : m_graphics(dc) {
        m_graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
        m_graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
        // A cell scrolled partly out of its list must not draw over the list's neighbours:
        // the DC's clip region applies to the shapes as well.
        UniqueRegion clip(::CreateRectRgn(0, 0, 0, 0));
        if (clip && ::GetClipRgn(dc, clip.get()) == 1) m_graphics.SetClip(clip.get());
    }
    Gdiplus::Graphics& g() { return m_graphics; }

private:
    Gdiplus::Graphics m_graphics;
};

inline Gdiplus::RectF ToRectF(const RECT& rc) {
    return Gdiplus::RectF(static_cast<Gdiplus::REAL>(rc.left), static_cast<Gdiplus::REAL>(rc.top),
                          static_cast<Gdiplus::REAL>(rc.right - rc.left),
                          static_cast<Gdiplus::REAL>(rc.bottom - rc.top));
}

inline void AddRoundRect(Gdiplus::GraphicsPath& path, const Gdiplus::RectF& rc, Gdiplus::REAL radius) {
    const Gdiplus::REAL limit = (rc.Width < rc.Height ? rc.Width : rc.Height) / 2;
    if (radius > limit) radius = limit;
    if (radius <= 0.5f) {
        path.AddRectangle(rc);
        return;
    }
    const Gdiplus::REAL d = radius * 2;
    path.AddArc(rc.X, rc.Y, d, d, 180, 90);
    path.AddArc(rc.X + rc.Width - d, rc.Y, d, d, 270, 90);
    path.AddArc(rc.X + rc.Width - d, rc.Y + rc.Height - d, d, d, 0, 90);
    path.AddArc(rc.X, rc.Y + rc.Height - d, d, d, 90, 90);
    path.CloseFigure();
}

inline void FillRound(Gdiplus::Graphics& g, const Gdiplus::RectF& rc, Gdiplus::REAL radius, DWORD argb) {
    Gdiplus::GraphicsPath path;
    AddRoundRect(path, rc, radius);
    Gdiplus::SolidBrush brush{Gdiplus::Color(argb)};
    g.FillPath(&brush, &path);
}

// Top-to-bottom gradient between two colours.
inline void FillRoundGradient(Gdiplus::Graphics& g, const Gdiplus::RectF& rc, Gdiplus::REAL radius, DWORD top,
                              DWORD bottom) {
    Gdiplus::GraphicsPath path;
    AddRoundRect(path, rc, radius);
    // The brush reaches one pixel beyond the shape so its wrap-around never shows at the edge.
    const Gdiplus::RectF area(rc.X, rc.Y - 1, rc.Width, rc.Height + 2);
    Gdiplus::LinearGradientBrush brush(area, Gdiplus::Color(top), Gdiplus::Color(bottom),
                                       Gdiplus::LinearGradientModeVertical);
    g.FillPath(&brush, &path);
}

// A one-pixel outline sits on pixel centres, half a pixel inside rc.
inline void StrokeRound(Gdiplus::Graphics& g, const Gdiplus::RectF& rc, Gdiplus::REAL radius, DWORD argb,
                        Gdiplus::REAL width = 1) {
    const Gdiplus::REAL inset = width / 2;
    Gdiplus::GraphicsPath path;
    AddRoundRect(path, Gdiplus::RectF(rc.X + inset, rc.Y + inset, rc.Width - width, rc.Height - width), radius);
    Gdiplus::Pen pen(Gdiplus::Color(argb), width);
    g.DrawPath(&pen, &path);
}

// A five-pointed star with one point up, inside a square of side size at (x, y).
inline void AddStar(Gdiplus::GraphicsPath& path, Gdiplus::REAL x, Gdiplus::REAL y, Gdiplus::REAL size) {
    const Gdiplus::REAL cx = x + size / 2;
    const Gdiplus::REAL cy = y + size * 0.54f;
    const Gdiplus::REAL outer = size * 0.52f;
    const Gdiplus::REAL inner = outer * 0.45f;
    Gdiplus::PointF points[10];
    for (int i = 0; i < 10; ++i) {
        const double angle = -1.5707963267948966 + i * 0.6283185307179586;
        const Gdiplus::REAL r = (i % 2 == 0) ? outer : inner;
        points[i] = Gdiplus::PointF(cx + static_cast<Gdiplus::REAL>(r * std::cos(angle)),
                                    cy + static_cast<Gdiplus::REAL>(r * std::sin(angle)));
    }
    path.AddPolygon(points, 10);
}

// Lengths of the cells' drawing, written as pixels at 96 DPI, at the window's DPI.
class CellScale {
public:
    explicit CellScale(const CPaintManagerUI* manager) : m_dpi(manager != nullptr ? manager->GetDpi() : kBaseDpi) {}
    int operator()(int value) const { return ScaleToDpi(value, m_dpi); }
    Gdiplus::REAL Real(Gdiplus::REAL value) const { return value * static_cast<Gdiplus::REAL>(m_dpi) / kBaseDpi; }
    // A line one pixel wide at 96 DPI, rounded as borders are.
    Gdiplus::REAL Line() const { return static_cast<Gdiplus::REAL>(ScaleToDpi(1, m_dpi)); }

private:
    UINT m_dpi;
};

// Where an image goes when it is scaled to fit inside rc, keeping its aspect ratio, centred.
inline RECT FitInside(const SkinImage& image, const RECT& rc) {
    const int roomWidth = rc.right - rc.left;
    const int roomHeight = rc.bottom - rc.top;
    if (image.width <= 0 || image.height <= 0 || roomWidth <= 0 || roomHeight <= 0) return RECT{0, 0, 0, 0};
    int width = roomWidth;
    int height = static_cast<int>(static_cast<long long>(image.height) * width / image.width);
    if (height > roomHeight) {
        height = roomHeight;
        width = static_cast<int>(static_cast<long long>(image.width) * height / image.height);
    }
    const int left = rc.left + (roomWidth - width) / 2;
    const int top = rc.top + (roomHeight - height) / 2;
    return RECT{left, top, left + width, top + height};
}

inline int TextWidth(HDC dc, const char* text, int length) {
    SIZE size{0, 0};
    if (length > 0) ::GetTextExtentPoint32A(dc, text, length, &size);
    return size.cx;
}

// Length of one character of code page 936 text at text (1 or 2 bytes).
inline int CharLength(const char* text) {
    if (text[0] == '\0') return 0;
    if (::IsDBCSLeadByteEx(936, static_cast<BYTE>(text[0])) && text[1] != '\0') return 2;
    return 1;
}

// Bytes of the longest prefix of text that fits in width, never splitting a character.
inline int FitPrefix(HDC dc, const char* text, int width) {
    int fitted = 0;
    while (text[fitted] != '\0') {
        const int next = fitted + CharLength(text + fitted);
        if (TextWidth(dc, text, next) > width) break;
        fitted = next;
    }
    return fitted;
}

// The first character of a text, as its own text.
inline std::string FirstCharacter(const char* text) {
    return std::string(text, static_cast<size_t>(CharLength(text)));
}

// Draws text in a font and colour; DT_NOPREFIX is always added so "&" shows as itself.
inline void DrawRowText(HDC dc, HFONT font, RECT rc, const char* text, DWORD argb, UINT style) {
    if (text == nullptr || *text == '\0') return;
    SelectObjectScope select(dc, font);
    const int oldMode = ::SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColour = ::SetTextColor(dc, RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF));
    ::DrawTextA(dc, text, -1, &rc, style | DT_NOPREFIX);
    ::SetTextColor(dc, oldColour);
    ::SetBkMode(dc, oldMode);
}

// Centred text in two colours split at x: one left of the split, the other right of it
// (readable over a progress fill and over its track alike).
inline void DrawSplitText(HDC dc, HFONT font, const RECT& rc, const char* text, int splitX, DWORD leftArgb,
                          DWORD rightArgb) {
    const UINT style = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    {
        SavedDCState saved(dc);
        ::IntersectClipRect(dc, rc.left, rc.top, splitX, rc.bottom);
        DrawRowText(dc, font, rc, text, leftArgb, style);
    }
    {
        SavedDCState saved(dc);
        ::IntersectClipRect(dc, splitX, rc.top, rc.right, rc.bottom);
        DrawRowText(dc, font, rc, text, rightArgb, style);
    }
}

}  // namespace rows
}  // namespace skin_detail
