#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/image_checks.h"
#include "engine/pixel_ops.h"
#include "engine/simd_level.h"
#include "overlay/hash.h"
#include "treatments/pixel_sort.h"
#include "treatments/pixel_sort_common.h"
#include "treatments/pixel_sort_order.h"
#include "treatments/pixel_sort_run.h"
#include "treatments/safe_convert.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#define VARNOK_SORT_SSE2 1
#endif

namespace ormel {
namespace {

constexpr int32_t kMinLength = 2;
constexpr int32_t kMaxLength = 512;

float clampRange(float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); }

// Everything a line needs besides its pixels.
struct LineRules {
    int32_t length;
    float amount;
    float randomAmount;
    float threshold;
    float probability;
    int32_t orderKey;
    bool randomize;
    SortScope scope;
    int32_t frame;
    int32_t seed;
    RunTint tint;
    bool tintHasNaN;
};

LineRules lineRules(const Settings& settings, bool vertical) {
    LineRules k;
    k.length = std::min(std::max(settings.pixelSortLength, kMinLength), kMaxLength);
    k.amount = clamp01(settings.pixelSortAmount);
    k.randomAmount = clamp01(settings.pixelSortRandomAmount);
    k.threshold = clamp01(settings.pixelSortThreshold);
    k.probability = std::min(1.0f, 0.3f + 0.7f * k.amount + 0.25f * k.randomAmount);
    k.orderKey = vertical ? 1223 : 1231;
    k.randomize = settings.pixelSortRandomize;
    k.scope = settings.pixelSortScope;
    k.frame = settings.frameNumber;
    k.seed = settings.seed;
    k.tint = RunTint{settings.pixelSortColor, clamp01(settings.pixelSortColorMix)};
    const Pixel& c = k.tint.colour;
    k.tintHasNaN = c.r != c.r || c.g != c.g || c.b != c.b;
    return k;
}

// Working memory of one band, reused by each of its lines.
struct LineScratch {
    std::vector<float> luminance;  // per position, as the line was before the pass
    std::vector<uint64_t> active;  // one bit per position
    std::vector<uint64_t> nan;     // one bit per position holding a NaN channel
    RunOrder order;
};

// Every position's luminance, activity and NaNs, read once before the line
// changes. Bits gather in a register a word (64 positions) at a time.
void measureLine(const Pixel* line, int32_t positions, const LineRules& k, LineScratch& s) {
    const size_t words = (static_cast<size_t>(positions) + 63) / 64;
    s.luminance.resize(static_cast<size_t>(positions));
    s.active.resize(words);
    s.nan.resize(words);
    float* lum = s.luminance.data();
#if defined(VARNOK_SORT_SSE2)
    // Four pixels turned into channel vectors; the same products and sums in
    // the same grouping as sortLuminance, lane by lane.
    const __m128 wr = _mm_set1_ps(0.2126f), wg = _mm_set1_ps(0.7152f), wb = _mm_set1_ps(0.0722f);
    const __m128 threshold = _mm_set1_ps(k.threshold);
    const bool vectors = simdAtLeast(SimdLevel::sse2);
#endif
    for (size_t word = 0; word < words; ++word) {
        const int32_t base = static_cast<int32_t>(word * 64);
        const int32_t stop = std::min(positions, base + 64);
        uint64_t active = 0, nan = 0;
        int32_t j = base;
#if defined(VARNOK_SORT_SSE2)
        for (; vectors && j + 4 <= stop; j += 4) {
            __m128 r = _mm_loadu_ps(&line[j].r), g = _mm_loadu_ps(&line[j + 1].r);
            __m128 b = _mm_loadu_ps(&line[j + 2].r), a = _mm_loadu_ps(&line[j + 3].r);
            _MM_TRANSPOSE4_PS(r, g, b, a);
            const __m128 l = _mm_add_ps(_mm_add_ps(_mm_mul_ps(wr, r), _mm_mul_ps(wg, g)), _mm_mul_ps(wb, b));
            _mm_storeu_ps(lum + j, l);
            const __m128 v = k.scope == SortScope::OverlayOnly ? a : l;
            active |= static_cast<uint64_t>(_mm_movemask_ps(_mm_cmpgt_ps(v, threshold))) << (j - base);
            const __m128 unordered = _mm_or_ps(_mm_cmpunord_ps(r, g), _mm_cmpunord_ps(b, a));
            nan |= static_cast<uint64_t>(_mm_movemask_ps(unordered)) << (j - base);
        }
#endif
        for (; j < stop; ++j) {
            const Pixel& p = line[j];
            lum[j] = sortLuminance(p);
            const float v = k.scope == SortScope::OverlayOnly ? p.a : lum[j];
            active |= static_cast<uint64_t>(v > k.threshold) << (j - base);
            nan |= static_cast<uint64_t>(p.r != p.r || p.g != p.g || p.b != p.b || p.a != p.a) << (j - base);
        }
        s.active[word] = active;
        s.nan[word] = nan;
    }
}

// The first position in [j, end) whose bit is `wanted`, or end. Bits past the
// line's end are clear, so a search for set bits never stops there.
template <bool wanted>
int32_t nextWithBit(const uint64_t* bits, int32_t j, int32_t end) {
    while (j < end) {
        const uint64_t word = (wanted ? bits[j >> 6] : ~bits[j >> 6]) >> (j & 63);
        if (word != 0) return std::min(end, j + __builtin_ctzll(word));
        j = (j | 63) + 1;
    }
    return end;
}

// Sorts the runs of line i. `line` is a copy of the line as it was before the
// pass (contiguous, whichever axis it lies along) and `out` its first pixel in
// the image, `stride` pixels apart; only the pixels of sorted runs are written.
void sortLine(const Pixel* line, Pixel* out, ptrdiff_t stride, int32_t positions, int32_t i, const LineRules& k,
              LineScratch& s) {
    measureLine(line, positions, k, s);
    const uint64_t* active = s.active.data();
    const float* lum = s.luminance.data();
    int32_t j = 0;
    while ((j = nextWithBit<true>(active, j, positions)) < positions) {
        const int32_t j0 = j;
        int32_t limit = k.length;
        if (k.randomize) {
            const float h = hash01(i, j0, k.frame, seedPlus(k.seed, 1201));
            limit = std::max(kMinLength, truncClamped(static_cast<float>(k.length) * (0.35f + 0.95f * h),
                                                      kMinLength, kMaxLength * 2, kMinLength));
        }
        // positions - j0 first, so j0 + limit never overflows.
        const int32_t maxEnd = j0 + std::min(limit, positions - j0);
        const int32_t e = nextWithBit<false>(active, j0 + 1, maxEnd);
        const int32_t n = e - j0;
        j = e;
        if (n < 2) continue;
        if (k.randomize && hash01(i, j0, k.frame, seedPlus(k.seed, 1211)) > k.probability) continue;

        // Brightest first inverts the key's order but not the positions', so
        // equal keys keep their order either way.
        const bool descending = hash01(i, j0, k.frame, seedPlus(k.seed, k.orderKey)) > 0.5f;
        const int32_t flip = descending ? -1 : 0;
        int32_t* keys = runKeys(s.order, n);
        for (int32_t m = 0; m < n; ++m) keys[m] = luminanceOrderKey(lum[j0 + m]) ^ flip;
        rankRun(s.order, n);

        float mix = k.amount;
        int32_t offset = 0;
        if (k.randomize) {
            const float jitter = 1.0f + 2.0f * k.randomAmount * (hash01(i, j0, k.frame, seedPlus(k.seed, 1249)) - 0.5f);
            mix = clamp01(k.amount * clampRange(jitter, 0.0f, 1.75f));
            // The hash is below 1, so the offset is below n.
            offset = truncClamped(static_cast<float>(n) * hash01(i, j0, k.frame, seedPlus(k.seed, 1259)), 0, n - 1, 0);
        }

        const bool payloadsMatter = k.tintHasNaN || nextWithBit<true>(s.nan.data(), j0, e) < e;
        writeSortedRun(line + j0, lum + j0, s.order.ranks.data(), n, offset, mix, k.tint, payloadsMatter,
                       out + static_cast<ptrdiff_t>(j0) * stride, stride);
    }
}

// Whether every stretch of row y is marked clear.
bool rowClear(const ClearMap& clear, int32_t y) {
    const uint8_t* marks = clear.row(y);
    return std::all_of(marks, marks + clear.perRow, [](uint8_t m) { return m != 0; });
}

// Lines are independent: each reads only its own pixels as they were before
// the pass, so bands of rows (or of columns) can run side by side. A clear
// pixel is never active, so a clear row has nothing to sort.
void sortRows(Image& image, const LineRules& k, const RowBands& bands, const ClearMap& clear) {
    const int32_t width = image.width;
    const size_t w = static_cast<size_t>(width);
    bands.forEachBand(image.height, [&](Band band) {
        LineScratch scratch;
        std::vector<Pixel> line(w);
        for (int32_t y = band.begin; y < band.end; ++y) {
            if (rowClear(clear, y)) continue;
            Pixel* row = &image.at(0, y);
            std::copy(row, row + width, line.begin());
            sortLine(line.data(), row, 1, width, y, k, scratch);
        }
    });
}

// Columns are gathered a block at a time into contiguous lines (reading the
// rows in order); sorted runs are written straight back into the columns.
// Stretches marked clear are gathered as +0 without being read, and a block
// clear all the way down is not sorted at all.
void sortColumns(Image& image, const LineRules& k, const RowBands& bands, const ClearMap& clear) {
    constexpr int32_t kBlock = 16;
    constexpr int32_t kPixelsPerLine = 4;  // 64-byte cache lines
    const int32_t height = image.height;
    const size_t h = static_cast<size_t>(height);
    const ptrdiff_t stride = image.width;
    bands.forEachBand(image.width, [&](Band band) {
        LineScratch scratch;
        std::vector<Pixel> source(h * kBlock);
        for (int32_t x0 = band.begin; x0 < band.end; x0 += kBlock) {
            const int32_t cols = std::min(kBlock, band.end - x0);
            const bool another = x0 + 2 * kBlock <= band.end;
            const int32_t firstStretch = x0 / kClearStretch, lastStretch = (x0 + cols - 1) / kClearStretch;
            bool anything = false;
            for (int32_t y = 0; y < height; ++y) {
                if (clear.isClear(y, firstStretch) && clear.isClear(y, lastStretch)) {
                    for (int32_t c = 0; c < cols; ++c)
                        source[static_cast<size_t>(c) * h + static_cast<size_t>(y)] = Pixel{0.0f, 0.0f, 0.0f, 0.0f};
                    continue;
                }
                anything = true;
                const Pixel* row = &image.at(x0, y);
                // Rows lie far apart, so memory is asked early for the next
                // block's share of this row.
                if (another) {
                    for (int32_t c = 0; c < kBlock; c += kPixelsPerLine) __builtin_prefetch(row + kBlock + c);
                }
                for (int32_t c = 0; c < cols; ++c) source[static_cast<size_t>(c) * h + static_cast<size_t>(y)] = row[c];
            }
            if (!anything) continue;
            for (int32_t c = 0; c < cols; ++c)
                sortLine(&source[static_cast<size_t>(c) * h], &image.at(x0 + c, 0), stride, height, x0 + c, k, scratch);
        }
    });
}

}  // namespace

void applyPixelSortAxis(Image& image, const Settings& settings, bool vertical, const RowBands& bands) {
    if (!isUsableImage(image)) return;
    ClearMap nothingKnown;
    resetClearMap(nothingKnown, image);
    applyPixelSortAxis(image, settings, vertical, bands, nothingKnown);
}

void applyPixelSortAxis(Image& image, const Settings& settings, bool vertical, const RowBands& bands,
                        const ClearMap& clear) {
    if (!isUsableImage(image)) return;
    const LineRules rules = lineRules(settings, vertical);
    if (vertical) {
        sortColumns(image, rules, bands, clear);
    } else {
        sortRows(image, rules, bands, clear);
    }
}

}  // namespace ormel
