#include "treatments/ascii_blend.h"

#include "engine/pixel_ops.h"
#include "engine/simd_level.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__)) && defined(__SSE2__)
#include <immintrin.h>
#define VARNOK_ASCII_X86 1
#endif

namespace ormel {
namespace {

#if defined(VARNOK_ASCII_X86)
// blendOver's own operations lane by lane: colour out * keep + layer * a,
// alpha clamp01(out * keep + a) (min then max give clamp01's results for
// NaN and for -0). The layer holds only finite values, so no addition here
// meets two NaNs and the operand order cannot show.
void blendSse2(Pixel* out, const Pixel* layer, size_t count, float a) {
    float* o = reinterpret_cast<float*>(out);
    const float* l = reinterpret_cast<const float*>(layer);
    const __m128 keep = _mm_set1_ps(1.0f - a);
    const __m128 amount = _mm_set1_ps(a);
    const __m128 alpha = _mm_castsi128_ps(_mm_setr_epi32(0, 0, 0, -1));
    for (size_t i = 0; i < count; ++i) {
        const __m128 kept = _mm_mul_ps(_mm_loadu_ps(o + 4 * i), keep);
        const __m128 colour = _mm_add_ps(kept, _mm_mul_ps(_mm_loadu_ps(l + 4 * i), amount));
        const __m128 cover = _mm_max_ps(_mm_min_ps(_mm_add_ps(kept, amount), _mm_set1_ps(1.0f)), _mm_setzero_ps());
        _mm_storeu_ps(o + 4 * i, _mm_or_ps(_mm_andnot_ps(alpha, colour), _mm_and_ps(alpha, cover)));
    }
}

__attribute__((target("avx2"))) void blendAvx2(Pixel* out, const Pixel* layer, size_t count, float a) {
    float* o = reinterpret_cast<float*>(out);
    const float* l = reinterpret_cast<const float*>(layer);
    const __m256 keep = _mm256_set1_ps(1.0f - a);
    const __m256 amount = _mm256_set1_ps(a);
    size_t i = 0;
    for (; i + 2 <= count; i += 2) {
        const __m256 kept = _mm256_mul_ps(_mm256_loadu_ps(o + 4 * i), keep);
        const __m256 colour = _mm256_add_ps(kept, _mm256_mul_ps(_mm256_loadu_ps(l + 4 * i), amount));
        const __m256 cover =
            _mm256_max_ps(_mm256_min_ps(_mm256_add_ps(kept, amount), _mm256_set1_ps(1.0f)), _mm256_setzero_ps());
        _mm256_storeu_ps(o + 4 * i, _mm256_blend_ps(colour, cover, 0x88));
    }
    if (i < count) out[i] = blendOver(out[i], layer[i], a);
}
#endif

}  // namespace

void blendLayerOver(Pixel* out, const Pixel* layer, size_t count, float a) {
#if defined(VARNOK_ASCII_X86)
    if (simdAtLeast(SimdLevel::avx2)) return blendAvx2(out, layer, count, a);
    if (simdAtLeast(SimdLevel::sse2)) return blendSse2(out, layer, count, a);
#endif
    for (size_t i = 0; i < count; ++i) out[i] = blendOver(out[i], layer[i], a);
}

}  // namespace ormel
