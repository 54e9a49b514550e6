// The inner loops shared by the drawing primitives: the over blend of one
// pixel as a single vector operation, the same blend for four pixels at once
// as channel planes, and a run of pixels of one row, each with its own
// distance, blended by coverage.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/pixel_ops.h"
#include "engine/simd_level.h"
#include "engine/types.h"

namespace ormel {

// Longest run handled at once; callers keep their distance buffers this size.
constexpr int32_t kCoverageRun = 64;

// Asks for the pixels [lo, hi] of row y to be cached, ahead of their use.
inline void prefetchRow(const Image& image, int32_t y, int32_t lo, int32_t hi) {
    const Pixel* row = image.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(image.width);
    for (int32_t x = lo; x <= hi; x += 4) __builtin_prefetch(row + x, 1);
    __builtin_prefetch(row + hi, 1);
}

// Rows between a row's prefetch and its use.
constexpr int32_t kRowsAhead = 4;

// Asks for the pixels [lo, hi] of a row a few rows further down to be
// cached: marks are drawn row by row, and a frame is far larger than the
// caches, so each new row would otherwise start with a wait on memory.
inline void prefetchRowAhead(const Image& image, int32_t y, int32_t lo, int32_t hi) {
    if (y + kRowsAhead >= image.height || lo > hi) return;
    prefetchRow(image, y + kRowsAhead, lo, hi);
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

#if defined(__SSE2__)
// Four neighbouring pixels held as channel planes, so that each step of a
// blend serves four pixels at once. Every operation below is the scalar one of
// blendInPlace applied lane by lane, in the same order, so the bits are the
// same; the transposes only move bits.
struct PixelQuad {
    __m128 r, g, b, a;
};

inline PixelQuad loadQuad(const Pixel* p) {
    const float* f = reinterpret_cast<const float*>(p);
    PixelQuad q{_mm_loadu_ps(f), _mm_loadu_ps(f + 4), _mm_loadu_ps(f + 8), _mm_loadu_ps(f + 12)};
    _MM_TRANSPOSE4_PS(q.r, q.g, q.b, q.a);
    return q;
}

inline void storeQuad(Pixel* p, PixelQuad q) {
    _MM_TRANSPOSE4_PS(q.r, q.g, q.b, q.a);
    float* f = reinterpret_cast<float*>(p);
    _mm_storeu_ps(f, q.r);
    _mm_storeu_ps(f + 4, q.g);
    _mm_storeu_ps(f + 8, q.b);
    _mm_storeu_ps(f + 12, q.a);
}

// fresh where take is set, old elsewhere, bit for bit.
inline __m128 selectLanes(__m128 take, __m128 fresh, __m128 old) {
    return _mm_or_ps(_mm_and_ps(take, fresh), _mm_andnot_ps(take, old));
}

// The colour of a quad blend: its channels, and its alpha folded into the opacity.
struct QuadColour {
    __m128 r, g, b, alpha;
};

inline QuadColour quadColour(Pixel colour) {
    return {_mm_set1_ps(colour.r), _mm_set1_ps(colour.g), _mm_set1_ps(colour.b),
            _mm_set1_ps(colour.a)};
}

// For four distances d: coverage = min(edge - d, 1); where it is above 0 (and
// `allowed` is set) the pixel is over-blended toward colour by
// clamp01(coverage * opacity * colour.a), otherwise left as it is. minps and
// maxps return their second operand unless their comparison holds, which is
// exactly std::min(x, 1) with the operands swapped and clamp01's two steps,
// NaN included.
inline void blendQuadCoverage(PixelQuad& q, __m128 d, __m128 allowed, float edge, float opacity,
                              const QuadColour& colour) {
    const __m128 one = _mm_set1_ps(1.0f);
    const __m128 zero = _mm_setzero_ps();
    const __m128 coverage = _mm_min_ps(one, _mm_sub_ps(_mm_set1_ps(edge), d));
    const __m128 take = _mm_and_ps(allowed, _mm_cmpgt_ps(coverage, zero));
    if (_mm_movemask_ps(take) == 0) return;
    const __m128 raw = _mm_mul_ps(_mm_mul_ps(coverage, _mm_set1_ps(opacity)), colour.alpha);
    const __m128 amount = _mm_max_ps(_mm_min_ps(raw, one), zero);
    const __m128 keep = _mm_sub_ps(one, amount);
    q.r = selectLanes(take, _mm_add_ps(_mm_mul_ps(q.r, keep), _mm_mul_ps(colour.r, amount)), q.r);
    q.g = selectLanes(take, _mm_add_ps(_mm_mul_ps(q.g, keep), _mm_mul_ps(colour.g, amount)), q.g);
    q.b = selectLanes(take, _mm_add_ps(_mm_mul_ps(q.b, keep), _mm_mul_ps(colour.b, amount)), q.b);
    // Alpha blends toward 1, and 1 * amount is amount itself.
    const __m128 alpha = _mm_add_ps(_mm_mul_ps(q.a, keep), amount);
    q.a = selectLanes(take, _mm_max_ps(_mm_min_ps(alpha, one), zero), q.a);
}

// Pixels [x, x + count) of a row as a quad, count 1 to 4: a short quad is
// copied through a zeroed buffer so nothing past the row is read or written.
struct QuadSlot {
    Pixel* target;
    int32_t count;
    Pixel spare[4];

    QuadSlot(Pixel* row, int32_t x, int32_t n) : target(row + x), count(n), spare{} {}
    PixelQuad load() {
        if (count == 4) return loadQuad(target);
        std::memcpy(static_cast<void*>(spare), target, sizeof(Pixel) * static_cast<size_t>(count));
        return loadQuad(spare);
    }
    void store(PixelQuad q) {
        if (count == 4) {
            storeQuad(target, q);
            return;
        }
        storeQuad(spare, q);
        std::memcpy(static_cast<void*>(target), spare, sizeof(Pixel) * static_cast<size_t>(count));
    }
};
#endif

// For each pixel i: coverage = min(edge - d[i], 1); where it is above 0 the
// pixel is over-blended toward colour by clamp01(coverage * opacity *
// colour.a), otherwise left exactly as it is.
inline void blendCoverageRun(Pixel* dst, const float* d, int32_t count, float edge, float opacity,
                             Pixel colour) {
    int32_t i = 0;
#if defined(__SSE2__)
    if (simdAtLeast(SimdLevel::sse2)) {
        const QuadColour quad = quadColour(colour);
        const __m128 all = _mm_castsi128_ps(_mm_set1_epi32(-1));
        for (; i + 4 <= count; i += 4) {
            PixelQuad q = loadQuad(dst + i);
            blendQuadCoverage(q, _mm_loadu_ps(d + i), all, edge, opacity, quad);
            storeQuad(dst + i, q);
        }
    }
#endif
    const PixelLanes lanes = blendLanes(colour);
    for (; i < count; ++i) {
        const float coverage = std::min(edge - d[i], 1.0f);
        if (!(coverage > 0.0f)) continue;
        blendInPlace(dst[i], lanes, clamp01(coverage * opacity * colour.a));
    }
}

}  // namespace ormel
