#include "treatments/gpu/pixel_sort_params.h"

#include <cfloat>
#include <limits>

#include "engine/pixel_ops.h"

namespace ormel {

namespace {

// Frame numbers and seeds go in as their 32-bit patterns, the way the
// processor path feeds them to the hash, so negative frames still animate and
// negative seeds stay distinct.
uint32_t bitsOf(int32_t value) { return static_cast<uint32_t>(value); }

uint32_t clampLength(int32_t length) {
    if (length < 2) return 2;
    if (length > 512) return 512;
    return static_cast<uint32_t>(length);
}

// Unbounded above like the control's value, but NaN becomes 0 and infinity
// the largest float so the kernel arithmetic stays finite where it can.
float glowStrength(float glow) {
    if (!(glow > 0.0f)) return 0.0f;
    return glow < FLT_MAX ? glow : FLT_MAX;
}

}  // namespace

Params makePixelSortParams(const Image& image, const Settings& settings) {
    Params params;
    params.width = image.width > 0 ? static_cast<uint32_t>(image.width) : 0;
    params.height = image.height > 0 ? static_cast<uint32_t>(image.height) : 0;
    params.frame = bitsOf(settings.frameNumber);
    params.seed = bitsOf(settings.seed);
    params.direction = static_cast<uint32_t>(settings.pixelSortDirection);
    params.randomize = settings.pixelSortRandomize ? 1u : 0u;
    params.scope = static_cast<uint32_t>(settings.pixelSortScope);
    params.length = clampLength(settings.pixelSortLength);
    params.amount = clamp01(settings.pixelSortAmount);
    params.threshold = clamp01(settings.pixelSortThreshold);
    params.randomAmount = clamp01(settings.pixelSortRandomAmount);
    params.color[0] = settings.pixelSortColor.r;
    params.color[1] = settings.pixelSortColor.g;
    params.color[2] = settings.pixelSortColor.b;
    params.color[3] = settings.pixelSortColor.a;
    params.colorMix = clamp01(settings.pixelSortColorMix);
    params.blur = clamp01(settings.pixelSortBlur);
    params.glow = glowStrength(settings.pixelSortGlow);
    return params;
}

bool fitsGpuKernels(const Image& image) {
    if (image.empty()) return false;
    const uint64_t count = static_cast<uint64_t>(image.width) * static_cast<uint64_t>(image.height);
    return count <= std::numeric_limits<uint32_t>::max() && image.pixels.size() == count;
}

}  // namespace ormel
