#include "treatments/pixel_sort_glow.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "engine/pixel_ops.h"
#include "engine/simd_level.h"
#include "treatments/pixel_sort_common.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#define VARNOK_GLOW_SSE2 1
#endif

namespace ormel {
namespace {

// One pixel, in the order the glow has always used: the colour's share first
// in each sum, which decides the payload where a NaN colour (or an infinite
// one times a zero weight) meets a NaN pixel.
void glowPixel(Pixel& p, const Pixel& q, const SortGlow& g) {
    const float v = sortActivity(q, g.scope);
    if (!(v > g.gate)) return;
    const float w = clamp01(1.8f * std::max(sortLuminance(q), v));
    const float k = clamp01(g.strength * w);
    const float stay = 1.0f - k;
    p.r = sumKeepingFirst((g.colour.r * w) * k, p.r * stay);
    p.g = sumKeepingFirst((g.colour.g * w) * k, p.g * stay);
    p.b = sumKeepingFirst((g.colour.b * w) * k, p.b * stay);
    p.a = clamp01(p.a * stay + k);
}

void glowSpan(Pixel* p, const Pixel* q, size_t count, const SortGlow& g) {
    for (size_t i = 0; i < count; ++i) glowPixel(p[i], q[i], g);
}

#if defined(VARNOK_GLOW_SSE2)
// clamp01 lane by lane: min keeps x only when it is below 1 (NaN gives 1), max
// keeps it only when above 0, as the scalar comparisons do.
inline __m128 clamp01Lanes(__m128 x) { return _mm_max_ps(_mm_min_ps(x, _mm_set1_ps(1.0f)), _mm_setzero_ps()); }

// Four pixels at a time, as channel vectors. With a finite colour the colour's
// share is finite, so no sum meets two NaNs and the order is free.
void glowSpanVectors(Pixel* p, const Pixel* q, size_t count, const SortGlow& g) {
    const __m128 gate = _mm_set1_ps(g.gate), strength = _mm_set1_ps(g.strength);
    const __m128 cr = _mm_set1_ps(g.colour.r), cg = _mm_set1_ps(g.colour.g), cb = _mm_set1_ps(g.colour.b);
    const __m128 one = _mm_set1_ps(1.0f), spread = _mm_set1_ps(1.8f);
    const __m128 wr = _mm_set1_ps(0.2126f), wg = _mm_set1_ps(0.7152f), wb = _mm_set1_ps(0.0722f);
    size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        __m128 qr = _mm_loadu_ps(&q[i].r), qg = _mm_loadu_ps(&q[i + 1].r);
        __m128 qb = _mm_loadu_ps(&q[i + 2].r), qa = _mm_loadu_ps(&q[i + 3].r);
        _MM_TRANSPOSE4_PS(qr, qg, qb, qa);
        const __m128 lum = _mm_add_ps(_mm_add_ps(_mm_mul_ps(wr, qr), _mm_mul_ps(wg, qg)), _mm_mul_ps(wb, qb));
        const __m128 v = g.scope == SortScope::OverlayOnly ? qa : lum;
        const __m128 lit = _mm_cmpgt_ps(v, gate);
        if (_mm_movemask_ps(lit) == 0) continue;
        // std::max(lum, v) keeps lum unless v is larger.
        const __m128 w = clamp01Lanes(_mm_mul_ps(spread, _mm_max_ps(v, lum)));
        const __m128 k = clamp01Lanes(_mm_mul_ps(strength, w));
        const __m128 stay = _mm_sub_ps(one, k);
        __m128 pr = _mm_loadu_ps(&p[i].r), pg = _mm_loadu_ps(&p[i + 1].r);
        __m128 pb = _mm_loadu_ps(&p[i + 2].r), pa = _mm_loadu_ps(&p[i + 3].r);
        _MM_TRANSPOSE4_PS(pr, pg, pb, pa);
        auto lerpLit = [&](__m128 old, __m128 lit_value) {
            return _mm_or_ps(_mm_and_ps(lit, lit_value), _mm_andnot_ps(lit, old));
        };
        pr = lerpLit(pr, _mm_add_ps(_mm_mul_ps(_mm_mul_ps(cr, w), k), _mm_mul_ps(pr, stay)));
        pg = lerpLit(pg, _mm_add_ps(_mm_mul_ps(_mm_mul_ps(cg, w), k), _mm_mul_ps(pg, stay)));
        pb = lerpLit(pb, _mm_add_ps(_mm_mul_ps(_mm_mul_ps(cb, w), k), _mm_mul_ps(pb, stay)));
        pa = lerpLit(pa, clamp01Lanes(_mm_add_ps(_mm_mul_ps(pa, stay), k)));
        _MM_TRANSPOSE4_PS(pr, pg, pb, pa);
        _mm_storeu_ps(&p[i].r, pr);
        _mm_storeu_ps(&p[i + 1].r, pg);
        _mm_storeu_ps(&p[i + 2].r, pb);
        _mm_storeu_ps(&p[i + 3].r, pa);
    }
    glowSpan(p + i, q + i, count - i, g);
}
#endif

}  // namespace

SortGlow sortGlow(const Settings& settings, float glow) {
    const float threshold = clamp01(settings.pixelSortThreshold);
    SortGlow g;
    g.gate = settings.pixelSortThreshold > 0.0f ? 0.5f * std::min(threshold, 1.0f) : 0.0f;
    g.strength = 0.65f * std::min(glow, 1.0f);
    g.scope = settings.pixelSortScope;
    g.colour = settings.pixelSortColor;
    g.finiteColour = std::isfinite(g.colour.r) && std::isfinite(g.colour.g) && std::isfinite(g.colour.b);
    return g;
}

void addSortGlow(Pixel* pixels, const Pixel* blurred, size_t count, const SortGlow& g) {
#if defined(VARNOK_GLOW_SSE2)
    if (g.finiteColour && simdAtLeast(SimdLevel::sse2)) {
        glowSpanVectors(pixels, blurred, count, g);
        return;
    }
#endif
    glowSpan(pixels, blurred, count, g);
}

}  // namespace ormel
