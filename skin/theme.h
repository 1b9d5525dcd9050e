#pragma once
// A window's look at its DPI: its fonts by id, its default text colours, and its images,
// decoded once and scaled once per DPI.

#include "skin/dpi.h"
#include "skin/gdi_objects.h"
#include "skin/image_loader.h"
#include "skin/image_variants.h"

#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace skin_detail {

struct FontSpec {
    std::string face = "微软雅黑";
    int size = 12;  // character height in pixels at 96 DPI
    bool bold = false;
    bool underline = false;
    bool italic = false;
};

// Where an image is read from, and so whether a missing one is remembered: the skin's
// resources do not change while the window lives, a catalogue icon may arrive later.
enum class ImageSource { SkinResource, File };

// A part of a bitmap to copy 1:1.
struct ImagePiece {
    const SkinImage* image = nullptr;
    RECT part{0, 0, 0, 0};
};

class Theme {
public:
    UINT dpi() const { return m_dpi; }
    // Fonts and scaled images are made again for the new DPI.
    void SetDpi(UINT dpi);

    // An id below 0 or a size of 0 is refused; an empty face is the default font's.
    bool AddFont(int id, const FontSpec& spec);
    // An empty face or a size of 0 keeps the default's.
    void SetDefaultFont(const FontSpec& spec);
    // Made on first use at the DPI; an unknown id gives the default font.
    HFONT Font(int id);
    // The default font's face at another size (pixels at 96 DPI) and weight, ClearType.
    HFONT DefaultFaceFont(int size, bool bold);

    DWORD textColor = 0xFF000000;
    DWORD disabledColor = 0xFFA7A6AA;

    // Decoded once and kept while the theme lives, at its own size; null when missing or
    // unreadable.
    const SkinImage* Image(const char* name, ImageSource source);
    // part (in the image's own pixels; null: all of it) of a skin image, to be drawn at
    // width x height: from the best variant for the DPI, filtered once and kept while the
    // DPI lasts. Null image when the image is missing.
    ImagePiece SkinImagePart(const char* name, const RECT* part, int width, int height);
    // A file's image (a catalogue icon) at width x height, filtered once and kept.
    const SkinImage* FileImage(const char* path, int width, int height);

private:
    struct FontEntry {
        FontSpec spec;
        UniqueFont font;
    };
    // A picture in the sizes it was last drawn at, the most recent first.
    struct ScaledCopies {
        std::vector<std::unique_ptr<DecodedImage>> sizes;
    };
    using ScaledKey = std::tuple<ImageSource, std::string, LONG, LONG, LONG, LONG>;

    const DecodedImage* Decoded(const std::string& name, ImageSource source);
    const DecodedImage* VariantFor(const std::string& name);
    const SkinImage* Scaled(const ScaledKey& key, const SkinImage& from, const RECT& part, int width, int height);

    UINT m_dpi = kBaseDpi;
    FontEntry m_defaultFont;
    std::map<int, FontEntry> m_fonts;
    std::map<std::pair<int, bool>, UniqueFont> m_faceFonts;
    GdiplusLease m_gdiplus;
    // Keyed by source and name; null: a skin resource known to be missing.
    std::map<std::pair<ImageSource, std::string>, std::unique_ptr<DecodedImage>> m_images;
    // The variant chosen for the DPI, by the image's own name.
    std::map<std::string, const DecodedImage*> m_variants;
    std::map<ScaledKey, ScaledCopies> m_scaled;
};

}  // namespace skin_detail
