#include "treatments/pixel_sort.h"

#include <algorithm>

#include "engine/image_checks.h"
#include "engine/pixel_ops.h"
#include "treatments/bilinear.h"
#include "treatments/box_blur.h"
#include "treatments/gpu/pixel_sort_gpu.h"
#include "treatments/pixel_sort_common.h"
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

void addGlow(Image& image, const Settings& settings, float glow, const RowBands& bands) {
    const int32_t radius = roundClamped(18.0f * glow, 1, kRadiusCeiling, 1);
    const Image blurred = blurredImage(image, radius, bands);
    const float threshold = clamp01(settings.pixelSortThreshold);
    const float gate = settings.pixelSortThreshold > 0.0f ? 0.5f * std::min(threshold, 1.0f) : 0.0f;
    const float g = std::min(glow, 1.0f);
    const Pixel colour = settings.pixelSortColor;
    const int32_t scope = settings.pixelSortScope;
    const size_t width = static_cast<size_t>(image.width);
    bands.forEachBand(image.height, [&](Band band) {
    for (size_t i = band.begin * width; i < band.end * width; ++i) {
        const Pixel& q = blurred.pixels[i];
        const float v = sortActivity(q, scope);
        if (!(v > gate)) continue;
        const float w = clamp01(1.8f * std::max(sortLuminance(q), v));
        const float k = clamp01(0.65f * g * w);
        Pixel& p = image.pixels[i];
        p.r = p.r * (1.0f - k) + (colour.r * w) * k;
        p.g = p.g * (1.0f - k) + (colour.g * w) * k;
        p.b = p.b * (1.0f - k) + (colour.b * w) * k;
        p.a = clamp01(p.a * (1.0f - k) + k);
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
    if (glow > 0.001f) addGlow(image, settings, glow, bands);
}

}  // namespace ormel
