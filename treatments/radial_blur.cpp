#include "treatments/radial_blur.h"

#include <algorithm>
#include <cfloat>
#include <cstdint>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#endif

#include "engine/image_checks.h"
#include "treatments/bilinear.h"
#include "treatments/safe_convert.h"

namespace ormel {
namespace {

// The mean of the samples along the line toward the centre, one pixel at a time.
void blurPixel(const Image& copy, Image& image, int32_t x, int32_t y, float cx, float cy, const float* scales,
               int32_t samples, double count) {
    const float dx = static_cast<float>(x) - cx;
    const float dy = static_cast<float>(y) - cy;
    // Summed in double so a run of equal samples averages back to exactly their value.
    double r = 0.0, g = 0.0, b = 0.0, a = 0.0;
    for (int32_t k = 0; k < samples; ++k) {
        const Pixel s = bilinearSample(copy, cx + scales[k] * dx, cy + scales[k] * dy);
        r += s.r;
        g += s.g;
        b += s.b;
        a += s.a;
    }
    image.at(x, y) = Pixel{static_cast<float>(r / count), static_cast<float>(g / count),
                           static_cast<float>(b / count), static_cast<float>(a / count)};
}

// Where sample k of every pixel of row y reads: the two source rows and the
// vertical fraction, as bilinearSample finds them (the row's dy is shared).
struct SampleRows {
    const float* top[12];
    const float* bottom[12];
    float fy[12];
    int32_t index[24];  // the top and bottom row numbers of each sample
};

SampleRows sampleRows(const Image& copy, int32_t y, float cy, const float* scales, int32_t samples) {
    SampleRows rows;
    const float dy = static_cast<float>(y) - cy;
    const float* base = reinterpret_cast<const float*>(copy.pixels.data());
    const size_t stride = static_cast<size_t>(copy.width) * 4;
    for (int32_t k = 0; k < samples; ++k) {
        const float py = clampCoordinate(cy + scales[k] * dy, static_cast<float>(copy.height - 1));
        const int32_t y0 = static_cast<int32_t>(py);
        const int32_t y1 = y0 + 1 < copy.height ? y0 + 1 : copy.height - 1;
        float fy = py - static_cast<float>(y0);
        fy = fy < 0.0f ? 0.0f : (fy > 1.0f ? 1.0f : fy);
        rows.index[2 * k] = y0;
        rows.index[2 * k + 1] = y1;
        rows.top[k] = base + static_cast<size_t>(y0) * stride;
        rows.bottom[k] = base + static_cast<size_t>(y1) * stride;
        rows.fy[k] = fy;
    }
    return rows;
}

#if defined(__SSE2__)
// Four pixels of a row at once: the sample columns, their clamps and
// fractions for the four side by side, then each pixel's bilinear mix with
// its four channels in one vector. Every operation is bilinearSample's and
// blurPixel's own, in their order, on single floats lane by lane (and the
// sums in double), so the bits are the same.
void blurFour(const Image& copy, Image& image, int32_t x, int32_t y, float cx, const SampleRows& rows,
              const float* scales, int32_t samples, double count) {
    const __m128 zero = _mm_setzero_ps();
    const __m128 one = _mm_set1_ps(1.0f);
    const __m128 hiX = _mm_set1_ps(static_cast<float>(copy.width - 1));
    const __m128i lastX = _mm_set1_epi32(copy.width - 1);
    const __m128i oneI = _mm_set1_epi32(1);
    const __m128 centreX = _mm_set1_ps(cx);
    const __m128 dx = _mm_sub_ps(_mm_cvtepi32_ps(_mm_setr_epi32(x, x + 1, x + 2, x + 3)), centreX);

    __m128d low[4], high[4];
    for (int i = 0; i < 4; ++i) low[i] = high[i] = _mm_setzero_pd();

    for (int32_t k = 0; k < samples; ++k) {
        const __m128 sx = _mm_add_ps(centreX, _mm_mul_ps(_mm_set1_ps(scales[k]), dx));
        // clampCoordinate: not above 0 (NaN included) is 0, else min(v, hi).
        const __m128 px = _mm_and_ps(_mm_cmpgt_ps(sx, zero), _mm_min_ps(sx, hiX));
        const __m128i x0 = _mm_cvttps_epi32(px);
        const __m128i x1p = _mm_add_epi32(x0, oneI);
        const __m128i inside = _mm_cmplt_epi32(x1p, lastX);
        const __m128i x1 = _mm_or_si128(_mm_and_si128(inside, x1p), _mm_andnot_si128(inside, lastX));
        // px >= trunc(px), so the fraction is never below +0 and max/min only guard.
        const __m128 fx = _mm_min_ps(_mm_max_ps(_mm_sub_ps(px, _mm_cvtepi32_ps(x0)), zero), one);

        alignas(16) int32_t ix0[4], ix1[4];
        alignas(16) float tx[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(ix0), x0);
        _mm_store_si128(reinterpret_cast<__m128i*>(ix1), x1);
        _mm_store_ps(tx, fx);
        const float* row0 = rows.top[k];
        const float* row1 = rows.bottom[k];
        const __m128 fy = _mm_set1_ps(rows.fy[k]);
        for (int i = 0; i < 4; ++i) {
            const __m128 p00 = _mm_loadu_ps(row0 + static_cast<size_t>(ix0[i]) * 4);
            const __m128 p10 = _mm_loadu_ps(row0 + static_cast<size_t>(ix1[i]) * 4);
            const __m128 p01 = _mm_loadu_ps(row1 + static_cast<size_t>(ix0[i]) * 4);
            const __m128 p11 = _mm_loadu_ps(row1 + static_cast<size_t>(ix1[i]) * 4);
            const __m128 fxi = _mm_set1_ps(tx[i]);
            const __m128 top = _mm_add_ps(p00, _mm_mul_ps(_mm_sub_ps(p10, p00), fxi));
            const __m128 bottom = _mm_add_ps(p01, _mm_mul_ps(_mm_sub_ps(p11, p01), fxi));
            const __m128 s = _mm_add_ps(top, _mm_mul_ps(_mm_sub_ps(bottom, top), fy));
            low[i] = _mm_add_pd(low[i], _mm_cvtps_pd(s));
            high[i] = _mm_add_pd(high[i], _mm_cvtps_pd(_mm_movehl_ps(s, s)));
        }
    }
    const __m128d n = _mm_set1_pd(count);
    float* out = reinterpret_cast<float*>(&image.at(x, y));
    for (int i = 0; i < 4; ++i) {
        const __m128 rg = _mm_cvtpd_ps(_mm_div_pd(low[i], n));
        const __m128 ba = _mm_cvtpd_ps(_mm_div_pd(high[i], n));
        _mm_storeu_ps(out + 4 * i, _mm_movelh_ps(rg, ba));
    }
}
#endif

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define VARNOK_RADIAL_AVX2 1
// The same as blurFour for eight pixels, two to a 256-bit vector, with each
// pixel's four sums in one vector of doubles. Plain IEEE single and double
// operations only (no fused multiply-add), so the bits are the same again.
__attribute__((target("avx2"))) void blurEight(const Image& copy, Image& image, int32_t x, int32_t y, float cx,
                                               const SampleRows& rows, const float* scales, int32_t samples,
                                               double count) {
    const __m256 zero = _mm256_setzero_ps();
    const __m256 one = _mm256_set1_ps(1.0f);
    const __m256 hiX = _mm256_set1_ps(static_cast<float>(copy.width - 1));
    const __m256i lastX = _mm256_set1_epi32(copy.width - 1);
    const __m256i oneI = _mm256_set1_epi32(1);
    const __m256 centreX = _mm256_set1_ps(cx);
    const __m256 dx = _mm256_sub_ps(
        _mm256_cvtepi32_ps(_mm256_add_epi32(_mm256_set1_epi32(x), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7))),
        centreX);

