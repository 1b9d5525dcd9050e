#include "skin/render.h"

#include "skin/attributes.h"
#include "skin/gdi_objects.h"
#include "skin/gdiplus_api.h"
#include "skin/image_loader.h"
#include "skin/picture_cache.h"
#include "skin/render_detail.h"
#include "skin/theme.h"

#include <cstring>
#include <string>

using namespace skin_detail;

namespace {

constexpr DWORD kFallbackTextColor = 0xFF000000;
constexpr DWORD kFallbackDisabledColor = 0xFFA7A6AA;

int Width(const RECT& rc) { return rc.right - rc.left; }
int Height(const RECT& rc) { return rc.bottom - rc.top; }

// A GDI+ drawing surface on a DC: anti-aliased, pixel-aligned, clipped like the DC.
class SmoothGraphics {
public:
    explicit SmoothGraphics(HDC dc) {
        if (!m_lease.ok() || gdip::GdipCreateFromHDC(dc, m_graphics.put()) != Gdiplus::Ok) return;
        gdip::GdipSetSmoothingMode(m_graphics.get(), Gdiplus::SmoothingModeAntiAlias);
        gdip::GdipSetPixelOffsetMode(m_graphics.get(), Gdiplus::PixelOffsetModeHalf);
        gdip::GdipSetInterpolationMode(m_graphics.get(), Gdiplus::InterpolationModeHighQualityBicubic);
        // The DC's clip region (a container's inner area) applies to GDI+ drawing too.
        UniqueRegion clip(::CreateRectRgn(0, 0, 0, 0));
        if (clip && ::GetClipRgn(dc, clip.get()) == 1) {
            GpRegionOwner region;
            if (gdip::GdipCreateRegionHrgn(clip.get(), region.put()) == Gdiplus::Ok) {
                gdip::GdipSetClipRegion(m_graphics.get(), region.get(), Gdiplus::CombineModeReplace);
            }
        }
    }
    Gdiplus::GpGraphics* get() const { return m_graphics.get(); }
    explicit operator bool() const { return static_cast<bool>(m_graphics); }

private:
    GdiplusLease m_lease;
    GpGraphicsOwner m_graphics;
};

Gdiplus::ARGB ToArgb(DWORD argb) { return static_cast<Gdiplus::ARGB>(argb); }

// A rectangle with round corners (ellipse diameter) as a closed path.
bool RoundRectPath(GpPathOwner& path, float x, float y, float width, float height, float diameter) {
    if (gdip::GdipCreatePath(Gdiplus::FillModeAlternate, path.put()) != Gdiplus::Ok) return false;
    if (diameter > width) diameter = width;
    if (diameter > height) diameter = height;
    if (diameter <= 0.0f) {
        gdip::GdipAddPathRectangle(path.get(), x, y, width, height);
        return true;
    }
    gdip::GdipAddPathArc(path.get(), x, y, diameter, diameter, 180.0f, 90.0f);
    gdip::GdipAddPathArc(path.get(), x + width - diameter, y, diameter, diameter, 270.0f, 90.0f);
    gdip::GdipAddPathArc(path.get(), x + width - diameter, y + height - diameter, diameter, diameter, 0.0f, 90.0f);
    gdip::GdipAddPathArc(path.get(), x, y + height - diameter, diameter, diameter, 90.0f, 90.0f);
    gdip::GdipClosePathFigure(path.get());
    return true;
}

// Part of an image onto part of the DC: 1:1 and faded parts through AlphaBlend, scaled
// ones through GDI+ with bicubic filtering so that icons stay smooth.
void DrawImagePart(HDC dc, const SkinImage& image, const RECT& dest, const RECT& source, BYTE fade) {
    if (image.bitmap == nullptr || Width(dest) <= 0 || Height(dest) <= 0 || Width(source) <= 0 ||
        Height(source) <= 0) {
        return;
    }
    const bool sameSize = Width(dest) == Width(source) && Height(dest) == Height(source);
    if (!sameSize && fade == 255) {
        DIBSECTION section{};
        if (::GetObjectA(image.bitmap, sizeof(section), &section) == sizeof(section) && section.dsBm.bmBits) {
            SmoothGraphics graphics(dc);
            GpBitmapOwner wrapped;
            GdipOwner<Gdiplus::GpImageAttributes, gdip::GdipDisposeImageAttributes> attributes;
            BYTE* bits = static_cast<BYTE*>(section.dsBm.bmBits);
            if (graphics &&
                gdip::GdipCreateBitmapFromScan0(image.width, image.height, image.width * 4, PixelFormat32bppPARGB, bits,
                                                wrapped.put()) == Gdiplus::Ok &&
                gdip::GdipCreateImageAttributes(attributes.put()) == Gdiplus::Ok) {
                // Mirrored edges keep the filter from fading the image's border into nothing.
                gdip::GdipSetImageAttributesWrapMode(attributes.get(), Gdiplus::WrapModeTileFlipXY, 0, FALSE);
                gdip::GdipDrawImageRectRectI(graphics.get(), wrapped.get(), dest.left, dest.top, Width(dest),
                                             Height(dest), source.left, source.top, Width(source), Height(source),
                                             Gdiplus::UnitPixel, attributes.get(), nullptr, nullptr);
                return;
            }
        }
    }
    UniqueDC source_dc(::CreateCompatibleDC(dc));
    if (!source_dc) return;
    SelectObjectScope selected(source_dc.get(), image.bitmap);
    BLENDFUNCTION blend{AC_SRC_OVER, 0, fade, AC_SRC_ALPHA};
    ::AlphaBlend(dc, dest.left, dest.top, Width(dest), Height(dest), source_dc.get(), source.left, source.top,
                 Width(source), Height(source), blend);
}

struct ImageReference {
    std::string file;
    RECT source{0, 0, 0, 0};
    RECT corner{0, 0, 0, 0};
    RECT dest{0, 0, 0, 0};
    bool hasSource = false;
    bool hasDest = false;
    int fade = 255;
};

// "name.png" or "file='name.png' source='0,0,16,16' corner='4,4,4,4' dest='...' fade='128'".
ImageReference ParseImageReference(const char* text) {
    ImageReference ref;
    if (std::strchr(text, '=') == nullptr) {
        ref.file = text;
        return ref;
    }
    const char* p = text;
    while (*p) {
        while (*p == ' ' || *p == '\t') ++p;
        const char* keyStart = p;
        while (*p && *p != '=' && *p != ' ') ++p;
        const std::string key(keyStart, p);
        while (*p == ' ') ++p;
        if (*p != '=') break;
        ++p;
        while (*p == ' ') ++p;
        const char quote = (*p == '\'' || *p == '"') ? *p++ : '\0';
        const char* valueStart = p;
        while (*p && (quote ? *p != quote : *p != ' ')) ++p;
        const std::string value(valueStart, p);
        if (quote && *p == quote) ++p;
        if (key == "file") {
            ref.file = value;
        } else if (key == "source") {
            ref.source = ParseRect(value.c_str());
            ref.hasSource = true;
        } else if (key == "corner") {
            ref.corner = ParseRect(value.c_str());
        } else if (key == "dest") {
            ref.dest = ParseRect(value.c_str());
            ref.hasDest = true;
        } else if (key == "fade") {
            ref.fade = ParseInt(value.c_str(), 255);
        }
    }
    return ref;
}

// A piece copied onto dest: 1:1 when the sizes agree, else stretched (nine-grid edges, which
// repeat one row or column of pixels, need nothing finer).
void BlendPiece(HDC dc, const ImagePiece& piece, const RECT& dest, const RECT& part, BYTE fade) {
    if (Width(dest) <= 0 || Height(dest) <= 0 || Width(part) <= 0 || Height(part) <= 0) return;
    UniqueDC source(::CreateCompatibleDC(dc));
    if (!source) return;
    SelectObjectScope selected(source.get(), piece.image->bitmap);
    BLENDFUNCTION blend{AC_SRC_OVER, 0, fade, AC_SRC_ALPHA};
    ::AlphaBlend(dc, dest.left, dest.top, Width(dest), Height(dest), source.get(), part.left, part.top, Width(part),
                 Height(part), blend);
}

}  // namespace

