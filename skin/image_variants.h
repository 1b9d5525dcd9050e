#pragma once
// The larger variants of an image a skin archive may hold for higher DPIs, and the rule
// that picks one (docs/skin-format.md): "images/close.png" drawn at 150 % comes from
// "images/close@150.png" when the archive has it.

#include <windows.h>

#include <string>
#include <vector>

namespace skin_detail {

// The scale steps, in percent, that variants are looked for at.
inline constexpr int kImageVariantPercents[] = {125, 150, 175, 200, 250, 300};

// The variant's name: "@" and the percentage before the extension.
std::string ImageVariantName(const std::string& name, int percent);
// The variant to scale from at dpi, of the percentages an archive holds (100 is the image
// itself): the smallest that is at least the scale, else the largest.
int ChooseImageVariant(const std::vector<int>& available, UINT dpi);

}  // namespace skin_detail
