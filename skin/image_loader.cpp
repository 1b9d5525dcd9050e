#include "skin/image_loader.h"

#include "skin/gdiplus_api.h"

#include <shlwapi.h>

#include <cstring>
#include <memory>
#include <mutex>

namespace skin_detail {

namespace {

std::mutex gdiplusMutex;
long gdiplusLeases = 0;
ULONG_PTR gdiplusToken = 0;

struct ReleaseUnknown {
    void operator()(IUnknown* object) const { object->Release(); }
};

}  // namespace

GdiplusLease::GdiplusLease() : m_ok(false) {
    std::lock_guard<std::mutex> lock(gdiplusMutex);
    if (gdiplusLeases == 0) {
        Gdiplus::GdiplusStartupInput input;
        input.GdiplusVersion = 1;
        input.DebugEventCallback = nullptr;
        input.SuppressBackgroundThread = FALSE;
        input.SuppressExternalCodecs = FALSE;
        if (Gdiplus::GdiplusStartup(&gdiplusToken, &input, nullptr) != Gdiplus::Ok) return;
    }
    ++gdiplusLeases;
    m_ok = true;
}

GdiplusLease::~GdiplusLease() {
    if (!m_ok) return;
    std::lock_guard<std::mutex> lock(gdiplusMutex);
    if (--gdiplusLeases == 0) {
        Gdiplus::GdiplusShutdown(gdiplusToken);
        gdiplusToken = 0;
    }
}

long GdiplusLease::ActiveLeases() {
    std::lock_guard<std::mutex> lock(gdiplusMutex);
    return gdiplusLeases;
}

bool DecodeImage(const BYTE* data, size_t size, DecodedImage& out) {
    if (data == nullptr || size == 0 || size > 0x7FFFFFFF) return false;
    GdiplusLease lease;
    if (!lease.ok()) return false;

    std::unique_ptr<IStream, ReleaseUnknown> stream(::SHCreateMemStream(data, static_cast<UINT>(size)));
    if (!stream) return false;
    GpBitmapOwner bitmap;
    if (gdip::GdipCreateBitmapFromStream(stream.get(), bitmap.put()) != Gdiplus::Ok) return false;

    UINT width = 0;
    UINT height = 0;
    gdip::GdipGetImageWidth(bitmap.get(), &width);
    gdip::GdipGetImageHeight(bitmap.get(), &height);
    if (width == 0 || height == 0 || width > 16384 || height > 16384) return false;

    Gdiplus::GpRect whole{0, 0, static_cast<INT>(width), static_cast<INT>(height)};
    Gdiplus::BitmapData locked{};
    if (gdip::GdipBitmapLockBits(bitmap.get(), &whole, Gdiplus::ImageLockModeRead, PixelFormat32bppPARGB, &locked) !=
        Gdiplus::Ok) {
        return false;
    }
    void* bits = nullptr;
    UniqueBitmap dib = CreateDib32(static_cast<int>(width), static_cast<int>(height), &bits);
    if (dib && bits) {
        const size_t rowBytes = static_cast<size_t>(width) * 4;
        for (UINT y = 0; y < height; ++y) {
            const BYTE* source = static_cast<const BYTE*>(locked.Scan0) + static_cast<ptrdiff_t>(y) * locked.Stride;
            std::memcpy(static_cast<BYTE*>(bits) + y * rowBytes, source, rowBytes);
        }
    }
    gdip::GdipBitmapUnlockBits(bitmap.get(), &locked);
    if (!dib || !bits) return false;

    out.image.bitmap = dib.get();
    out.image.width = static_cast<int>(width);
    out.image.height = static_cast<int>(height);
    out.bitmap = std::move(dib);
    return true;
}

bool ResampleImage(const SkinImage& image, const RECT& part, int width, int height, DecodedImage& out) {
    const int partWidth = part.right - part.left;
    const int partHeight = part.bottom - part.top;
    if (image.bitmap == nullptr || width <= 0 || height <= 0 || partWidth <= 0 || partHeight <= 0) return false;
    DIBSECTION section{};
    if (::GetObjectA(image.bitmap, sizeof(section), &section) != sizeof(section) || section.dsBm.bmBits == nullptr) {
        return false;
    }
    GdiplusLease lease;
    if (!lease.ok()) return false;
    void* bits = nullptr;
    UniqueBitmap dib = CreateDib32(width, height, &bits);
    if (!dib || bits == nullptr) return false;
    {
        // Both bitmaps wrap the DIB sections' own memory: what GDI+ draws lands in the new one.
        GpBitmapOwner source;
        GpBitmapOwner target;
        GpGraphicsOwner graphics;
        GdipOwner<Gdiplus::GpImageAttributes, gdip::GdipDisposeImageAttributes> attributes;
        if (gdip::GdipCreateBitmapFromScan0(image.width, image.height, image.width * 4, PixelFormat32bppPARGB,
                                            static_cast<BYTE*>(section.dsBm.bmBits), source.put()) != Gdiplus::Ok ||
            gdip::GdipCreateBitmapFromScan0(width, height, width * 4, PixelFormat32bppPARGB, static_cast<BYTE*>(bits),
                                            target.put()) != Gdiplus::Ok ||
            gdip::GdipGetImageGraphicsContext(target.get(), graphics.put()) != Gdiplus::Ok ||
            gdip::GdipCreateImageAttributes(attributes.put()) != Gdiplus::Ok) {
            return false;
        }
        gdip::GdipSetCompositingMode(graphics.get(), Gdiplus::CompositingModeSourceCopy);
        gdip::GdipSetInterpolationMode(graphics.get(), Gdiplus::InterpolationModeHighQualityBicubic);
        gdip::GdipSetPixelOffsetMode(graphics.get(), Gdiplus::PixelOffsetModeHalf);
        gdip::GdipSetImageAttributesWrapMode(attributes.get(), Gdiplus::WrapModeTileFlipXY, 0, FALSE);
        if (gdip::GdipDrawImageRectRectI(graphics.get(), source.get(), 0, 0, width, height, part.left, part.top,
                                         partWidth, partHeight, Gdiplus::UnitPixel, attributes.get(), nullptr,
                                         nullptr) != Gdiplus::Ok) {
            return false;
        }
    }
    out.image = SkinImage{dib.get(), width, height};
    out.bitmap = std::move(dib);
    return true;
}

}  // namespace skin_detail