    __m256d sum[8];
    for (int i = 0; i < 8; ++i) sum[i] = _mm256_setzero_pd();

    for (int32_t k = 0; k < samples; ++k) {
        const __m256 sx = _mm256_add_ps(centreX, _mm256_mul_ps(_mm256_set1_ps(scales[k]), dx));
        const __m256 px = _mm256_and_ps(_mm256_cmp_ps(sx, zero, _CMP_GT_OQ), _mm256_min_ps(sx, hiX));
        const __m256i x0 = _mm256_cvttps_epi32(px);
        const __m256i x1 = _mm256_min_epi32(_mm256_add_epi32(x0, oneI), lastX);
        const __m256 fx = _mm256_min_ps(_mm256_max_ps(_mm256_sub_ps(px, _mm256_cvtepi32_ps(x0)), zero), one);

        alignas(32) int32_t ix0[8], ix1[8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(ix0), x0);
        _mm256_store_si256(reinterpret_cast<__m256i*>(ix1), x1);
        const float* row0 = rows.top[k];
        const float* row1 = rows.bottom[k];
        const __m256 fy = _mm256_set1_ps(rows.fy[k]);
        for (int i = 0; i < 8; i += 2) {
            const size_t a0 = static_cast<size_t>(ix0[i]) * 4, a1 = static_cast<size_t>(ix1[i]) * 4;
            const size_t b0 = static_cast<size_t>(ix0[i + 1]) * 4, b1 = static_cast<size_t>(ix1[i + 1]) * 4;
            const __m256 p00 = _mm256_loadu2_m128(row0 + b0, row0 + a0);
            const __m256 p10 = _mm256_loadu2_m128(row0 + b1, row0 + a1);
            const __m256 p01 = _mm256_loadu2_m128(row1 + b0, row1 + a0);
            const __m256 p11 = _mm256_loadu2_m128(row1 + b1, row1 + a1);
            const __m256 fxi = _mm256_permutevar8x32_ps(fx, _mm256_setr_epi32(i, i, i, i, i + 1, i + 1, i + 1, i + 1));
            const __m256 top = _mm256_add_ps(p00, _mm256_mul_ps(_mm256_sub_ps(p10, p00), fxi));
            const __m256 bottom = _mm256_add_ps(p01, _mm256_mul_ps(_mm256_sub_ps(p11, p01), fxi));
            const __m256 s = _mm256_add_ps(top, _mm256_mul_ps(_mm256_sub_ps(bottom, top), fy));
            sum[i] = _mm256_add_pd(sum[i], _mm256_cvtps_pd(_mm256_castps256_ps128(s)));
            sum[i + 1] = _mm256_add_pd(sum[i + 1], _mm256_cvtps_pd(_mm256_extractf128_ps(s, 1)));
        }
    }
    const __m256d n = _mm256_set1_pd(count);
    float* out = reinterpret_cast<float*>(&image.at(x, y));
    for (int i = 0; i < 8; ++i) _mm_storeu_ps(out + 4 * i, _mm256_cvtpd_ps(_mm256_div_pd(sum[i], n)));
}

bool haveAvx2() {
    static const bool have = __builtin_cpu_supports("avx2");
    return have;
}
#endif

// Which 64-column chunks of each row hold any pixel that is not all zero
// bits. A pixel whose every sample reads only such zero pixels is +0 in every
// channel (each mix and sum of +0 is +0), so an overlay layer that is mostly
// clear costs little.
class ZeroChunks {
public:
    ZeroChunks(const Image& image, const RowBands& bands)
        : words_((static_cast<size_t>(image.width) + 64 * 64 - 1) / (64 * 64)),
          bits_(words_ * static_cast<size_t>(image.height), 0) {
        const size_t width = static_cast<size_t>(image.width);
        bands.forEachBand(image.height, [&](Band band) {
            for (int32_t y = band.begin; y < band.end; ++y) {
                const uint32_t* p = reinterpret_cast<const uint32_t*>(&image.pixels[static_cast<size_t>(y) * width]);
                uint64_t* row = &bits_[static_cast<size_t>(y) * words_];
                for (size_t chunk = 0; chunk * 64 < width; ++chunk) {
                    const size_t end = std::min(width, chunk * 64 + 64) * 4;
                    uint32_t any = 0;
                    for (size_t i = chunk * 256; i < end; ++i) any |= p[i];
                    if (any != 0) row[chunk / 64] |= uint64_t{1} << (chunk % 64);
                }
            }
        });
    }

