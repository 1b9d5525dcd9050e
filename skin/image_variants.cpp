#include "skin/image_variants.h"

namespace skin_detail {

std::string ImageVariantName(const std::string& name, int percent) {
    const size_t folder = name.find_last_of("/\\");
    const size_t dot = name.rfind('.');
    const size_t at = dot != std::string::npos && (folder == std::string::npos || dot > folder) ? dot : name.size();
    return name.substr(0, at) + "@" + std::to_string(percent) + name.substr(at);
}

int ChooseImageVariant(const std::vector<int>& available, UINT dpi) {
    // percent covers dpi when percent / 100 >= dpi / 96.
    const auto covers = [dpi](int percent) { return percent * 96 >= static_cast<int>(dpi) * 100; };
    int best = 100;
    for (const int percent : available) {
        // A larger picture scaled down keeps its detail; a smaller one scaled up loses it.
        if (covers(percent) ? (!covers(best) || percent < best) : (!covers(best) && percent > best)) best = percent;
    }
    return best;
}

}  // namespace skin_detail
