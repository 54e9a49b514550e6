#include "treatments/chromatic_aberration.h"

#include <algorithm>
#include <vector>

#include "engine/image_checks.h"
#include "treatments/safe_convert.h"

namespace ormel {

void applyChromaticAberration(Image& image, const Settings& settings, const RowBands& bands) {
    const float amount = settings.chromaticAberration;
    if (!isUsableImage(image) || !(amount > 0.01f)) return;

    // Offsets beyond the width all read the edge column, so the clamp loses nothing.
    const int32_t d = roundClamped(amount, 1, image.width, 1);
    const int32_t width = image.width;
    const int32_t last = width - 1;
    // Each row only reads itself, so one row's copy is all a band keeps.
    bands.forEachBand(image.height, [&](Band band) {
        std::vector<Pixel> copy(static_cast<size_t>(width));
        for (int32_t y = band.begin; y < band.end; ++y) {
            Pixel* row = &image.at(0, y);
            std::copy(row, row + width, copy.begin());
            // Red comes from d columns right, blue from d columns left; green and alpha stay.
            for (int32_t x = 0; x < width; ++x) {
                const int32_t redX = x + d > last ? last : x + d;
                row[x].r = copy[static_cast<size_t>(redX)].r;
            }
            for (int32_t x = 0; x < width; ++x) {
                const int32_t blueX = x - d < 0 ? 0 : x - d;
                row[x].b = copy[static_cast<size_t>(blueX)].b;
            }
        }
    });
}

}  // namespace ormel
