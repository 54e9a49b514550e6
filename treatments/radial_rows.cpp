#include "treatments/radial_rows.h"

#include <cstddef>

#include "engine/simd_asm.h"
#include "engine/simd_level.h"

#if defined(ORMEL_SIMD_ASM)
#define VARNOK_RADIAL_X86 1
#endif

namespace ormel {
namespace radial {
namespace {

#if defined(VARNOK_RADIAL_X86)
// One pixel: p + (q - p) * t, the product first.
inline __m128 lerpPixel(__m128 p, __m128 q, float t) {
    return addInOrder(_mm_mul_ps(_mm_sub_ps(q, p), _mm_set1_ps(t)), p);
}

void mixColumnsSse2(const float* row, const int32_t* x0, const float* fx, int32_t count, float* out) {
    for (int32_t i = 0; i < count; ++i) {
        const float* p = row + static_cast<size_t>(x0[i]) * 4;
        _mm_storeu_ps(out + static_cast<size_t>(i) * 4, lerpPixel(_mm_loadu_ps(p), _mm_loadu_ps(p + 4), fx[i]));
    }
}

// The sum first, each pixel's channels in two vectors of doubles.
void meanOfSamplesSse2(const float* const* top, const float* const* bottom, const float* fy, int32_t samples,
                       int32_t count, float* out) {
    const __m128d n = _mm_set1_pd(static_cast<double>(samples));
    for (int32_t i = 0; i < count; ++i) {
        const size_t at = static_cast<size_t>(i) * 4;
        __m128d low = _mm_setzero_pd(), high = _mm_setzero_pd();
        for (int32_t k = 0; k < samples; ++k) {
            const __m128 s = lerpPixel(_mm_loadu_ps(top[k] + at), _mm_loadu_ps(bottom[k] + at), fy[k]);
            low = addInOrder(low, _mm_cvtps_pd(s));
            high = addInOrder(high, _mm_cvtps_pd(_mm_movehl_ps(s, s)));
        }
        _mm_storeu_ps(out + at, _mm_movelh_ps(_mm_cvtpd_ps(_mm_div_pd(low, n)), _mm_cvtpd_ps(_mm_div_pd(high, n))));
    }
}

// One pixel of a column whose upper mix adds its base first; the sum first.
void meanWithUpperBaseFirstSse2(const float* const* upper, const float* fx, const float* const* lower,
                                const float* fy, int32_t samples, float* out) {
    const __m128d n = _mm_set1_pd(static_cast<double>(samples));
    __m128d low = _mm_setzero_pd(), high = _mm_setzero_pd();
    for (int32_t k = 0; k < samples; ++k) {
        const __m128 p = _mm_loadu_ps(upper[k]);
        const __m128 top = addInOrder(p, _mm_mul_ps(_mm_sub_ps(_mm_loadu_ps(upper[k] + 4), p), _mm_set1_ps(fx[k])));
        const __m128 s = lerpPixel(top, _mm_loadu_ps(lower[k]), fy[k]);
        low = addInOrder(low, _mm_cvtps_pd(s));
        high = addInOrder(high, _mm_cvtps_pd(_mm_movehl_ps(s, s)));
    }
    _mm_storeu_ps(out, _mm_movelh_ps(_mm_cvtpd_ps(_mm_div_pd(low, n)), _mm_cvtpd_ps(_mm_div_pd(high, n))));
}

#define VARNOK_AVX2 __attribute__((target("avx2"), always_inline)) inline

VARNOK_AVX2 __m128 lerpPixelVex(__m128 p, __m128 q, __m128 t) {
    return addInOrderVex(_mm_mul_ps(_mm_sub_ps(q, p), t), p);
}

// Pixels i and i + 1: the pair (p, q) of each is one 32-byte load, as q
// follows p in memory; the two loads are regrouped into a p and a q vector.
VARNOK_AVX2 void mixPairAvx2(const float* row, const int32_t* x0, int32_t i, __m256 t, float* out) {
    const __m256 a = _mm256_loadu_ps(row + static_cast<size_t>(x0[i]) * 4);
    const __m256 b = _mm256_loadu_ps(row + static_cast<size_t>(x0[i + 1]) * 4);
    const __m256 p = _mm256_permute2f128_ps(a, b, 0x20);
    const __m256 q = _mm256_permute2f128_ps(a, b, 0x31);
    _mm256_storeu_ps(out + static_cast<size_t>(i) * 4, addInOrderVex(_mm256_mul_ps(_mm256_sub_ps(q, p), t), p));
}

__attribute__((target("avx2"))) void mixColumnsAvx2(const float* row, const int32_t* x0, const float* fx,
                                                    int32_t count, float* out) {
    const __m256i pick0 = _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1);
    const __m256i pick1 = _mm256_setr_epi32(2, 2, 2, 2, 3, 3, 3, 3);
    const __m256i pick2 = _mm256_setr_epi32(4, 4, 4, 4, 5, 5, 5, 5);
    const __m256i pick3 = _mm256_setr_epi32(6, 6, 6, 6, 7, 7, 7, 7);
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256 t = _mm256_loadu_ps(fx + i);
        mixPairAvx2(row, x0, i, _mm256_permutevar8x32_ps(t, pick0), out);
        mixPairAvx2(row, x0, i + 2, _mm256_permutevar8x32_ps(t, pick1), out);
        mixPairAvx2(row, x0, i + 4, _mm256_permutevar8x32_ps(t, pick2), out);
        mixPairAvx2(row, x0, i + 6, _mm256_permutevar8x32_ps(t, pick3), out);
    }
    for (; i < count; ++i) {
        const float* p = row + static_cast<size_t>(x0[i]) * 4;
        _mm_storeu_ps(out + static_cast<size_t>(i) * 4,
                      lerpPixelVex(_mm_loadu_ps(p), _mm_loadu_ps(p + 4), _mm_set1_ps(fx[i])));
    }
}

template <bool sampleFirst>
VARNOK_AVX2 __m256d addToSum(__m256d sum, __m256d v) {
    return sampleFirst ? addInOrderVex(v, sum) : addInOrderVex(sum, v);
}

// Four pixels, two to a vector, each pixel's four sums in one vector of
// doubles; sampleFirst picks the order of the running sums.
template <bool sampleFirst>
VARNOK_AVX2 void meanOfFourAvx2(const float* const* top, const float* const* bottom, const float* fy,
                                int32_t samples, size_t at, float* out) {
    __m256d s0 = _mm256_setzero_pd(), s1 = _mm256_setzero_pd();
    __m256d s2 = _mm256_setzero_pd(), s3 = _mm256_setzero_pd();
    for (int32_t k = 0; k < samples; ++k) {
        const __m256 f = _mm256_set1_ps(fy[k]);
        const __m256 t0 = _mm256_loadu_ps(top[k] + at);
        const __m256 b0 = _mm256_loadu_ps(bottom[k] + at);
        const __m256 t1 = _mm256_loadu_ps(top[k] + at + 8);
        const __m256 b1 = _mm256_loadu_ps(bottom[k] + at + 8);
        const __m256 v0 = addInOrderVex(_mm256_mul_ps(_mm256_sub_ps(b0, t0), f), t0);
        const __m256 v1 = addInOrderVex(_mm256_mul_ps(_mm256_sub_ps(b1, t1), f), t1);
        s0 = addToSum<sampleFirst>(s0, _mm256_cvtps_pd(_mm256_castps256_ps128(v0)));
        s1 = addToSum<sampleFirst>(s1, _mm256_cvtps_pd(_mm256_extractf128_ps(v0, 1)));
        s2 = addToSum<sampleFirst>(s2, _mm256_cvtps_pd(_mm256_castps256_ps128(v1)));
        s3 = addToSum<sampleFirst>(s3, _mm256_cvtps_pd(_mm256_extractf128_ps(v1, 1)));
    }
    const __m256d n = _mm256_set1_pd(static_cast<double>(samples));
    _mm_storeu_ps(out + at, _mm256_cvtpd_ps(_mm256_div_pd(s0, n)));
    _mm_storeu_ps(out + at + 4, _mm256_cvtpd_ps(_mm256_div_pd(s1, n)));
    _mm_storeu_ps(out + at + 8, _mm256_cvtpd_ps(_mm256_div_pd(s2, n)));
    _mm_storeu_ps(out + at + 12, _mm256_cvtpd_ps(_mm256_div_pd(s3, n)));
}

__attribute__((target("avx2"))) void meanOfSamplesAvx2(const float* const* top, const float* const* bottom,
                                                       const float* fy, int32_t samples, int32_t x,
                                                       int32_t count, int32_t width, float* out) {
    const int32_t eights = width & ~7;
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const size_t at = static_cast<size_t>(i) * 4;
        if (x + i < eights && ((x + i) & 4) == 0) {
            meanOfFourAvx2<true>(top, bottom, fy, samples, at, out);
        } else {
            meanOfFourAvx2<false>(top, bottom, fy, samples, at, out);
        }
    }
    const __m128d n = _mm_set1_pd(static_cast<double>(samples));
    for (; i < count; ++i) {
        const size_t at = static_cast<size_t>(i) * 4;
        __m128d low = _mm_setzero_pd(), high = _mm_setzero_pd();
        for (int32_t k = 0; k < samples; ++k) {
            const __m128 s =
                lerpPixelVex(_mm_loadu_ps(top[k] + at), _mm_loadu_ps(bottom[k] + at), _mm_set1_ps(fy[k]));
            low = addInOrderVex(low, _mm_cvtps_pd(s));
            high = addInOrderVex(high, _mm_cvtps_pd(_mm_movehl_ps(s, s)));
        }
        _mm_storeu_ps(out + at, _mm_movelh_ps(_mm_cvtpd_ps(_mm_div_pd(low, n)), _mm_cvtpd_ps(_mm_div_pd(high, n))));
    }
}

