#include "skin/theme.h"

#include "skin/resources.h"

#include <vector>

namespace skin_detail {
namespace {

UniqueFont MakeFont(const FontSpec& spec) {
    LOGFONTA logfont{};
    logfont.lfHeight = -spec.size;  // pixels, character height
    logfont.lfWeight = spec.bold ? FW_BOLD : FW_NORMAL;
    logfont.lfUnderline = spec.underline ? TRUE : FALSE;
    logfont.lfItalic = spec.italic ? TRUE : FALSE;
    // The Chinese character set lets the system substitute a CJK face it has.
    logfont.lfCharSet = GB2312_CHARSET;
    logfont.lfOutPrecision = OUT_TT_PRECIS;
    logfont.lfQuality = ANTIALIASED_QUALITY;
    logfont.lfPitchAndFamily = DEFAULT_PITCH | FF_SWISS;
    ::lstrcpynA(logfont.lfFaceName, spec.face.c_str(), LF_FACESIZE);
    return UniqueFont(::CreateFontIndirectA(&logfont));
}

}  // namespace

bool Theme::AddFont(int id, const FontSpec& spec) {
    if (id < 0 || spec.size <= 0) return false;
    FontEntry& entry = m_fonts[id];
    entry.spec = spec;
    if (entry.spec.face.empty()) entry.spec.face = m_defaultFont.spec.face;
    entry.font.reset();
    return true;
}

void Theme::SetDefaultFont(const FontSpec& spec) {
    FontSpec merged = spec;
    if (merged.face.empty()) merged.face = m_defaultFont.spec.face;
    if (merged.size <= 0) merged.size = m_defaultFont.spec.size;
    m_defaultFont.spec = merged;
    m_defaultFont.font.reset();
}

HFONT Theme::Font(int id) {
    auto it = m_fonts.find(id);
    FontEntry& entry = it != m_fonts.end() ? it->second : m_defaultFont;
    if (!entry.font) entry.font = MakeFont(entry.spec);
    return entry.font.get();
}

const SkinImage* Theme::Image(const char* name, ImageSource source) {
    if (name == nullptr || *name == '\0') return nullptr;
    const auto key = std::make_pair(source, std::string(name));
    auto it = m_images.find(key);
    if (it != m_images.end()) return it->second ? &it->second->image : nullptr;
    std::vector<BYTE> bytes;
    const bool read = source == ImageSource::SkinResource ? ReadResource(name, bytes) : ReadWholeFile(name, bytes);
    auto decoded = std::make_unique<DecodedImage>();
    if (!read || !DecodeImage(bytes.data(), bytes.size(), *decoded)) {
        // Remembered, so painting does not search the archive each time.
        if (source == ImageSource::SkinResource) m_images[key] = nullptr;
        return nullptr;
    }
    const SkinImage* image = &decoded->image;
    m_images[key] = std::move(decoded);
    return image;
}

}  // namespace skin_detail
