#include "treatments/pixel_sort.h"

#include <algorithm>

#include "engine/image_checks.h"
#include "treatments/box_blur.h"
#include "treatments/gpu/pixel_sort_gpu.h"
#include "treatments/pixel_sort_glow.h"
#include "treatments/pixel_sort_passes.h"
#include "treatments/pixel_sort_soften.h"
#include "treatments/safe_convert.h"

namespace ormel {
namespace {

// The box blur caps its radius at 24, so anything above is only kept finite here.
constexpr int32_t kRadiusCeiling = 1024;

int32_t blurRadius(float scale) { return roundClamped(scale, 1, kRadiusCeiling, 1); }

void softenWith(Image& image, const Image& blurred, float t, const RowBands& bands) {
    const size_t width = static_cast<size_t>(image.width);
    bands.forEachBand(image.height, [&](Band band) {
        const size_t from = static_cast<size_t>(band.begin) * width;
        const size_t count = static_cast<size_t>(band.end - band.begin) * width;
        softenPixels(&image.pixels[from], &blurred.pixels[from], &image.pixels[from], count, t);
    });
}

}  // namespace

void applyPixelSort(Image& image, const Settings& settings, const RowBands& bands) {
    // "Not above" so a NaN amount leaves the picture alone.
    if (!settings.pixelSortEnable || !(settings.pixelSortAmount > 0.001f) || !isUsableImage(image)) return;
    if (settings.renderEngine == 1 && applyPixelSortGpu(image, settings)) return;

    const float blur = settings.pixelSortBlur;
    const int32_t direction = settings.pixelSortDirection;
    const bool horizontal = direction == 0 || direction == 2;
    const bool vertical = direction == 1 || direction == 2;
    const float pre = 0.45f * blur;
    Image blurred;  // one buffer for the up to three blurs
    if (blur > 0.001f && pre > 0.001f) {
        blurredImageInto(image, blurRadius(10.0f * pre), blurred, bands);
        const float t = std::min(pre, 1.0f);
        // Softened rows go straight into the row pass, saving a sweep over the frame.
        if (horizontal) {
            softenThenSortRows(image, blurred, t, settings, bands);
        } else {
            softenWith(image, blurred, t, bands);
        }
    } else if (horizontal) {
        applyPixelSortAxis(image, settings, false, bands);
    }
    if (vertical) applyPixelSortAxis(image, settings, true, bands);

    if (blur > 0.001f) {
        blurredImageInto(image, blurRadius(10.0f * blur), blurred, bands);
        softenWith(image, blurred, std::min(blur, 1.0f), bands);
    }

    const float glow = settings.pixelSortGlow;
    if (glow > 0.001f) {
        blurredImageInto(image, blurRadius(18.0f * glow), blurred, bands);
        addSortGlow(image, blurred, settings, glow, bands);
    }
}

}  // namespace ormel