#if defined(ORMEL_SIMD_ASM_512)
#define VARNOK_RADIAL_AVX512 1
#define VARNOK_AVX512 __attribute__((target("avx512f"), always_inline)) inline

// The lower (0) or upper (1) eight floats.
template <int which>
VARNOK_AVX512 __m256 half512(__m512 v) {
    return _mm256_castpd_ps(_mm512_maskz_extractf64x4_pd(0xf, _mm512_castps_pd(v), which));
}

template <bool sampleFirst>
VARNOK_AVX512 __m512d addToSum512(__m512d sum, __m512d v) {
    return sampleFirst ? addInOrder512(v, sum) : addInOrder512(sum, v);
}

// Eight pixels, four to a vector, each pair of pixels' sums in one vector of
// doubles; the first four take the order firstA, the others firstB. (The
// all-lanes masked conversions are the plain ones; their unmasked spellings
// trip a false uninitialised-value warning in GCC 12's headers.)
template <bool firstA, bool firstB>
VARNOK_AVX512 void meanOfEightAvx512(const float* const* top, const float* const* bottom, const float* fy,
                                     int32_t samples, size_t at, float* out) {
    __m512d s0 = _mm512_setzero_pd(), s1 = _mm512_setzero_pd();
    __m512d s2 = _mm512_setzero_pd(), s3 = _mm512_setzero_pd();
    for (int32_t k = 0; k < samples; ++k) {
        const __m512 f = _mm512_set1_ps(fy[k]);
        const __m512 t0 = _mm512_loadu_ps(top[k] + at);
        const __m512 b0 = _mm512_loadu_ps(bottom[k] + at);
        const __m512 t1 = _mm512_loadu_ps(top[k] + at + 16);
        const __m512 b1 = _mm512_loadu_ps(bottom[k] + at + 16);
        const __m512 v0 = addInOrder512(_mm512_mul_ps(_mm512_sub_ps(b0, t0), f), t0);
        const __m512 v1 = addInOrder512(_mm512_mul_ps(_mm512_sub_ps(b1, t1), f), t1);
        s0 = addToSum512<firstA>(s0, _mm512_maskz_cvtps_pd(0xff, half512<0>(v0)));
        s1 = addToSum512<firstA>(s1, _mm512_maskz_cvtps_pd(0xff, half512<1>(v0)));
        s2 = addToSum512<firstB>(s2, _mm512_maskz_cvtps_pd(0xff, half512<0>(v1)));
        s3 = addToSum512<firstB>(s3, _mm512_maskz_cvtps_pd(0xff, half512<1>(v1)));
    }
    const __m512d n = _mm512_set1_pd(static_cast<double>(samples));
    _mm256_storeu_ps(out + at, _mm512_maskz_cvtpd_ps(0xff, _mm512_div_pd(s0, n)));
    _mm256_storeu_ps(out + at + 8, _mm512_maskz_cvtpd_ps(0xff, _mm512_div_pd(s1, n)));
    _mm256_storeu_ps(out + at + 16, _mm512_maskz_cvtpd_ps(0xff, _mm512_div_pd(s2, n)));
    _mm256_storeu_ps(out + at + 24, _mm512_maskz_cvtpd_ps(0xff, _mm512_div_pd(s3, n)));
}

