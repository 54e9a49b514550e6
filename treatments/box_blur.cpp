#include "treatments/box_blur.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/image_checks.h"
#include "engine/simd_level.h"
#include "treatments/clear_map.h"

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

// One sweep over the stretches of a row not yet known clear: those found all
// +0 are marked, and the rest decide whether the row is moderate (the running
// sum is exact enough) or not (each window summed afresh).
// Done on the bits: |v| <= limit exactly when the sign-cleared bits are at most
// the limit's, and NaN's bits lie above it, so NaN fails as with a float compare;
// integer tests without early exit let the compiler vectorise the sweep.
RowKind scanRow(const Pixel* row, int w, uint8_t* marks) {
    constexpr uint32_t kLimitBits = 0x47800000u;  // 65536.0f
    static_assert(kRunningSumLimit == 65536.0f, "kLimitBits mirrors kRunningSumLimit");
    const uint32_t* bits = reinterpret_cast<const uint32_t*>(row);
    uint32_t anyInRow = 0;
    uint32_t wild = 0;
    for (int s = 0; s < stretchesIn(w); ++s) {
        if (marks[s]) continue;
        const size_t from = static_cast<size_t>(s) * kClearStretch * 4;
        const size_t to = std::min(static_cast<size_t>(w), static_cast<size_t>(s + 1) * kClearStretch) * 4;
        uint32_t any = 0;
        for (size_t i = from; i < to; ++i) {
            any |= bits[i];
            wild |= static_cast<uint32_t>((bits[i] & 0x7fffffffu) > kLimitBits);
        }
        marks[s] = any == 0;
        anyInRow |= any;
    }
    if (anyInRow == 0) return RowKind::Clear;
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

constexpr int kStretch = kClearStretch;

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

// Which 64-pixel stretches of a row are all +0; empty when the row is too wide
// to track (rows up to 32768 pixels wide are tracked).
struct ClearStretches {
    uint64_t mask[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    bool tracked = false;
};

ClearStretches clearStretches(const uint8_t* marks, int w) {
    ClearStretches clear;
    const int stretches = stretchesIn(w);
    clear.tracked = stretches <= 512;
    if (!clear.tracked) return clear;
    for (int c = 0; c < stretches; ++c)
        if (marks[c]) clear.mask[c / 64] |= uint64_t{1} << (c % 64);
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
// entering and leaving the window is +0 have means of +0 and leave the sums +0
// (stepping them gives the same bits, so a row clear where another is not is
// simply stepped); they are marked clear in the output and not written.
template <int N>
__attribute__((target("avx"))) void runningRowsAvx(const Pixel* const* rows, Pixel* const* outs,
                                                   const uint8_t* const* marks, uint8_t* const* outMarks, int w,
                                                   int r) {
    ClearStretches clear[N];
    for (int i = 0; i < N; ++i) clear[i] = clearStretches(marks[i], w);
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
            for (int i = 0; i < N; ++i) outMarks[i][x / kStretch] = 1;
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
#endif

constexpr int kRowsAtOnce = 4;

// The rows [0, n) of rows/outs, n <= kRowsAtOnce, all moderate; marks are
// what is known clear in each row, outMarks what is left clear (and unwritten)
// in each output.
void runningRows(const Pixel* const* rows, Pixel* const* outs, const uint8_t* const* marks, uint8_t* const* outMarks,
                 int n, int w, int r) {
#if defined(VARNOK_BLUR_AVX)
    if (simdAtLeast(SimdLevel::avx2)) {
        static_assert(kRowsAtOnce == 4, "one case per group size");
        switch (n) {
            case 4: runningRowsAvx<4>(rows, outs, marks, outMarks, w, r); return;
            case 3: runningRowsAvx<3>(rows, outs, marks, outMarks, w, r); return;
            case 2: runningRowsAvx<2>(rows, outs, marks, outMarks, w, r); return;
            case 1: runningRowsAvx<1>(rows, outs, marks, outMarks, w, r); return;
            default: return;
        }
    }
#else
    (void)marks;
    (void)outMarks;
#endif
    for (int i = 0; i < n; ++i) runningRowPlain(rows[i], outs[i], w, r);
}

void verticalStep(Pixel* out, const Pixel* in, const Pixel* leaving, Sum4* sums, int w, double count) {
#if defined(VARNOK_BLUR_AVX)
    if (simdAtLeast(SimdLevel::avx2)) {
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

// O(1) per pixel: one running sum per column slid down the rows of `across`
// (the horizontal pass's result), so memory is read in order; each row's means
// go to the sink as soon as they are known.
// Only the stretches [s0, s1) are read, so bands of stretches can run side by
// side; every band slides from row 0, so the sums do not depend on the banding.
// Where a stretch's sums are all +0 and the rows entering and leaving the
// window are +0 there too, its means are +0 and its sums stay +0, so it is not
// summed (a clear stretch of an overlay layer costs next to nothing; the bits
// are the same). Stretches marked clear in `acrossClear` are never read: they
// hold whatever the memory held. Where the means are +0 and the image is
// known clear the sink is not called.
void verticalRunning(const Image& across, const ClearMap& acrossClear, const ClearMap& imageClear, int r, int s0,
                     int s1, const BlurSink& sink) {
    const int x0 = s0 * kStretch;
    const int w = std::min(s1 * kStretch, across.width) - x0;
    const int h = across.height;
    const size_t rowSize = static_cast<size_t>(across.width);
    const double count = 2.0 * r + 1.0;
    auto row = [&](int y) {
        return &across.pixels[static_cast<size_t>(clampIndex(y, h)) * rowSize + static_cast<size_t>(x0)];
    };
    const int chunks = s1 - s0;
    auto chunkWidth = [&](int c) { return std::min(kStretch, w - c * kStretch); };
    // Which chunks of each row are all +0: marked ones, and the others found so
    // when the row is first asked about, just before its pixels are summed.
    std::vector<uint8_t> zero(static_cast<size_t>(h) * static_cast<size_t>(chunks));
    std::vector<uint8_t> known(static_cast<size_t>(h), 0);
    auto zeroAt = [&](int y, int c) {
        const int at = clampIndex(y, h);
        uint8_t* flags = &zero[static_cast<size_t>(at) * static_cast<size_t>(chunks)];
        if (!known[static_cast<size_t>(at)]) {
            const Pixel* p = row(at);
            const uint8_t* marks = acrossClear.row(at) + s0;
            for (int k = 0; k < chunks; ++k)
                flags[k] = marks[k] || allZeroBits(p + k * kStretch, static_cast<size_t>(chunkWidth(k)));
            known[static_cast<size_t>(at)] = 1;
        }
        return flags[c] != 0;
    };

    const std::vector<Pixel> zeros(static_cast<size_t>(kStretch), Pixel{0.0f, 0.0f, 0.0f, 0.0f});
    std::vector<Sum4> sums(static_cast<size_t>(w));
    std::vector<int> busyRows(static_cast<size_t>(chunks), 0);  // rows of the window not +0 in the chunk
    for (int k = -r; k <= r; ++k) {
        for (int c = 0; c < chunks; ++c) {
            const bool isZero = zeroAt(k, c);
            const Pixel* p = isZero ? zeros.data() : row(k) + c * kStretch;
            Sum4* s = &sums[static_cast<size_t>(c) * kStretch];
            for (int x = 0; x < chunkWidth(c); ++x) s[x].add(p[x]);
            busyRows[static_cast<size_t>(c)] += !isZero;
        }
    }
    auto sumsZero = [&](int c) {
        const uint64_t* bits = reinterpret_cast<const uint64_t*>(&sums[static_cast<size_t>(c) * kStretch]);
        uint64_t any = 0;
        for (size_t i = 0; i < static_cast<size_t>(chunkWidth(c)) * 4; ++i) any |= bits[i];
        return any == 0;
    };
    std::vector<uint8_t> clear(static_cast<size_t>(chunks));
    for (int c = 0; c < chunks; ++c) clear[static_cast<size_t>(c)] = sumsZero(c);

    std::vector<Pixel> means(static_cast<size_t>(w));
    std::vector<uint8_t> meansZero(static_cast<size_t>(chunks));
    for (int y = 0; y < h; ++y) {
        const int leavingRow = y - r < 0 ? 0 : y - r;
        for (int c = 0; c < chunks; ++c) {
            const int from = c * kStretch;
            const bool inZero = zeroAt(y + r + 1, c);
            const bool outZero = zeroAt(leavingRow, c);
            meansZero[static_cast<size_t>(c)] = clear[static_cast<size_t>(c)] && inZero && outZero;
            if (meansZero[static_cast<size_t>(c)]) continue;
            verticalStep(&means[static_cast<size_t>(from)], inZero ? zeros.data() : row(y + r + 1) + from,
                         outZero ? zeros.data() : row(leavingRow) + from, &sums[static_cast<size_t>(from)],
                         chunkWidth(c), count);
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
        // Runs of chunks the sink must see, in one call each.
        const uint8_t* imageMarks = imageClear.row(y) + s0;
        for (int c = 0; c < chunks;) {
            if (meansZero[static_cast<size_t>(c)] && imageMarks[c]) {
                ++c;
                continue;
            }
            const int first = c;
            for (; c < chunks && !(meansZero[static_cast<size_t>(c)] && imageMarks[c]); ++c) {
                if (meansZero[static_cast<size_t>(c)])
                    std::fill_n(&means[static_cast<size_t>(c) * kStretch], chunkWidth(c), Pixel{0.0f, 0.0f, 0.0f, 0.0f});
            }
            const int from = first * kStretch;
            sink(y, x0 + from, &means[static_cast<size_t>(from)], std::min(c * kStretch, w) - from);
        }
    }
}

// Each window summed on its own, for images holding non-finite or huge values;
// rows are independent, so bands of rows run side by side.
void verticalDirect(const Image& across, const ClearMap& acrossClear, int r, Band band, const BlurSink& sink) {
    const double count = 2.0 * r + 1.0;
    const Pixel zero{0.0f, 0.0f, 0.0f, 0.0f};
    auto at = [&](int x, int y) {
        return acrossClear.isClear(y, x / kStretch) ? zero : across.at(x, y);
    };
    std::vector<Pixel> means(static_cast<size_t>(across.width));
    for (int y = band.begin; y < band.end; ++y) {
        for (int x = 0; x < across.width; ++x) {
            Sum4 sum;
            for (int k = -r; k <= r; ++k) sum.add(at(x, clampIndex(y + k, across.height)));
            means[static_cast<size_t>(x)] = sum.mean(count);
        }
        sink(y, 0, means.data(), across.width);
    }
}

// The horizontal pass into `scratch`, marking what it finds clear in the
// image; false when some row is not moderate.
bool horizontalPass(const Image& image, ClearMap& imageClear, int r, BlurScratch& scratch, const RowBands& bands) {
    const int w = image.width;
    Image& across = scratch.across;
    across.width = w;
    across.height = image.height;
    across.pixels.resize(image.pixels.size());  // written where not marked clear
    resetClearMap(scratch.acrossClear, image);
    // One flag per row, so no two bands write the same memory.
    std::vector<char> rowModerate(static_cast<size_t>(image.height), 1);
    bands.forEachBand(image.height, [&](Band band) {
        // Moderate rows gather into groups slid side by side.
        const Pixel* group[kRowsAtOnce];
        Pixel* groupOut[kRowsAtOnce];
        const uint8_t* groupMarks[kRowsAtOnce];
        uint8_t* groupOutMarks[kRowsAtOnce];
        int grouped = 0;
        for (int y = band.begin; y < band.end; ++y) {
            const size_t offset = static_cast<size_t>(y) * static_cast<size_t>(w);
            const Pixel* row = &image.pixels[offset];
            uint8_t* marks = imageClear.row(y);
            uint8_t* outMarks = scratch.acrossClear.row(y);
            const RowKind kind = scanRow(row, w, marks);
            if (kind == RowKind::Clear) {
                // Sums of +0 stay +0, and so do their means.
                std::fill_n(outMarks, scratch.acrossClear.perRow, uint8_t{1});
            } else if (kind == RowKind::Moderate) {
                group[grouped] = row;
                groupOut[grouped] = &across.pixels[offset];
                groupMarks[grouped] = marks;
                groupOutMarks[grouped] = outMarks;
                if (++grouped == kRowsAtOnce) {
                    runningRows(group, groupOut, groupMarks, groupOutMarks, grouped, w, r);
                    grouped = 0;
                }
            } else {
                directRow(row, &across.pixels[offset], w, r);
                rowModerate[static_cast<size_t>(y)] = 0;
            }
        }
        runningRows(group, groupOut, groupMarks, groupOutMarks, grouped, w, r);
    });
    return std::find(rowModerate.begin(), rowModerate.end(), 0) == rowModerate.end();
}

}  // namespace

void blurIntoSink(const Image& image, ClearMap& imageClear, int radius, BlurScratch& scratch, const RowBands& bands,
                  const BlurSink& sink) {
    if (!isUsableImage(image)) return;
    if (radius <= 0) {
        // The means are the pixels themselves, handed over from a copy since
        // the sink may change the image.
        scratch.across = image;
        bands.forEachBand(image.height, [&](Band band) {
            for (int y = band.begin; y < band.end; ++y) sink(y, 0, &scratch.across.at(0, y), image.width);
        });
        return;
    }
    const int r = std::min(radius, kMaxRadius);
    // A mean never exceeds its inputs, so moderate rows stay moderate after the first pass.
    if (horizontalPass(image, imageClear, r, scratch, bands)) {
        bands.forEachBand(stretchesIn(image.width), [&](Band stretches) {
            verticalRunning(scratch.across, scratch.acrossClear, imageClear, r, stretches.begin, stretches.end, sink);
        });
    } else {
        bands.forEachBand(image.height,
                          [&](Band band) { verticalDirect(scratch.across, scratch.acrossClear, r, band, sink); });
    }
}

Image blurredImage(const Image& image, int radius, const RowBands& bands) {
    if (radius <= 0 || !isUsableImage(image)) return image;
    Image result(image.width, image.height, Pixel{0.0f, 0.0f, 0.0f, 0.0f});  // +0 where the sink is not called
    ClearMap clear;
    resetClearMap(clear, image);
    BlurScratch scratch;
    blurIntoSink(image, clear, radius, scratch, bands,
                 [&](int y, int x, const Pixel* means, int n) { std::copy(means, means + n, &result.at(x, y)); });
    return result;
}

}  // namespace ormel
