#include "skin/theme.h"

#include "skin/resources.h"

#include <algorithm>

namespace skin_detail {
namespace {

// Sizes of one picture kept at once: a window being resized asks for a new one each step.
constexpr size_t kScaledSizesKept = 4;

LOGFONTA FontShape(const std::string& face, int size, UINT dpi, bool bold) {
    LOGFONTA logfont{};
    logfont.lfHeight = -ScaleToDpi(size, dpi);  // character height in pixels
    logfont.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    // The Chinese character set lets the system substitute a CJK face it has.
    logfont.lfCharSet = GB2312_CHARSET;
    logfont.lfOutPrecision = OUT_TT_PRECIS;
    logfont.lfPitchAndFamily = DEFAULT_PITCH | FF_SWISS;
    ::lstrcpynA(logfont.lfFaceName, face.c_str(), LF_FACESIZE);
    return logfont;
}

UniqueFont MakeFont(const FontSpec& spec, UINT dpi) {
    LOGFONTA logfont = FontShape(spec.face, spec.size, dpi, spec.bold);
    logfont.lfUnderline = spec.underline ? TRUE : FALSE;
    logfont.lfItalic = spec.italic ? TRUE : FALSE;
    logfont.lfQuality = ANTIALIASED_QUALITY;
    return UniqueFont(::CreateFontIndirectA(&logfont));
}

bool SameSize(const RECT& part, int width, int height) {
    return part.right - part.left == width && part.bottom - part.top == height;
}

}  // namespace

void Theme::SetDpi(UINT dpi) {
    if (dpi == 0 || dpi == m_dpi) return;
    m_dpi = dpi;
    m_defaultFont.font.reset();
    for (auto& entry : m_fonts) entry.second.font.reset();
    m_faceFonts.clear();
    m_variants.clear();
    m_scaled.clear();
}

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
    m_faceFonts.clear();
}

HFONT Theme::Font(int id) {
    auto it = m_fonts.find(id);
    FontEntry& entry = it != m_fonts.end() ? it->second : m_defaultFont;
    if (!entry.font) entry.font = MakeFont(entry.spec, m_dpi);
    return entry.font.get();
}

HFONT Theme::DefaultFaceFont(int size, bool bold) {
    UniqueFont& font = m_faceFonts[std::make_pair(size, bold)];
    if (!font) {
        LOGFONTA logfont = FontShape(m_defaultFont.spec.face, size, m_dpi, bold);
        logfont.lfQuality = CLEARTYPE_QUALITY;
        font.reset(::CreateFontIndirectA(&logfont));
    }
    return font.get();
}

const DecodedImage* Theme::Decoded(const std::string& name, ImageSource source) {
    if (name.empty()) return nullptr;
    const auto key = std::make_pair(source, name);
    auto it = m_images.find(key);
    if (it != m_images.end()) return it->second.get();
    std::vector<BYTE> bytes;
    const bool read = source == ImageSource::SkinResource ? ReadResource(name, bytes) : ReadWholeFile(name, bytes);
    auto decoded = std::make_unique<DecodedImage>();
    if (!read || !DecodeImage(bytes.data(), bytes.size(), *decoded)) {
        // Remembered, so painting does not search the archive each time.
        if (source == ImageSource::SkinResource) m_images[key] = nullptr;
        return nullptr;
    }
    const DecodedImage* image = decoded.get();
    m_images[key] = std::move(decoded);
    return image;
}

const SkinImage* Theme::Image(const char* name, ImageSource source) {
    const DecodedImage* decoded = Decoded(name != nullptr ? name : "", source);
    return decoded != nullptr ? &decoded->image : nullptr;
}

const DecodedImage* Theme::VariantFor(const std::string& name) {
    auto it = m_variants.find(name);
    if (it != m_variants.end()) return it->second;
    const DecodedImage* chosen = Decoded(name, ImageSource::SkinResource);
    if (chosen != nullptr && m_dpi > kBaseDpi) {
        std::vector<int> available;
        for (const int percent : kImageVariantPercents) {
            if (Decoded(ImageVariantName(name, percent), ImageSource::SkinResource) != nullptr) {
                available.push_back(percent);
            }
        }
        const int percent = ChooseImageVariant(available, m_dpi);
        if (percent != 100) chosen = Decoded(ImageVariantName(name, percent), ImageSource::SkinResource);
    }
    m_variants[name] = chosen;
    return chosen;
}

const SkinImage* Theme::Scaled(const ScaledKey& key, const SkinImage& from, const RECT& part, int width,
                               int height) {
    std::vector<std::unique_ptr<DecodedImage>>& sizes = m_scaled[key].sizes;
    for (size_t i = 0; i < sizes.size(); ++i) {
        if (sizes[i]->image.width != width || sizes[i]->image.height != height) continue;
        // The one asked for moves to the front.
        const auto found = sizes.begin() + static_cast<ptrdiff_t>(i);
        std::rotate(sizes.begin(), found, found + 1);
        return &sizes.front()->image;
    }
    auto scaled = std::make_unique<DecodedImage>();
    if (!ResampleImage(from, part, width, height, *scaled)) return nullptr;
    sizes.insert(sizes.begin(), std::move(scaled));
    if (sizes.size() > kScaledSizesKept) sizes.resize(kScaledSizesKept);
    return &sizes.front()->image;
}

ImagePiece Theme::SkinImagePart(const char* name, const RECT* part, int width, int height) {
    const DecodedImage* base = Decoded(name != nullptr ? name : "", ImageSource::SkinResource);
    if (base == nullptr || width <= 0 || height <= 0) return {};
    RECT wanted{0, 0, base->image.width, base->image.height};
    if (part != nullptr && !::IntersectRect(&wanted, &wanted, part)) return {};
    const DecodedImage* variant = VariantFor(name);
    const SkinImage& from = variant->image;
    // The part in the variant's pixels, whatever its scale.
    const RECT inVariant{::MulDiv(wanted.left, from.width, base->image.width),
                         ::MulDiv(wanted.top, from.height, base->image.height),
                         ::MulDiv(wanted.right, from.width, base->image.width),
                         ::MulDiv(wanted.bottom, from.height, base->image.height)};
    if (SameSize(inVariant, width, height)) return ImagePiece{&from, inVariant};
    const ScaledKey key{ImageSource::SkinResource, name, wanted.left, wanted.top, wanted.right, wanted.bottom};
    const SkinImage* scaled = Scaled(key, from, inVariant, width, height);
    if (scaled == nullptr) return {};
    return ImagePiece{scaled, RECT{0, 0, width, height}};
}

const SkinImage* Theme::FileImage(const char* path, int width, int height) {
    const DecodedImage* base = Decoded(path != nullptr ? path : "", ImageSource::File);
    if (base == nullptr || width <= 0 || height <= 0) return nullptr;
    if (base->image.width == width && base->image.height == height) return &base->image;
    const RECT whole{0, 0, base->image.width, base->image.height};
    return Scaled(ScaledKey{ImageSource::File, path, 0, 0, whole.right, whole.bottom}, base->image, whole, width,
                  height);
}

}  // namespace skin_detail
