// Parameter block shared by the two GPU pixel sort kernels.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/types.h"

namespace ormel {

// Laid out as the kernels read it: the colour sits on a 16-byte boundary as a
// four-float vector would in the shading language, padding is explicit.
struct Params {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t frame = 0;
    uint32_t seed = 0;
    uint32_t direction = 0;  // 0 horizontal, 1 vertical, 2 mixed; anything else sorts rows
    uint32_t randomize = 0;
    uint32_t scope = 0;   // 0 reads alpha, anything else luminance
    uint32_t length = 2;  // [2, 512]; the kernels cap blocks at 160
    float amount = 0.0f;
    float threshold = 0.0f;
    float randomAmount = 0.0f;
    uint32_t pad0 = 0;
    alignas(16) float color[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float colorMix = 0.0f;
    float blur = 0.0f;
    float glow = 0.0f;
    uint32_t pad1 = 0;
};

static_assert(sizeof(Params) == 80, "the kernels read an 80-byte block");
static_assert(offsetof(Params, width) == 0, "width at 0");
static_assert(offsetof(Params, height) == 4, "height at 4");
static_assert(offsetof(Params, frame) == 8, "frame at 8");
static_assert(offsetof(Params, seed) == 12, "seed at 12");
static_assert(offsetof(Params, direction) == 16, "direction at 16");
static_assert(offsetof(Params, randomize) == 20, "randomize at 20");
static_assert(offsetof(Params, scope) == 24, "scope at 24");
static_assert(offsetof(Params, length) == 28, "length at 28");
static_assert(offsetof(Params, amount) == 32, "amount at 32");
static_assert(offsetof(Params, threshold) == 36, "threshold at 36");
static_assert(offsetof(Params, randomAmount) == 40, "randomAmount at 40");
static_assert(offsetof(Params, pad0) == 44, "padding at 44");
static_assert(offsetof(Params, color) == 48, "color at 48");
static_assert(offsetof(Params, colorMix) == 64, "colorMix at 64");
static_assert(offsetof(Params, blur) == 68, "blur at 68");
static_assert(offsetof(Params, glow) == 72, "glow at 72");
static_assert(offsetof(Params, pad1) == 76, "padding at 76");

// Clamps every setting into the range the kernels expect; the image gives the size.
Params makePixelSortParams(const Image& image, const Settings& settings);

// True when the GPU kernels can address every pixel of the image with 32-bit
// indices and the pixel array matches the stated size.
bool fitsGpuKernels(const Image& image);

}  // namespace ormel