namespace skin_detail {

bool DrawImageReference(HDC dc, CPaintManagerUI* manager, const char* reference, const RECT& controlRect) {
    if (manager == nullptr || reference == nullptr || *reference == '\0') return false;
    const ImageReference ref = ParseImageReference(reference);
    if (ref.file.empty()) return false;
    const SkinImage* image = manager->GetImage(ref.file.c_str());
    if (image == nullptr) return false;

    RECT dest = controlRect;
    if (ref.hasDest) {
        const RECT offsets = manager->ScaleForDpi(ref.dest);
        dest = RECT{controlRect.left + offsets.left, controlRect.top + offsets.top, controlRect.left + offsets.right,
                    controlRect.top + offsets.bottom};
    }
    // source is in the image's own pixels, as the layout's author sees the file.
    RECT source{0, 0, image->width, image->height};
    if (ref.hasSource) {
        RECT wanted = ref.source;
        if (!::IntersectRect(&source, &source, &wanted)) return true;
    }
    const BYTE fade = static_cast<BYTE>(ref.fade < 0 ? 0 : (ref.fade > 255 ? 255 : ref.fade));
    Theme& theme = manager->GetTheme();
    const RECT& c = ref.corner;
    if (c.left == 0 && c.top == 0 && c.right == 0 && c.bottom == 0) {
        // The part filtered to the drawn size once; every paint copies it.
        const ImagePiece piece = theme.SkinImagePart(ref.file.c_str(), &source, Width(dest), Height(dest));
        if (piece.image != nullptr) BlendPiece(dc, piece, dest, piece.part, fade);
        return true;
    }
    // Nine parts of the part as it is at the DPI: the corners keep their size, the edges
    // stretch one way, the middle both.
    const ImagePiece piece = theme.SkinImagePart(ref.file.c_str(), &source, manager->ScaleForDpi(Width(source)),
                                                 manager->ScaleForDpi(Height(source)));
    if (piece.image == nullptr) return true;
    const RECT sc = manager->ScaleForDpi(c);
    const RECT& p = piece.part;
    const int sx[4] = {p.left, p.left + sc.left, p.right - sc.right, p.right};
    const int sy[4] = {p.top, p.top + sc.top, p.bottom - sc.bottom, p.bottom};
    const int dx[4] = {dest.left, dest.left + sc.left, dest.right - sc.right, dest.right};
    const int dy[4] = {dest.top, dest.top + sc.top, dest.bottom - sc.bottom, dest.bottom};
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            BlendPiece(dc, piece, RECT{dx[column], dy[row], dx[column + 1], dy[row + 1]},
                       RECT{sx[column], sy[row], sx[column + 1], sy[row + 1]}, fade);
        }
    }
    return true;
}

