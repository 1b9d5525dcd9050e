#pragma once
// A window's look: its fonts by id, its default text colours, and its decoded images.

#include "skin/gdi_objects.h"
#include "skin/image_loader.h"

#include <map>
#include <memory>
#include <string>

namespace skin_detail {

struct FontSpec {
    std::string face = "微软雅黑";
    int size = 12;
    bool bold = false;
    bool underline = false;
    bool italic = false;
};

// Where an image is read from, and so whether a missing one is remembered: the skin's
// resources do not change while the window lives, a catalogue icon may arrive later.
enum class ImageSource { SkinResource, File };

class Theme {
public:
    // An id below 0 or a size of 0 is refused; an empty face is the default font's.
    bool AddFont(int id, const FontSpec& spec);
    // An empty face or a size of 0 keeps the default's.
    void SetDefaultFont(const FontSpec& spec);
    // Made on first use; an unknown id gives the default font.
    HFONT Font(int id);

    DWORD textColor = 0xFF000000;
    DWORD disabledColor = 0xFFA7A6AA;

    // Decoded once and kept while the theme lives; null when missing or unreadable.
    const SkinImage* Image(const char* name, ImageSource source);

private:
    struct FontEntry {
        FontSpec spec;
        UniqueFont font;
    };
    FontEntry m_defaultFont;
    std::map<int, FontEntry> m_fonts;
    GdiplusLease m_gdiplus;
    // Keyed by source and name; null: a skin resource known to be missing.
    std::map<std::pair<ImageSource, std::string>, std::unique_ptr<DecodedImage>> m_images;
};

}  // namespace skin_detail
