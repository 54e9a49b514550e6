#include "treatments/pixel_sort_soften.h"

#include "engine/simd_level.h"
#include "treatments/pixel_sort_common.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#define VARNOK_SOFTEN_SSE2 1
#endif

namespace ormel {

void softenPixels(const Pixel* pixels, const Pixel* blurred, Pixel* out, size_t count, float t) {
    const float keep = 1.0f - t;
#if defined(VARNOK_SOFTEN_SSE2)
    // A pixel's channels as one vector. Where both products are NaN the sum
    // would keep whichever the compiler put first, so the pixel's share is
    // chosen explicitly, as the order has always had it.
    if (simdAtLeast(SimdLevel::sse2)) {
        const __m128 keepV = _mm_set1_ps(keep), towardV = _mm_set1_ps(t);
        for (size_t i = 0; i < count; ++i) {
            const __m128 own = _mm_mul_ps(_mm_loadu_ps(&pixels[i].r), keepV);
            const __m128 other = _mm_mul_ps(_mm_loadu_ps(&blurred[i].r), towardV);
            const __m128 bothNaN = _mm_and_ps(_mm_cmpunord_ps(own, own), _mm_cmpunord_ps(other, other));
            const __m128 sum = _mm_add_ps(own, other);
            _mm_storeu_ps(&out[i].r, _mm_or_ps(_mm_andnot_ps(bothNaN, sum), _mm_and_ps(bothNaN, own)));
        }
        return;
    }
#endif
    for (size_t i = 0; i < count; ++i) {
        const Pixel& p = pixels[i];
        const Pixel& b = blurred[i];
        out[i] = Pixel{sumKeepingFirst(p.r * keep, b.r * t), sumKeepingFirst(p.g * keep, b.g * t),
                       sumKeepingFirst(p.b * keep, b.b * t), sumKeepingFirst(p.a * keep, b.a * t)};
    }
}

}  // namespace ormel