bool FillRoundImage(HDC dc, CPaintManagerUI* manager, const char* reference, const RECT& imageRect, const RECT& shape,
                    int corner) {
    if (manager == nullptr || reference == nullptr || Width(shape) <= 0 || Height(shape) <= 0 ||
        Width(imageRect) <= 0 || Height(imageRect) <= 0) {
        return false;
    }
    const ImageReference ref = ParseImageReference(reference);
    const RECT& c = ref.corner;
    if (ref.file.empty() || c.left != 0 || c.top != 0 || c.right != 0 || c.bottom != 0) return false;
    const SkinImage* image = manager->GetImage(ref.file.c_str());
    if (image == nullptr) return false;
    RECT wanted{0, 0, image->width, image->height};
    if (ref.hasSource) {
        RECT part = ref.source;
        ::IntersectRect(&wanted, &wanted, &part);
    }
    if (Width(wanted) <= 0 || Height(wanted) <= 0) return false;
    // Filtered to the track's size once; the texture then maps it 1:1.
    const ImagePiece piece =
        manager->GetTheme().SkinImagePart(ref.file.c_str(), &wanted, Width(imageRect), Height(imageRect));
    if (piece.image == nullptr) return false;
    image = piece.image;
    const RECT& source = piece.part;
    DIBSECTION section{};
    if (::GetObjectA(image->bitmap, sizeof(section), &section) != sizeof(section) || section.dsBm.bmBits == nullptr) {
        return false;
    }
    SmoothGraphics graphics(dc);
    GpBitmapOwner wrapped;
    GpTextureOwner texture;
    GpPathOwner path;
    if (!graphics ||
        gdip::GdipCreateBitmapFromScan0(image->width, image->height, image->width * 4, PixelFormat32bppPARGB,
                                        static_cast<BYTE*>(section.dsBm.bmBits), wrapped.put()) != Gdiplus::Ok ||
        gdip::GdipCreateTexture2I(wrapped.get(), Gdiplus::WrapModeTileFlipXY, source.left, source.top, Width(source),
                                  Height(source), texture.put()) != Gdiplus::Ok ||
        !RoundRectPath(path, static_cast<float>(shape.left), static_cast<float>(shape.top),
                       static_cast<float>(Width(shape)), static_cast<float>(Height(shape)),
                       static_cast<float>(corner))) {
        return false;
    }
    // The texture's one tile lies over imageRect.
    gdip::GdipScaleTextureTransform(texture.get(), static_cast<float>(Width(imageRect)) / Width(source),
                                    static_cast<float>(Height(imageRect)) / Height(source), Gdiplus::MatrixOrderAppend);
    gdip::GdipTranslateTextureTransform(texture.get(), static_cast<float>(imageRect.left),
                                        static_cast<float>(imageRect.top), Gdiplus::MatrixOrderAppend);
    return gdip::GdipFillPath(graphics.get(), texture.get(), path.get()) == Gdiplus::Ok;
}

