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

}  // namespace skin_detail
