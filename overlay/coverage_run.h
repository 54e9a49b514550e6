// The inner loops shared by the drawing primitives: the over blend of one
// pixel as a single vector operation, and a run of pixels of one row, each
// with its own distance, blended by coverage.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "engine/pixel_ops.h"
#include "engine/types.h"

namespace ormel {

// Longest run handled at once; callers keep their distance buffers this size.
constexpr int32_t kCoverageRun = 64;

// Asks for the pixels [lo, hi] of a row a few rows further down to be
// cached: marks are drawn row by row, and a frame is far larger than the
// caches, so each new row would otherwise start with a wait on memory.
inline void prefetchRowAhead(const Image& image, int32_t y, int32_t lo, int32_t hi) {
    constexpr int32_t kRowsAhead = 4;
    if (y + kRowsAhead >= image.height || lo > hi) return;
    const Pixel* row = image.pixels.data() + static_cast<size_t>(y + kRowsAhead) * static_cast<size_t>(image.width);
    for (int32_t x = lo; x <= hi; x += 4) __builtin_prefetch(row + x, 1);
    __builtin_prefetch(row + hi, 1);
}

// A pixel as one 4-lane vector (r, g, b, a), so that a blend is a handful of
// vector operations instead of a transpose of many pixels' channels.
typedef float PixelLanes __attribute__((vector_size(16)));
static_assert(sizeof(Pixel) == sizeof(PixelLanes), "Pixel is four packed floats");

// The blend colour with 1 in the alpha lane: the over blend's alpha
// dst.a * (1 - a) + a is then the same expression as its colour channels.
inline PixelLanes blendLanes(Pixel colour) { return PixelLanes{colour.r, colour.g, colour.b, 1.0f}; }

// blendOver(dst, colour, amount) for an amount already in [0, 1]; same
// operations in the same order, so the same bits.
inline void blendInPlace(Pixel& dst, PixelLanes colour, float amount) {
    PixelLanes p;
    std::memcpy(&p, &dst, sizeof(p));
    const float keep = 1.0f - amount;
    PixelLanes q = p * keep + colour * amount;
    q[3] = clamp01(q[3]);
    std::memcpy(static_cast<void*>(&dst), &q, sizeof(q));
}

// For each pixel i: coverage = min(edge - d[i], 1); where it is above 0 the
// pixel is over-blended toward colour by clamp01(coverage * opacity *
// colour.a), otherwise left exactly as it is.
inline void blendCoverageRun(Pixel* dst, const float* d, int32_t count, float edge, float opacity,
                             Pixel colour) {
    const PixelLanes lanes = blendLanes(colour);
    for (int32_t i = 0; i < count; ++i) {
        const float coverage = std::min(edge - d[i], 1.0f);
        if (!(coverage > 0.0f)) continue;
        blendInPlace(dst[i], lanes, clamp01(coverage * opacity * colour.a));
    }
}

}  // namespace ormel