DWORD TextColorOrDefault(CPaintManagerUI* manager, DWORD own, bool enabled, DWORD ownDisabled) {
    if (!enabled) {
        if (ownDisabled != 0) return ownDisabled;
        return manager ? manager->GetDefaultDisabledColor() : kFallbackDisabledColor;
    }
    if (own != 0) return own;
    return manager ? manager->GetDefaultTextColor() : kFallbackTextColor;
}

void DrawFocusRing(HDC dc, const RECT& rc, int unit, int corner) {
    SkinRender::DrawBorder(dc, rc, 0xFF0F3D91, 2 * unit, corner);
    RECT inner = rc;
    ::InflateRect(&inner, -2 * unit, -2 * unit);
    SkinRender::DrawBorder(dc, inner, 0xFFFFFFFF, unit, corner > 2 * unit ? corner - 2 * unit : 0);
}

}  // namespace skin_detail

namespace SkinRender {

void FillColor(HDC dc, const RECT& rc, DWORD argb) {
    const BYTE alpha = AlphaOf(argb);
    if (alpha == 0 || Width(rc) <= 0 || Height(rc) <= 0) return;
    if (alpha == 255) {
        const COLORREF previous = ::SetDCBrushColor(dc, ToColorRef(argb));
        ::FillRect(dc, &rc, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
        ::SetDCBrushColor(dc, previous);
        return;
    }
    // One premultiplied pixel stretched over the rectangle.
    MemoryCanvas pixel(dc, 1, 1);
    if (!pixel.valid()) return;
    const DWORD r = ((argb >> 16) & 0xFF) * alpha / 255;
    const DWORD g = ((argb >> 8) & 0xFF) * alpha / 255;
    const DWORD b = (argb & 0xFF) * alpha / 255;
    *static_cast<DWORD*>(pixel.bits()) = (static_cast<DWORD>(alpha) << 24) | (r << 16) | (g << 8) | b;
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ::AlphaBlend(dc, rc.left, rc.top, Width(rc), Height(rc), pixel.dc(), 0, 0, 1, 1, blend);
}

void FillRoundColor(HDC dc, const RECT& rc, DWORD argb, int corner) {
    if (AlphaOf(argb) == 0 || Width(rc) <= 0 || Height(rc) <= 0) return;
    if (corner <= 0) {
        FillColor(dc, rc, argb);
        return;
    }
    SmoothGraphics graphics(dc);
    GpPathOwner path;
    GpSolidFillOwner brush;
    if (!graphics ||
        !RoundRectPath(path, static_cast<float>(rc.left), static_cast<float>(rc.top), static_cast<float>(Width(rc)),
                       static_cast<float>(Height(rc)), static_cast<float>(corner)) ||
        gdip::GdipCreateSolidFill(ToArgb(argb), brush.put()) != Gdiplus::Ok) {
        FillColor(dc, rc, argb);
        return;
    }
    gdip::GdipFillPath(graphics.get(), brush.get(), path.get());
}

void DrawBorder(HDC dc, const RECT& rc, DWORD argb, int width, int corner) {
    if (AlphaOf(argb) == 0 || width <= 0 || Width(rc) <= 0 || Height(rc) <= 0) return;
    if (corner <= 0 && AlphaOf(argb) == 255) {
        FillColor(dc, RECT{rc.left, rc.top, rc.right, rc.top + width}, argb);
        FillColor(dc, RECT{rc.left, rc.bottom - width, rc.right, rc.bottom}, argb);
        FillColor(dc, RECT{rc.left, rc.top + width, rc.left + width, rc.bottom - width}, argb);
        FillColor(dc, RECT{rc.right - width, rc.top + width, rc.right, rc.bottom - width}, argb);
        return;
    }
    SmoothGraphics graphics(dc);
    GpPathOwner path;
    GpPenOwner pen;
    const float half = width / 2.0f;
    if (!graphics ||
        !RoundRectPath(path, rc.left + half, rc.top + half, Width(rc) - static_cast<float>(width),
                       Height(rc) - static_cast<float>(width), static_cast<float>(corner)) ||
        gdip::GdipCreatePen1(ToArgb(argb), static_cast<float>(width), Gdiplus::UnitPixel, pen.put()) != Gdiplus::Ok) {
        return;
    }
    gdip::GdipDrawPath(graphics.get(), pen.get(), path.get());
}

void DrawImage(HDC dc, const SkinImage& image, const RECT& rc) {
    DrawImagePart(dc, image, rc, RECT{0, 0, image.width, image.height}, 255);
}

void DrawImageFit(HDC dc, const SkinImage& image, const RECT& rc) {
    if (image.width <= 0 || image.height <= 0 || Width(rc) <= 0 || Height(rc) <= 0) return;
    // Scale by the tighter of the two directions.
    int width = Width(rc);
    int height = static_cast<int>(static_cast<long long>(image.height) * width / image.width);
    if (height > Height(rc)) {
        height = Height(rc);
        width = static_cast<int>(static_cast<long long>(image.width) * height / image.height);
    }
    const int left = rc.left + (Width(rc) - width) / 2;
    const int top = rc.top + (Height(rc) - height) / 2;
    DrawImage(dc, image, RECT{left, top, left + width, top + height});
}

void DrawText(HDC dc, CPaintManagerUI* manager, const RECT& rc, const char* text, DWORD argb, int font,
              UINT style) {
    if (text == nullptr || *text == '\0' || Width(rc) <= 0 || Height(rc) <= 0) return;
    HFONT hfont = manager ? manager->GetFont(font) : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    SavedDCState saved(dc);
    if (hfont) ::SelectObject(dc, hfont);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ToColorRef(argb));
    style |= DT_NOPREFIX;
    RECT area = rc;
    // DrawText centres only single lines vertically: wrapped text is measured and moved.
    if ((style & DT_SINGLELINE) == 0 && (style & (DT_VCENTER | DT_BOTTOM)) != 0) {
        RECT measured = rc;
        ::DrawTextA(dc, text, -1, &measured, (style & ~(DT_VCENTER | DT_BOTTOM)) | DT_CALCRECT);
        const int spare = Height(rc) - Height(measured);
        if (spare > 0) area.top += (style & DT_BOTTOM) != 0 ? spare : spare / 2;
    }
    ::DrawTextA(dc, text, -1, &area, style);
}

SIZE MeasureText(HDC dc, CPaintManagerUI* manager, const char* text, int font) {
    if (text == nullptr || *text == '\0') return SIZE{0, 0};
    HFONT hfont = manager ? manager->GetFont(font) : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    SavedDCState saved(dc);
    if (hfont) ::SelectObject(dc, hfont);
    RECT measured{0, 0, 0, 0};
    ::DrawTextA(dc, text, -1, &measured, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    return SIZE{Width(measured), Height(measured)};
}

long LiveGdiObjectCount() { return LiveGdiObjects().load(); }

long GdiplusLeaseCount() { return GdiplusLease::ActiveLeases(); }

size_t CachedPictureBytes() { return PictureCache::HeldBytes(); }

}  // namespace SkinRender
