#include "media/unit_samples.h"


#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define VARNOK_UNIT_SSE2 1
#endif

namespace varnok {

#ifdef VARNOK_UNIT_SSE2
namespace {

// Four samples to four int32 with the plain path's exact arithmetic: max
// first with NaN as its first operand, so NaN becomes 0; the float product;
// then the half added in double and truncated.
inline __m128i roundFour(__m128 v, __m128 scale) {
    const __m128 u = _mm_min_ps(_mm_max_ps(v, _mm_setzero_ps()), _mm_set1_ps(1.0f));
    const __m128 p = _mm_mul_ps(u, scale);
    const __m128d half = _mm_set1_pd(0.5);
    const __m128i lo = _mm_cvttpd_epi32(_mm_add_pd(_mm_cvtps_pd(p), half));
    const __m128i hi = _mm_cvttpd_epi32(_mm_add_pd(_mm_cvtps_pd(_mm_movehl_ps(p, p)), half));
    return _mm_unpacklo_epi64(lo, hi);
}

}  // namespace
#endif

void packUnit16(const float* in, size_t samples, uint16_t* out) {
    size_t i = 0;
#ifdef VARNOK_UNIT_SSE2
    const __m128 scale = _mm_set1_ps(65535.0f);
    // 0..65535 does not fit the signed pack: shift to -32768..32767 and back.
    const __m128i bias32 = _mm_set1_epi32(32768);
    const __m128i bias16 = _mm_set1_epi16(static_cast<short>(0x8000));
    for (; i + 8 <= samples; i += 8) {
        const __m128i a = _mm_sub_epi32(roundFour(_mm_loadu_ps(in + i), scale), bias32);
        const __m128i b = _mm_sub_epi32(roundFour(_mm_loadu_ps(in + i + 4), scale), bias32);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_xor_si128(_mm_packs_epi32(a, b), bias16));
    }
#endif
    for (; i < samples; ++i) out[i] = static_cast<uint16_t>(roundUnitSample(in[i], 65535.0f));
}

void packBgra8(const float* rgba, size_t pixels, uint8_t* out) {
    for (size_t i = 0; i < pixels; ++i, rgba += 4, out += 4) {
        out[0] = static_cast<uint8_t>(roundUnitSample(rgba[2], 255.0f));
        out[1] = static_cast<uint8_t>(roundUnitSample(rgba[1], 255.0f));
        out[2] = static_cast<uint8_t>(roundUnitSample(rgba[0], 255.0f));
        out[3] = static_cast<uint8_t>(roundUnitSample(rgba[3], 255.0f));
    }
}

}  // namespace varnok
