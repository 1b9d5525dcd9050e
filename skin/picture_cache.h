#pragma once
// A control's last picture, kept with a fingerprint of what lay under it: a control that
// looks as it did, over the same background, is copied into the back buffer instead of
// drawn again. The picture is taken from the back buffer right after the control drew
// itself, so it holds exactly what drawing would give. All pictures of the process share a
// budget; the ones painted longest ago give their memory back first.
// Only a back buffer whose layout in memory is known (registered as a ReadableSurface) is
// read: GDI does not tell reliably whether a DIB section runs top-down.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace skin_detail {

// A 32-bit top-down canvas at the origin of its DC, whose pixels the pictures may read and
// write while the object lives.
class ReadableSurface {
public:
    ReadableSurface(HDC dc, void* bits, int width, int height);
    ~ReadableSurface();
    ReadableSurface(const ReadableSurface&) = delete;
    ReadableSurface& operator=(const ReadableSurface&) = delete;

    // The surface painted through dc, or null.
    static const ReadableSurface* Of(HDC dc);
    uint32_t* Row(int y) const { return m_bits + static_cast<size_t>(y) * m_width; }
    int width() const { return m_width; }
    int height() const { return m_height; }

private:
    HDC m_dc;
    uint32_t* m_bits;
    int m_width;
    int m_height;
};

// Builds the fingerprint of what a control's look depends on.
class LookKey {
public:
    LookKey& Add(uint64_t value);
    LookKey& Add(const void* bytes, size_t size);
    LookKey& Add(const char* text);
    uint64_t value() const { return m_value; }

private:
    uint64_t m_value = 1469598103934665603ull;
};

class PictureCache {
public:
    PictureCache() = default;
    ~PictureCache();
    PictureCache(const PictureCache&) = delete;
    PictureCache& operator=(const PictureCache&) = delete;

    // Paints rc of dc: a copy of the kept picture when look and background are those it was
    // taken with, else through draw, keeping what it drew. Where dc is no readable surface,
    // or rc is not wholly inside the area being painted, draw paints as ever.
    void Paint(HDC dc, const RECT& rc, uint64_t look, const std::function<void(HDC)>& draw);

    // Bytes the pictures of the process hold now, and the most they may hold.
    static size_t HeldBytes();
    static constexpr size_t kBudgetBytes = 24u * 1024 * 1024;

private:
    friend class PictureBudget;
    std::vector<uint32_t> m_pixels;
    int m_width = 0;
    int m_height = 0;
    uint64_t m_look = 0;
    uint64_t m_background = 0;
    bool m_kept = false;
};

}  // namespace skin_detail
