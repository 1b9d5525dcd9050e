#pragma once
// The GDI+ flat interface and owners for the GDI+ objects the library creates.

#include "shared/unique_handle.h"

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

namespace gdip = Gdiplus::DllExports;

namespace skin_detail {

template <typename T, Gdiplus::GpStatus(WINGDIPAPI* Delete)(T*)>
using GdipOwner = UniqueHandle<NullableHandleTraits<T*, Delete>>;

inline Gdiplus::GpStatus WINGDIPAPI DisposeBitmap(Gdiplus::GpBitmap* bitmap) {
    return gdip::GdipDisposeImage(bitmap);
}
inline Gdiplus::GpStatus WINGDIPAPI DisposeSolidFill(Gdiplus::GpSolidFill* brush) {
    return gdip::GdipDeleteBrush(brush);
}

inline Gdiplus::GpStatus WINGDIPAPI DisposeTexture(Gdiplus::GpTexture* brush) { return gdip::GdipDeleteBrush(brush); }

using GpBitmapOwner = GdipOwner<Gdiplus::GpBitmap, DisposeBitmap>;
using GpGraphicsOwner = GdipOwner<Gdiplus::GpGraphics, gdip::GdipDeleteGraphics>;
using GpSolidFillOwner = GdipOwner<Gdiplus::GpSolidFill, DisposeSolidFill>;
using GpTextureOwner = GdipOwner<Gdiplus::GpTexture, DisposeTexture>;
using GpPathOwner = GdipOwner<Gdiplus::GpPath, gdip::GdipDeletePath>;
using GpPenOwner = GdipOwner<Gdiplus::GpPen, gdip::GdipDeletePen>;
using GpRegionOwner = GdipOwner<Gdiplus::GpRegion, gdip::GdipDeleteRegion>;

}  // namespace skin_detail
