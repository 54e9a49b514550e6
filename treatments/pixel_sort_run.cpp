#include "treatments/pixel_sort_run.h"

#include <algorithm>

#include "engine/simd_level.h"
#include "treatments/pixel_sort_common.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#define VARNOK_RUN_SSE2 1
#endif

namespace ormel {
namespace {

// The tint's strength: the largest channel, or 1.65 times the luminance if
// larger. std::max keeps its first argument unless the second is larger, so a
// NaN channel is kept or passed over by where it stands.
float brightness(const Pixel& s, float luminance) {
    return std::max(std::max(s.r, s.g), std::max(s.b, 1.65f * luminance));
}

int32_t placeOf(int32_t rank, int32_t offset, int32_t n) { return rank >= offset ? rank - offset : rank - offset + n; }

// Operand by operand in the order these streaks have always been computed in,
// which decides the payload wherever two NaNs meet.
void writeKeepingPayloads(const Pixel* run, const float* luminance, const int32_t* ranks, int32_t n, int32_t offset,
                          float mix, const RunTint& tint, Pixel* target, ptrdiff_t stride) {
    const float cm = tint.colourMix, keep = 1.0f - cm, stay = 1.0f - mix;
    for (int32_t m = 0; m < n; ++m) {
        const int32_t place = placeOf(ranks[m], offset, n);
        const Pixel& s = run[m];
        const Pixel& o = run[place];
        const float w = brightness(s, luminance[m]);
        const float tr = productKeepingFirst(tint.colour.r, w);
        const float tg = productKeepingFirst(tint.colour.g, w);
        const float tb = productKeepingFirst(w, tint.colour.b);
        // The tint carries the pixel's own alpha, kept exact.
        const Pixel c{sumKeepingFirst(tr * cm, s.r * keep), sumKeepingFirst(tg * cm, s.g * keep),
                      sumKeepingFirst(s.b * keep, tb * cm), s.a};
        target[static_cast<ptrdiff_t>(place) * stride] =
            Pixel{sumKeepingFirst(c.r * mix, o.r * stay), sumKeepingFirst(c.g * mix, o.g * stay),
                  sumKeepingFirst(c.b * mix, o.b * stay), sumKeepingFirst(c.a * mix, o.a * stay)};
    }
}

#if defined(VARNOK_RUN_SSE2)
// Without NaN inputs the only NaNs are the ones arithmetic makes (inf * 0,
// inf - inf), all the same pattern, so any operand order gives the same bits:
// a pixel's four channels go through as one vector.
void writeAsVectors(const Pixel* run, const float* luminance, const int32_t* ranks, int32_t n, int32_t offset,
                    float mix, const RunTint& tint, Pixel* target, ptrdiff_t stride) {
    const float cm = tint.colourMix;
    const __m128 colour = _mm_setr_ps(tint.colour.r, tint.colour.g, tint.colour.b, 0.0f);
    const __m128 towardTint = _mm_set1_ps(cm), keep = _mm_set1_ps(1.0f - cm);
    const __m128 towardStreak = _mm_set1_ps(mix), stay = _mm_set1_ps(1.0f - mix);
    const __m128 colourLanes = _mm_castsi128_ps(_mm_setr_epi32(-1, -1, -1, 0));
    for (int32_t m = 0; m < n; ++m) {
        const int32_t place = placeOf(ranks[m], offset, n);
        const __m128 s = _mm_loadu_ps(&run[m].r);
        const __m128 o = _mm_loadu_ps(&run[place].r);
        const __m128 tinted = _mm_mul_ps(colour, _mm_set1_ps(brightness(run[m], luminance[m])));
        __m128 c = _mm_add_ps(_mm_mul_ps(s, keep), _mm_mul_ps(tinted, towardTint));
        c = _mm_or_ps(_mm_and_ps(colourLanes, c), _mm_andnot_ps(colourLanes, s));
        _mm_storeu_ps(&target[static_cast<ptrdiff_t>(place) * stride].r,
                      _mm_add_ps(_mm_mul_ps(c, towardStreak), _mm_mul_ps(o, stay)));
    }
}
#endif

}  // namespace

void writeSortedRun(const Pixel* run, const float* luminance, const int32_t* ranks, int32_t n, int32_t offset,
                    float mix, const RunTint& tint, bool payloadsMatter, Pixel* target, ptrdiff_t stride) {
#if defined(VARNOK_RUN_SSE2)
    if (!payloadsMatter && simdAtLeast(SimdLevel::sse2)) {
        writeAsVectors(run, luminance, ranks, n, offset, mix, tint, target, stride);
        return;
    }
#else
    (void)payloadsMatter;
#endif
    writeKeepingPayloads(run, luminance, ranks, n, offset, mix, tint, target, stride);
}

}  // namespace ormel
