#include "treatments/glitch_slices.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

#include "engine/image_checks.h"
#include "overlay/hash.h"
#include "treatments/safe_convert.h"

namespace ormel {

void applyGlitchSlices(Image& image, const Settings& settings, const RowBands& bands) {
    const float g = settings.glitchAmount;
    if (!isUsableImage(image) || !(g > 0.001f)) return;

    const int32_t attempts = truncClamped(16.0f * g, 1, 24, 1);
    // Kept in float: trunc(34 g) may exceed any int for huge amounts; the shift is
    // clamped to the width before it becomes an integer.
    float maxShift = std::trunc(34.0f * g);
    if (maxShift < 2.0f) maxShift = 1.0f;
    const int32_t seed = settings.seed;
    const int32_t frame = settings.frameNumber;

    // Every slice copies rows of the untouched picture, so a row ends up as the
    // last slice over it left it: one shift per row, applied once.
    constexpr int32_t kUnshifted = INT32_MIN;
    std::vector<int32_t> rowShift(static_cast<size_t>(image.height), kUnshifted);
    bool any = false;
    for (int32_t i = 0; i < attempts; ++i) {
        float draws[4];
        for (int32_t k = 0; k < 4; ++k) draws[k] = hash01(i, frame, k, seedPlus(seed, 811 + 10 * k));
        if (draws[0] > 0.35f * g + 0.4f) continue;

        const int32_t top = truncClamped(static_cast<float>(image.height) * draws[1], 0, image.height - 1, 0);
        const int32_t sliceHeight = truncClamped(g * draws[2] * 18.0f + 1.0f, 1, image.height, 1);
        const int32_t shift = truncClamped((draws[3] - 0.5f) * 2.0f * maxShift, -image.width, image.width, 0);
        const int32_t bottom = sliceHeight < image.height - top ? top + sliceHeight : image.height;
        for (int32_t y = top; y < bottom; ++y) rowShift[static_cast<size_t>(y)] = shift;
        any = true;
    }
    if (!any) return;

    const int32_t width = image.width;
    bands.forEachBand(image.height, [&](Band band) {
        std::vector<Pixel> copy(static_cast<size_t>(width));
        for (int32_t y = band.begin; y < band.end; ++y) {
            const int32_t shift = rowShift[static_cast<size_t>(y)];
            if (shift == kUnshifted || shift == 0) continue;
            Pixel* row = &image.at(0, y);
            std::copy(row, row + width, copy.begin());
            for (int32_t x = 0; x < width; ++x) {
                int32_t from = x + shift;
                from = from < 0 ? 0 : (from >= width ? width - 1 : from);
                row[x] = copy[static_cast<size_t>(from)];
            }
        }
    });
}

}  // namespace ormel
