#include "treatments/pixel_sort.h"

#include <algorithm>

#include "engine/image_checks.h"
#include "engine/pixel_ops.h"
#include "treatments/bilinear.h"
#include "treatments/box_blur.h"
#include "treatments/gpu/pixel_sort_gpu.h"
#include "treatments/pixel_sort_glow.h"
#include "treatments/safe_convert.h"

namespace ormel {
namespace {

// The box blur caps its radius at 24, so anything above is only kept finite here.
constexpr int32_t kRadiusCeiling = 1024;

void softenToward(Image& image, float radiusScale, float mix, const RowBands& bands) {
    const int32_t radius = roundClamped(radiusScale, 1, kRadiusCeiling, 1);
    const Image blurred = blurredImage(image, radius, bands);
    const float t = std::min(mix, 1.0f);
    const size_t width = static_cast<size_t>(image.width);
    bands.forEachBand(image.height, [&](Band band) {
        for (size_t i = band.begin * width; i < band.end * width; ++i) {
            image.pixels[i] = mixPixel(image.pixels[i], blurred.pixels[i], t);
        }
    });
}

}  // namespace

void applyPixelSort(Image& image, const Settings& settings, const RowBands& bands) {
    // "Not above" so a NaN amount leaves the picture alone.
    if (!settings.pixelSortEnable || !(settings.pixelSortAmount > 0.001f) || !isUsableImage(image)) return;
    if (settings.renderEngine == 1 && applyPixelSortGpu(image, settings)) return;

    const float blur = settings.pixelSortBlur;
    if (blur > 0.001f) {
        const float pre = 0.45f * blur;
        if (pre > 0.001f) softenToward(image, 10.0f * pre, pre, bands);
    }

    const int32_t direction = settings.pixelSortDirection;
    if (direction == 0 || direction == 2) applyPixelSortAxis(image, settings, false, bands);
    if (direction == 1 || direction == 2) applyPixelSortAxis(image, settings, true, bands);

    if (blur > 0.001f) softenToward(image, 10.0f * blur, blur, bands);

    const float glow = settings.pixelSortGlow;
    if (glow > 0.001f) {
        const Image blurred = blurredImage(image, roundClamped(18.0f * glow, 1, kRadiusCeiling, 1), bands);
        addSortGlow(image, blurred, settings, glow, bands);
    }
}

}  // namespace ormel
