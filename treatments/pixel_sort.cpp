#include "treatments/pixel_sort.h"

#include <algorithm>

#include "engine/image_checks.h"
#include "treatments/box_blur.h"
#include "treatments/gpu/pixel_sort_gpu.h"
#include "treatments/pixel_sort_glow.h"
#include "treatments/pixel_sort_soften.h"
#include "treatments/safe_convert.h"

namespace ormel {
namespace {

// The box blur caps its radius at 24, so anything above is only kept finite here.
constexpr int32_t kRadiusCeiling = 1024;

int32_t blurRadius(float scale) { return roundClamped(scale, 1, kRadiusCeiling, 1); }

// The image moved toward its own blur by t; each mean is used as soon as the
// blur has it, so the blurred picture never makes a trip through memory. A
// clear pixel whose mean is +0 stays +0, so the blur passes those by.
void soften(Image& image, int32_t radius, float t, PixelSortScratch& scratch, const RowBands& bands) {
    blurIntoSink(image, scratch.picture, radius, scratch.blur, bands, [&](int y, int x, const Pixel* means, int n) {
        Pixel* p = &image.at(x, y);
        softenPixels(p, means, p, static_cast<size_t>(n), t);
        remarkStretches(scratch.picture, image, y, x, n);
    });
}

}  // namespace

void applyPixelSort(Image& image, const Settings& settings, const RowBands& bands) {
    PixelSortScratch scratch;
    applyPixelSort(image, settings, bands, scratch);
}

void applyPixelSort(Image& image, const Settings& settings, const RowBands& bands, PixelSortScratch& scratch) {
    // "Not above" so a NaN amount leaves the picture alone.
    if (!settings.pixelSortEnable || !(settings.pixelSortAmount > 0.001f) || !isUsableImage(image)) return;
    if (settings.renderEngine == RenderEngine::Gpu && applyPixelSortGpu(image, settings)) return;

    const float blur = settings.pixelSortBlur;
    const SortDirection direction = settings.pixelSortDirection;
    const float pre = 0.45f * blur;
    resetClearMap(scratch.picture, image);  // nothing known yet; the first blur finds out
    if (blur > 0.001f && pre > 0.001f) soften(image, blurRadius(10.0f * pre), std::min(pre, 1.0f), scratch, bands);
    const bool mixed = direction == SortDirection::Mixed;
    if (mixed || direction == SortDirection::Horizontal) {
        applyPixelSortAxis(image, settings, false, bands, scratch.picture);
    }
    if (mixed || direction == SortDirection::Vertical) {
        applyPixelSortAxis(image, settings, true, bands, scratch.picture);
    }
    if (blur > 0.001f) soften(image, blurRadius(10.0f * blur), std::min(blur, 1.0f), scratch, bands);

    const float glow = settings.pixelSortGlow;
    if (glow > 0.001f) {
        const SortGlow rules = sortGlow(settings, glow);
        // A +0 mean lights nothing, so clear pixels under one are passed by.
        blurIntoSink(image, scratch.picture, blurRadius(18.0f * glow), scratch.blur, bands,
                     [&](int y, int x, const Pixel* means, int n) {
                         addSortGlow(&image.at(x, y), means, static_cast<size_t>(n), rules);
                     });
    }
}

}  // namespace ormel
