#pragma once
// Decoding of PNG, BMP, JPEG and GIF files into 32-bit premultiplied DIB sections through
// GDI+, their resampling to another size, and the ownership of GDI+ itself: started when
// the first lease is taken, shut down when the last one is returned.

#include "skin/gdi_objects.h"
#include "skin/paint_manager.h"

#include <vector>

namespace skin_detail {

class GdiplusLease {
public:
    GdiplusLease();
    ~GdiplusLease();
    GdiplusLease(const GdiplusLease&) = delete;
    GdiplusLease& operator=(const GdiplusLease&) = delete;
    bool ok() const { return m_ok; }

    // Leases held right now (0 when GDI+ is shut down).
    static long ActiveLeases();

private:
    bool m_ok;
};

// An image decoded for drawing; owns its bitmap.
struct DecodedImage {
    SkinImage image;
    UniqueBitmap bitmap;
};

// False when the bytes are no image GDI+ can read.
bool DecodeImage(const BYTE* data, size_t size, DecodedImage& out);
// part of image (in its pixels) filtered to width x height, bicubic with mirrored edges so
// that the border does not fade; false when GDI+ or the bitmap is not available.
bool ResampleImage(const SkinImage& image, const RECT& part, int width, int height, DecodedImage& out);

}  // namespace skin_detail