    // True when columns [lo, hi] of row y hold only zero pixels.
    bool clear(int32_t y, int32_t lo, int32_t hi) const {
        const uint64_t* row = &bits_[static_cast<size_t>(y) * words_];
        for (int32_t chunk = lo / 64; chunk <= hi / 64; ++chunk) {
            if ((row[chunk / 64] >> (chunk % 64)) & 1u) return false;
        }
        return true;
    }

private:
    size_t words_;
    std::vector<uint64_t> bits_;
};

// True when every sample of the pixels [x, x + count) of the row reads only
// zero pixels. Sample columns move monotonically with x (one scale per
// sample), so the first and last pixels bound each sample's columns.
bool blockIsClear(const ZeroChunks& zeros, const Image& copy, int32_t x, int32_t count, float cx,
                  const int32_t* rowIndex, const float* scales, int32_t samples) {
    const float hi = static_cast<float>(copy.width - 1);
    auto column = [&](int32_t px, float scale) {
        return static_cast<int32_t>(clampCoordinate(cx + scale * (static_cast<float>(px) - cx), hi));
    };
    for (int32_t k = 0; k < samples; ++k) {
        const int32_t a = column(x, scales[k]);
        const int32_t b = column(x + count - 1, scales[k]);
        const int32_t lo = std::min(a, b);
        const int32_t top = std::min(std::max(a, b) + 1, copy.width - 1);
        if (!zeros.clear(rowIndex[2 * k], lo, top) || !zeros.clear(rowIndex[2 * k + 1], lo, top)) return false;
    }
    return true;
}

}  // namespace