__attribute__((target("avx512f"))) void meanOfSamplesAvx512(const float* const* top, const float* const* bottom,
                                                            const float* fy, int32_t samples, int32_t x,
                                                            int32_t count, int32_t width, float* out) {
    const int32_t eights = width & ~7;
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const size_t at = static_cast<size_t>(i) * 4;
        if (x + i < eights) {
            meanOfEightAvx512<true, false>(top, bottom, fy, samples, at, out);
        } else {
            meanOfEightAvx512<false, false>(top, bottom, fy, samples, at, out);
        }
    }
    if (i == count) return;
    const float* restTop[12];
    const float* restBottom[12];
    for (int32_t k = 0; k < samples; ++k) {
        restTop[k] = top[k] + static_cast<size_t>(i) * 4;
        restBottom[k] = bottom[k] + static_cast<size_t>(i) * 4;
    }
    meanOfSamplesAvx2(restTop, restBottom, fy, samples, x + i, count - i, width, out + static_cast<size_t>(i) * 4);
}
#endif
#endif

// bilinearSample's lerp, a + (b - a) * t, channel by channel.
void mixColumnsPlain(const float* row, const int32_t* x0, const float* fx, int32_t count, float* out) {
    for (int32_t i = 0; i < count; ++i) {
        const float* p = row + static_cast<size_t>(x0[i]) * 4;
        const float t = fx[i];
        float* o = out + static_cast<size_t>(i) * 4;
        for (int c = 0; c < 4; ++c) o[c] = p[c] + (p[4 + c] - p[c]) * t;
    }
}

