#include "treatments/box_blur.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/image_checks.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define VARNOK_BLUR_AVX 1
#endif

namespace ormel {
namespace {

constexpr int kMaxRadius = 24;
// Running sums are exact enough for values of this size; beyond it (or for NaN and
// infinities, which a running sum would smear along the whole line) each window is summed afresh.
constexpr float kRunningSumLimit = 65536.0f;

struct Sum4 {
    double r = 0.0, g = 0.0, b = 0.0, a = 0.0;
    void add(const Pixel& p) {
        r += p.r;
        g += p.g;
        b += p.b;
        a += p.a;
    }
    void sub(const Pixel& p) {
        r -= p.r;
        g -= p.g;
        b -= p.b;
        a -= p.a;
    }
    Pixel mean(double count) const {
        return Pixel{static_cast<float>(r / count), static_cast<float>(g / count),
                     static_cast<float>(b / count), static_cast<float>(a / count)};
    }
};

enum class RowKind { Clear, Moderate, Wild };

// One sweep over a row: all +0 (nothing to sum), every value moderate (the
// running sum is exact enough), or neither (each window summed afresh).
// Done on the bits: |v| <= limit exactly when the sign-cleared bits are at most
// the limit's, and NaN's bits lie above it, so NaN fails as with a float compare;
// integer tests without early exit let the compiler vectorise the sweep.
RowKind rowKind(const Pixel* row, int w) {
    constexpr uint32_t kLimitBits = 0x47800000u;  // 65536.0f
    static_assert(kRunningSumLimit == 65536.0f, "kLimitBits mirrors kRunningSumLimit");
    const uint32_t* bits = reinterpret_cast<const uint32_t*>(row);
    const size_t n = static_cast<size_t>(w) * 4;
    uint32_t any = 0;
    uint32_t wild = 0;
    for (size_t i = 0; i < n; ++i) {
        any |= bits[i];
        wild |= static_cast<uint32_t>((bits[i] & 0x7fffffffu) > kLimitBits);
    }
    if (any == 0) return RowKind::Clear;
    return wild == 0 ? RowKind::Moderate : RowKind::Wild;
}

int clampIndex(int i, int n) { return i < 0 ? 0 : (i >= n ? n - 1 : i); }

// O(1) per pixel: a window sum slid along the row.
void runningRowPlain(const Pixel* row, Pixel* out, int w, int r) {
    const double count = 2.0 * r + 1.0;
    Sum4 sum;
    for (int k = -r; k <= r; ++k) sum.add(row[clampIndex(k, w)]);
    for (int x = 0; x < w; ++x) {
        out[x] = sum.mean(count);
        sum.add(row[clampIndex(x + r + 1, w)]);
        sum.sub(row[clampIndex(x - r, w)]);
    }
}

#if defined(VARNOK_BLUR_AVX)
// A pixel's four sums as one vector of doubles: the same additions,
// subtractions and divisions on each channel in the same order, so the same
// bits, with a division for four channels at once.
__attribute__((target("avx"))) inline __m256d widen(const Pixel& p) {
    return _mm256_cvtps_pd(_mm_loadu_ps(&p.r));
}

// A sum of all +0 (what a clear stretch of an overlay layer leaves) has the
// mean +0, so the division is skipped there.
__attribute__((target("avx"))) inline void storeMean(Pixel& p, __m256d sum, __m256d count) {
    const __m256i bits = _mm256_castpd_si256(sum);
    if (_mm256_testz_si256(bits, bits)) {
        _mm_storeu_ps(&p.r, _mm_setzero_ps());
        return;
    }
    _mm_storeu_ps(&p.r, _mm256_cvtpd_ps(_mm256_div_pd(sum, count)));
}

__attribute__((target("avx"))) bool allZeroBitsAvx(const Pixel* p, size_t n) {
    const uint32_t* bits = reinterpret_cast<const uint32_t*>(p);
    uint32_t any = 0;
    for (size_t i = 0; i < n * 4; ++i) any |= bits[i];
    return any == 0;
}

constexpr int kStretch = 64;

// Which 64-pixel stretches of a row are all +0; empty when the row is too wide
// to track (rows up to 32768 pixels wide are tracked).
struct ClearStretches {
    uint64_t mask[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    bool tracked = false;
};

__attribute__((target("avx"))) ClearStretches clearStretchesAvx(const Pixel* row, int w) {
    ClearStretches clear;
    const int stretches = (w + kStretch - 1) / kStretch;
    clear.tracked = stretches <= 512;
    if (!clear.tracked) return clear;
    for (int c = 0; c < stretches; ++c) {
        const size_t from = static_cast<size_t>(c) * kStretch;
        if (allZeroBitsAvx(row + from, static_cast<size_t>(std::min(kStretch, w - c * kStretch))))
            clear.mask[c / 64] |= uint64_t{1} << (c % 64);
    }
    return clear;
}

// Whether the pixels at clamped positions [lo, hi] are all +0.
bool clearBetween(const ClearStretches& clear, int lo, int hi, int w) {
    if (!clear.tracked) return false;
    lo = clampIndex(lo, w);
    hi = clampIndex(hi, w);
    for (int c = lo / kStretch; c <= hi / kStretch; ++c)
        if (!((clear.mask[c / 64] >> (c % 64)) & 1u)) return false;
    return true;
}

// Rows slid side by side: each row's sum takes exactly the additions and
// subtractions it would alone, but the rows' chains overlap instead of each
// pixel waiting on the previous one's sum.
// Stretches of 64 pixels where, in every row, the sum is +0 and every pixel
// entering and leaving the window is +0 are written as +0 without stepping:
// the sums stay +0 through them, and so do the means (stepping them gives the
// same bits, so a row clear where another is not is simply stepped).
template <int N>
__attribute__((target("avx"))) void runningRowsAvx(const Pixel* const* rows, Pixel* const* outs, int w, int r) {
    ClearStretches clear[N];
    for (int i = 0; i < N; ++i) clear[i] = clearStretchesAvx(rows[i], w);
    const __m256d count = _mm256_set1_pd(2.0 * r + 1.0);
    __m256d sum[N];
    for (int i = 0; i < N; ++i) {
        sum[i] = _mm256_setzero_pd();
        for (int k = -r; k <= r; ++k) sum[i] = _mm256_add_pd(sum[i], widen(rows[i][clampIndex(k, w)]));
    }
    for (int x = 0; x < w;) {
        const int end = std::min(x + kStretch, w);
        bool skip = true;
        for (int i = 0; i < N && skip; ++i) {
            const __m256i bits = _mm256_castpd_si256(sum[i]);
            skip = _mm256_testz_si256(bits, bits) && clearBetween(clear[i], x + r + 1, end + r, w) &&
                   clearBetween(clear[i], x - r, end - 1 - r, w);
        }
        if (skip) {
            for (int i = 0; i < N; ++i) std::fill(outs[i] + x, outs[i] + end, Pixel{0.0f, 0.0f, 0.0f, 0.0f});
            x = end;
            continue;
        }
        for (; x < end; ++x) {
            const int entering = clampIndex(x + r + 1, w);
            const int leaving = clampIndex(x - r, w);
            for (int i = 0; i < N; ++i) {
                storeMean(outs[i][x], sum[i], count);
                sum[i] = _mm256_add_pd(sum[i], widen(rows[i][entering]));
                sum[i] = _mm256_sub_pd(sum[i], widen(rows[i][leaving]));
            }
        }
    }
}

__attribute__((target("avx"))) void verticalStepAvx(Pixel* out, const Pixel* in, const Pixel* leaving, Sum4* sums,
                                                    int w, double count) {
    const __m256d n = _mm256_set1_pd(count);
    for (int x = 0; x < w; ++x) {
        double* s = &sums[x].r;
        __m256d sum = _mm256_loadu_pd(s);
        storeMean(out[x], sum, n);
        sum = _mm256_add_pd(sum, widen(in[x]));
        sum = _mm256_sub_pd(sum, widen(leaving[x]));
        _mm256_storeu_pd(s, sum);
    }
}

bool haveAvx() {
    static const bool have = __builtin_cpu_supports("avx");
    return have;
}
#endif

constexpr int kRowsAtOnce = 4;

// The rows [0, n) of rows/outs, n <= kRowsAtOnce, all moderate.
void runningRows(const Pixel* const* rows, Pixel* const* outs, int n, int w, int r) {
#if defined(VARNOK_BLUR_AVX)
    if (haveAvx()) {
        static_assert(kRowsAtOnce == 4, "one case per group size");
        switch (n) {
            case 4: runningRowsAvx<4>(rows, outs, w, r); return;
            case 3: runningRowsAvx<3>(rows, outs, w, r); return;
            case 2: runningRowsAvx<2>(rows, outs, w, r); return;
            case 1: runningRowsAvx<1>(rows, outs, w, r); return;
            default: return;
        }
    }
#endif
    for (int i = 0; i < n; ++i) runningRowPlain(rows[i], outs[i], w, r);
}

void verticalStep(Pixel* out, const Pixel* in, const Pixel* leaving, Sum4* sums, int w, double count) {
#if defined(VARNOK_BLUR_AVX)
    if (haveAvx()) {
        verticalStepAvx(out, in, leaving, sums, w, count);
        return;
    }
#endif
    for (int x = 0; x < w; ++x) {
        Sum4& s = sums[x];
        out[x] = s.mean(count);
        s.add(in[x]);
        s.sub(leaving[x]);
    }
}

// Each window summed on its own: for rows holding non-finite or huge values.
void directRow(const Pixel* row, Pixel* out, int w, int r) {
    const double count = 2.0 * r + 1.0;
    for (int x = 0; x < w; ++x) {
        Sum4 sum;
        for (int k = -r; k <= r; ++k) sum.add(row[clampIndex(x + k, w)]);
        out[x] = sum.mean(count);
    }
}

// Whether pixels [0, n) are all zero bits (+0 in every channel).
bool allZeroBits(const Pixel* p, size_t n) {
    const uint32_t* bits = reinterpret_cast<const uint32_t*>(p);
    uint32_t any = 0;
    for (size_t i = 0; i < n * 4; ++i) any |= bits[i];
    return any == 0;
}

constexpr int kChunk = 64;

// O(1) per pixel: one running sum per column slid down the rows of `across`
// (the horizontal pass's result, left unchanged), so memory is read in order;
// each row's means go to the sink as soon as they are known.
// Only the columns [x0, x1) are read, so bands of columns can run side by side;
// every band slides from row 0, so the sums do not depend on the banding.
// Columns go in chunks of 64: where a chunk's sums are all +0 and the rows
// entering and leaving the window are +0 there too, its means are +0 and its
// sums stay +0, so the chunk's means are zeros without summing (a clear
// stretch of an overlay layer costs next to nothing; the bits are the same).
void verticalRunning(const Image& across, int r, int x0, int x1, const BlurSink& sink) {
    const int w = x1 - x0;
    const int h = across.height;
    const size_t rowSize = static_cast<size_t>(across.width);
    const size_t cols = static_cast<size_t>(w);
    const double count = 2.0 * r + 1.0;
    auto row = [&](int y) {
        return &across.pixels[static_cast<size_t>(clampIndex(y, h)) * rowSize + static_cast<size_t>(x0)];
    };
    const int chunks = (w + kChunk - 1) / kChunk;
    auto chunkWidth = [&](int c) { return std::min(kChunk, w - c * kChunk); };
    // Which chunks of each row are all +0, found when the row is first asked
    // about, just before its pixels are summed: they are read once, in order.
    std::vector<uint8_t> zero(static_cast<size_t>(h) * static_cast<size_t>(chunks));
    std::vector<uint8_t> known(static_cast<size_t>(h), 0);
    auto zeroAt = [&](int y, int c) {
        const size_t at = static_cast<size_t>(clampIndex(y, h));
        if (!known[at]) {
            const Pixel* p = row(y);
            for (int k = 0; k < chunks; ++k)
                zero[at * chunks + k] = allZeroBits(p + k * kChunk, static_cast<size_t>(chunkWidth(k)));
            known[at] = 1;
        }
        return zero[at * chunks + c] != 0;
    };

    std::vector<Sum4> sums(cols);
    std::vector<int> busyRows(static_cast<size_t>(chunks), 0);  // rows of the window not +0 in the chunk
    for (int k = -r; k <= r; ++k) {
        const Pixel* p = row(k);
        for (int x = 0; x < w; ++x) sums[static_cast<size_t>(x)].add(p[x]);
        for (int c = 0; c < chunks; ++c) busyRows[static_cast<size_t>(c)] += !zeroAt(k, c);
    }
    auto sumsZero = [&](int c) {
        const uint64_t* bits = reinterpret_cast<const uint64_t*>(&sums[static_cast<size_t>(c) * kChunk]);
        uint64_t any = 0;
        for (size_t i = 0; i < static_cast<size_t>(chunkWidth(c)) * 4; ++i) any |= bits[i];
        return any == 0;
    };
    std::vector<uint8_t> clear(static_cast<size_t>(chunks));
    for (int c = 0; c < chunks; ++c) clear[static_cast<size_t>(c)] = sumsZero(c);

    const std::vector<Pixel> zeros(static_cast<size_t>(kChunk), Pixel{0.0f, 0.0f, 0.0f, 0.0f});
    std::vector<Pixel> means(cols);
    for (int y = 0; y < h; ++y) {
        const Pixel* in = row(y + r + 1);
        const int leavingRow = y - r < 0 ? 0 : y - r;
        const Pixel* leaving = row(leavingRow);
        for (int c = 0; c < chunks; ++c) {
            const int from = c * kChunk;
            const int n = chunkWidth(c);
            const bool inZero = zeroAt(y + r + 1, c);
            const bool outZero = zeroAt(leavingRow, c);
            if (clear[static_cast<size_t>(c)] && inZero && outZero) {
                std::fill(&means[static_cast<size_t>(from)], &means[static_cast<size_t>(from)] + n,
                          Pixel{0.0f, 0.0f, 0.0f, 0.0f});
                continue;
            }
            verticalStep(&means[static_cast<size_t>(from)], in + from, outZero ? zeros.data() : leaving + from,
                         &sums[static_cast<size_t>(from)], n, count);
            int& busy = busyRows[static_cast<size_t>(c)];
            const bool wasBusy = busy != 0;
            busy += !inZero;
            busy -= !outZero;
            // Once only +0 rows are left in the window the sums no longer change:
            // if they came back to +0 exactly, the chunk is clear from here on.
            if (busy != 0) {
                clear[static_cast<size_t>(c)] = 0;
            } else if (wasBusy) {
                clear[static_cast<size_t>(c)] = sumsZero(c);
            }
        }
        sink(y, x0, means.data(), w);
    }
}

// Each window summed on its own, for images holding non-finite or huge values;
// rows are independent, so bands of rows run side by side.
void verticalDirect(const Image& across, int r, Band band, const BlurSink& sink) {
    const double count = 2.0 * r + 1.0;
    std::vector<Pixel> means(static_cast<size_t>(across.width));
    for (int y = band.begin; y < band.end; ++y) {
        for (int x = 0; x < across.width; ++x) {
            Sum4 sum;
            for (int k = -r; k <= r; ++k) sum.add(across.at(x, clampIndex(y + k, across.height)));
            means[static_cast<size_t>(x)] = sum.mean(count);
        }
        sink(y, 0, means.data(), across.width);
    }
}

// The horizontal pass into `across`; false when some row is not moderate.
bool horizontalPass(const Image& image, int r, Image& across, const RowBands& bands) {
    const int w = image.width;
    across.width = w;
    across.height = image.height;
    across.pixels.resize(image.pixels.size());  // every pixel is written below
    // One flag per row, so no two bands write the same memory.
    std::vector<char> rowModerate(static_cast<size_t>(image.height), 1);
    bands.forEachBand(image.height, [&](Band band) {
        // Moderate rows gather into groups slid side by side.
        const Pixel* group[kRowsAtOnce];
        Pixel* groupOut[kRowsAtOnce];
        int grouped = 0;
        for (int y = band.begin; y < band.end; ++y) {
            const size_t offset = static_cast<size_t>(y) * static_cast<size_t>(w);
            const Pixel* row = &image.pixels[offset];
            const RowKind kind = rowKind(row, w);
            if (kind == RowKind::Clear) {
                // Sums of +0 stay +0, and so do their means.
                std::fill(&across.pixels[offset], &across.pixels[offset] + w, Pixel{0.0f, 0.0f, 0.0f, 0.0f});
            } else if (kind == RowKind::Moderate) {
                group[grouped] = row;
                groupOut[grouped] = &across.pixels[offset];
                if (++grouped == kRowsAtOnce) {
                    runningRows(group, groupOut, grouped, w, r);
                    grouped = 0;
                }
            } else {
                directRow(row, &across.pixels[offset], w, r);
                rowModerate[static_cast<size_t>(y)] = 0;
            }
        }
        runningRows(group, groupOut, grouped, w, r);
    });
    return std::find(rowModerate.begin(), rowModerate.end(), 0) == rowModerate.end();
}

}  // namespace

void blurIntoSink(const Image& image, int radius, Image& across, const RowBands& bands, const BlurSink& sink) {
    if (!isUsableImage(image)) return;
    if (radius <= 0) {
        // The means are the pixels themselves, handed over from a copy since
        // the sink may change the image.
        across = image;
        const size_t width = static_cast<size_t>(image.width);
        bands.forEachBand(image.height, [&](Band band) {
            for (int y = band.begin; y < band.end; ++y) sink(y, 0, &across.pixels[y * width], image.width);
        });
        return;
    }
    const int r = std::min(radius, kMaxRadius);
    // A mean never exceeds its inputs, so moderate rows stay moderate after the first pass.
    if (horizontalPass(image, r, across, bands)) {
        bands.forEachBand(image.width, [&](Band columns) { verticalRunning(across, r, columns.begin, columns.end, sink); });
    } else {
        bands.forEachBand(image.height, [&](Band band) { verticalDirect(across, r, band, sink); });
    }
}

Image blurredImage(const Image& image, int radius, const RowBands& bands) {
    if (radius <= 0 || !isUsableImage(image)) return image;
    Image result(image.width, image.height);
    Image across;
    const size_t width = static_cast<size_t>(image.width);
    blurIntoSink(image, radius, across, bands, [&](int y, int x, const Pixel* means, int n) {
        std::copy(means, means + n, &result.pixels[static_cast<size_t>(y) * width + static_cast<size_t>(x)]);
    });
    return result;
}

}  // namespace ormel