void applyRadialBlur(Image& image, const Settings& settings, const RowBands& bands) {
    // Written as "not above" so a NaN amount skips the stage instead of running it.
    float amount = settings.radialBlur;
    if (!(amount > 0.001f) || !isUsableImage(image)) return;
    // An infinite amount would turn 0 * strength into NaN for the first sample.
    if (amount > FLT_MAX) amount = FLT_MAX;

    const Image copy = image;
    const int32_t extra = truncClamped(10.0f * amount, 0, 9, 0);
    const int32_t samples = extra + 3;
    const float strength = 0.085f * amount;
    const float cx = static_cast<float>(image.width - 1) / 2.0f;
    const float cy = static_cast<float>(image.height - 1) / 2.0f;

    float scales[12];
    for (int32_t k = 0; k < samples; ++k) {
        scales[k] = 1.0f - (static_cast<float>(k) / static_cast<float>(samples - 1)) * strength;
    }

    const double count = static_cast<double>(samples);
    const ZeroChunks zeros(copy, bands);
    bands.forEachBand(image.height, [&](Band band) {
        for (int32_t y = band.begin; y < band.end; ++y) {
            int32_t x = 0;
            const SampleRows rows = sampleRows(copy, y, cy, scales, samples);
#if defined(VARNOK_RADIAL_AVX2)
            if (haveAvx2()) {
                for (; x + 8 <= image.width; x += 8) {
                    if (blockIsClear(zeros, copy, x, 8, cx, rows.index, scales, samples)) {
                        std::fill(&image.at(x, y), &image.at(x, y) + 8, Pixel{0.0f, 0.0f, 0.0f, 0.0f});
                        continue;
                    }
                    blurEight(copy, image, x, y, cx, rows, scales, samples, count);
                }
            }
#endif
#if defined(__SSE2__)
            for (; x + 4 <= image.width; x += 4) blurFour(copy, image, x, y, cx, rows, scales, samples, count);
#endif
            for (; x < image.width; ++x) blurPixel(copy, image, x, y, cx, cy, scales, samples, count);
        }
    });
}

}  // namespace ormel