// The running sums start at +0 and take each sample as double.
void meanOfSamplesPlain(const float* const* top, const float* const* bottom, const float* fy, int32_t samples,
                        int32_t count, float* out) {
    const double n = static_cast<double>(samples);
    for (int32_t i = 0; i < count; ++i) {
        const size_t at = static_cast<size_t>(i) * 4;
        double sum[4] = {0.0, 0.0, 0.0, 0.0};
        for (int32_t k = 0; k < samples; ++k) {
            const float* t = top[k] + at;
            const float* b = bottom[k] + at;
            for (int c = 0; c < 4; ++c) sum[c] += static_cast<double>(t[c] + (b[c] - t[c]) * fy[k]);
        }
        for (int c = 0; c < 4; ++c) out[at + c] = static_cast<float>(sum[c] / n);
    }
}

}  // namespace

void mixColumns(const float* row, const int32_t* x0, const float* fx, int32_t count, float* out) {
#if defined(VARNOK_RADIAL_X86)
    if (simdAtLeast(SimdLevel::avx2)) return mixColumnsAvx2(row, x0, fx, count, out);
    if (simdAtLeast(SimdLevel::sse2)) return mixColumnsSse2(row, x0, fx, count, out);
#endif
    mixColumnsPlain(row, x0, fx, count, out);
}

void meanOfSamples(const float* const* top, const float* const* bottom, const float* fy, int32_t samples,
                   int32_t x, int32_t count, int32_t width, float* out) {
#if defined(VARNOK_RADIAL_AVX512)
    if (simdAtLeast(SimdLevel::avx512)) return meanOfSamplesAvx512(top, bottom, fy, samples, x, count, width, out);
#endif
#if defined(VARNOK_RADIAL_X86)
    if (simdAtLeast(SimdLevel::avx2)) return meanOfSamplesAvx2(top, bottom, fy, samples, x, count, width, out);
    if (simdAtLeast(SimdLevel::sse2)) return meanOfSamplesSse2(top, bottom, fy, samples, count, out);
#endif
    (void)x;
    (void)width;
    meanOfSamplesPlain(top, bottom, fy, samples, count, out);
}

ColumnSet upperBaseFirst(int32_t width) {
    ColumnSet set;
#if defined(VARNOK_RADIAL_X86)
    if (simdAtLeast(SimdLevel::avx2)) {
        // The last pixel of the one group of four after the groups of eight.
        const int32_t eights = width & ~7;
        if (width - eights >= 4) set = ColumnSet{eights + 3, 1, eights + 4};
    } else if (simdAtLeast(SimdLevel::sse2)) {
        // The last pixel of every group of four.
        set = ColumnSet{3, 4, width & ~3};
    }
#endif
    (void)width;
    return set;
}

void meanWithUpperBaseFirst(const float* const* upper, const float* fx, const float* const* lower, const float* fy,
                            int32_t samples, float* out) {
#if defined(VARNOK_RADIAL_X86)
    meanWithUpperBaseFirstSse2(upper, fx, lower, fy, samples, out);
#else
    (void)upper;
    (void)fx;
    (void)lower;
    (void)fy;
    (void)samples;
    (void)out;
#endif
}

}  // namespace radial
}  // namespace ormel
