#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/image_checks.h"
#include "engine/pixel_ops.h"
#include "overlay/hash.h"
#include "treatments/bilinear.h"
#include "treatments/pixel_sort.h"
#include "treatments/pixel_sort_common.h"
#include "treatments/safe_convert.h"

namespace ormel {
namespace {

constexpr int32_t kMinLength = 2;
constexpr int32_t kMaxLength = 512;

// A run is sorted by luminance key, stably, with NaN keys below every number
// (and equal to each other) and -0 equal to +0. Each position becomes one
// 64-bit word: the key mapped to an unsigned number in the same order, then
// the position, so that a plain sort of the words is that stable sort (the
// position breaks ties the way stability does) and moves eight bytes, not a
// whole pixel, per step.
uint32_t orderedKey(float key) {
    if (std::isnan(key)) return 0;
    if (key == 0.0f) key = 0.0f;  // -0 sorts with +0
    uint32_t bits;
    std::memcpy(&bits, &key, sizeof bits);
    // Negative numbers reverse their order, positive ones go above them; every
    // number lands above 0 (only a NaN pattern would map there).
    return (bits & 0x80000000u) != 0 ? ~bits : bits | 0x80000000u;
}

float clampRange(float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); }

// Sorts distinct words ascending (so any correct sort gives the same order):
// sorted blocks of four, then merges of doubling width between `words` and
// `spare`. The merges choose with a compare and select instead of a branch,
// since luminance keys arrive in no order a branch predictor could follow.
void sortWords(std::vector<uint64_t>& words, std::vector<uint64_t>& spare) {
    const size_t n = words.size();
    if (n < 2) return;
    uint64_t* a = words.data();
    for (size_t i = 0; i + 1 < n; i += 4) {
        // A four-input network (or its first pairs for a shorter tail).
        auto exchange = [&](size_t p, size_t q) {
            if (q >= n) return;
            const uint64_t x = a[p], y = a[q];
            a[p] = x < y ? x : y;
            a[q] = x < y ? y : x;
        };
        exchange(i, i + 1);
        exchange(i + 2, i + 3);
        exchange(i, i + 2);
        exchange(i + 1, i + 3);
        exchange(i + 1, i + 2);
    }
    if (n <= 4) return;
    spare.resize(n);
    uint64_t* from = a;
    uint64_t* to = spare.data();
    for (size_t width = 4; width < n; width *= 2) {
        for (size_t start = 0; start < n; start += 2 * width) {
            const size_t mid = std::min(start + width, n);
            const size_t end = std::min(start + 2 * width, n);
            if (end - mid == width) {
                // Two runs of equal length: the smallest taken from the fronts and
                // the largest from the backs at once, two independent chains.
                // After s < width steps neither end has left its run.
                const uint64_t* l = from + start;
                const uint64_t* r = from + mid;
                const uint64_t* lt = from + mid - 1;
                const uint64_t* rt = from + end - 1;
                uint64_t* head = to + start;
                uint64_t* tail = to + end - 1;
                for (size_t step = 0; step < width; ++step) {
                    const bool right = *r < *l;
                    *head++ = right ? *r : *l;
                    r += right;
                    l += !right;
                    const bool left = *rt < *lt;
                    *tail-- = left ? *lt : *rt;
                    lt -= left;
                    rt -= !left;
                }
                continue;
            }
            size_t i = start, j = mid, k = start;
            while (i < mid && j < end) {
                const uint64_t x = from[i], y = from[j];
                const bool takeRight = y < x;
                to[k++] = takeRight ? y : x;
                i += !takeRight;
                j += takeRight;
            }
            while (i < mid) to[k++] = from[i++];
            while (j < end) to[k++] = from[j++];
        }
        std::swap(from, to);
    }
    if (from != a) std::copy(from, from + n, a);
}

// Everything a line needs besides its pixels.
struct LineRules {
    int32_t length;
    float amount;
    float randomAmount;
    float threshold;
    float probability;
    int32_t orderKey;
    bool randomize;
    int32_t scope;
    int32_t frame;
    int32_t seed;
    float colourMix;
    Pixel colour;
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
    k.colourMix = clamp01(settings.pixelSortColorMix);
    k.colour = settings.pixelSortColor;
    return k;
}

// Sorts the runs of line i. `source` is the line as it was before the pass and
// `target` the line being written (holding the same pixels on entry); both
// are contiguous, whichever axis the line lies along.
void sortLine(const Pixel* source, Pixel* target, int32_t positions, int32_t i, const LineRules& k,
              std::vector<uint64_t>& buffer, std::vector<uint64_t>& spare, std::vector<uint8_t>& activeAt) {
    const float threshold = k.threshold;
    const int32_t scope = k.scope;
    activeAt.resize(static_cast<size_t>(positions));
    for (int32_t j = 0; j < positions; ++j) activeAt[static_cast<size_t>(j)] = sortActivity(source[j], scope) > threshold;
    int32_t j = 0;
    while (j < positions) {
        if (!activeAt[static_cast<size_t>(j)]) {
            ++j;
            continue;
        }
        const int32_t j0 = j;
        int32_t limit = k.length;
        if (k.randomize) {
            const float h = hash01(i, j0, k.frame, seedPlus(k.seed, 1201));
            limit = std::max(kMinLength, truncClamped(static_cast<float>(k.length) * (0.35f + 0.95f * h),
                                                      kMinLength, kMaxLength * 2, kMinLength));
        }
        // positions - j0 first, so j0 + limit never overflows.
        const int32_t maxEnd = j0 + std::min(limit, positions - j0);
        int32_t e = j0 + 1;
        while (e < maxEnd && activeAt[static_cast<size_t>(e)]) ++e;
        const int32_t n = e - j0;
        j = e;
        if (n < 2) continue;
        if (k.randomize && hash01(i, j0, k.frame, seedPlus(k.seed, 1211)) > k.probability) continue;

        // Brightest first inverts the key's order but not the positions', so
        // equal keys keep their order either way.
        const bool descending = hash01(i, j0, k.frame, seedPlus(k.seed, k.orderKey)) > 0.5f;
        const uint32_t flip = descending ? 0xFFFFFFFFu : 0u;
        buffer.clear();
        for (int32_t m = 0; m < n; ++m) {
            const uint64_t key = orderedKey(sortLuminance(source[j0 + m])) ^ flip;
            buffer.push_back(key << 32 | static_cast<uint32_t>(m));
        }
        sortWords(buffer, spare);

        float mix = k.amount;
        int32_t offset = 0;
        if (k.randomize) {
            const float jitter = 1.0f + 2.0f * k.randomAmount * (hash01(i, j0, k.frame, seedPlus(k.seed, 1249)) - 0.5f);
            mix = clamp01(k.amount * clampRange(jitter, 0.0f, 1.75f));
            // The hash is below 1, so the offset is below n.
            offset = truncClamped(static_cast<float>(n) * hash01(i, j0, k.frame, seedPlus(k.seed, 1259)), 0, n - 1, 0);
        }

        // (offset + m) mod n, stepped instead of divided.
        int32_t at = offset;
        for (int32_t m = 0; m < n; ++m, at = at + 1 == n ? 0 : at + 1) {
            const uint32_t from = static_cast<uint32_t>(buffer[static_cast<size_t>(at)]);
            const Pixel& s = source[j0 + static_cast<int32_t>(from)];
            const float key = sortLuminance(s);
            const Pixel& orig = source[j0 + m];
            const float w = std::max(std::max(s.r, s.g), std::max(s.b, 1.65f * key));
            const Pixel tint{k.colour.r * w, k.colour.g * w, k.colour.b * w, s.a};
            Pixel c = mixPixel(s, tint, k.colourMix);
            c.a = s.a;  // the tint carries the pixel's own alpha; keep it exact
            target[j0 + m] = mixPixel(orig, c, mix);
        }
    }
}

// Lines are independent: each reads only its own pixels as they were before
// the pass, so bands of rows (or of columns) can run side by side.
void sortRows(Image& image, const LineRules& k, const RowBands& bands) {
    const int32_t width = image.width;
    bands.forEachBand(image.height, [&](Band band) {
        std::vector<uint64_t> buffer;
        buffer.reserve(static_cast<size_t>(k.length) * 13 / 10 + 1);
        std::vector<uint64_t> spare;
        std::vector<uint8_t> activeAt;
        std::vector<Pixel> line(static_cast<size_t>(width));
        for (int32_t y = band.begin; y < band.end; ++y) {
            Pixel* row = &image.at(0, y);
            std::copy(row, row + width, line.begin());
            sortLine(line.data(), row, width, y, k, buffer, spare, activeAt);
        }
    });
}

// Columns are gathered a block at a time into contiguous lines (reading the
// rows in order), sorted, and scattered back.
void sortColumns(Image& image, const LineRules& k, const RowBands& bands) {
    constexpr int32_t kBlock = 16;
    const int32_t height = image.height;
    const size_t h = static_cast<size_t>(height);
    bands.forEachBand(image.width, [&](Band band) {
        std::vector<uint64_t> buffer;
        buffer.reserve(static_cast<size_t>(k.length) * 13 / 10 + 1);
        std::vector<uint64_t> spare;
        std::vector<uint8_t> activeAt;
        std::vector<Pixel> source(h * kBlock);
        std::vector<Pixel> target(h * kBlock);
        for (int32_t x0 = band.begin; x0 < band.end; x0 += kBlock) {
            const int32_t cols = std::min(kBlock, band.end - x0);
            for (int32_t y = 0; y < height; ++y) {
                const Pixel* row = &image.at(x0, y);
                for (int32_t c = 0; c < cols; ++c) source[static_cast<size_t>(c) * h + static_cast<size_t>(y)] = row[c];
            }
            std::copy(source.begin(), source.begin() + static_cast<std::ptrdiff_t>(h) * cols, target.begin());
            for (int32_t c = 0; c < cols; ++c) {
                const size_t at = static_cast<size_t>(c) * h;
                sortLine(&source[at], &target[at], height, x0 + c, k, buffer, spare, activeAt);
            }
            for (int32_t y = 0; y < height; ++y) {
                Pixel* row = &image.at(x0, y);
                for (int32_t c = 0; c < cols; ++c) row[c] = target[static_cast<size_t>(c) * h + static_cast<size_t>(y)];
            }
        }
    });
}

}  // namespace

void applyPixelSortAxis(Image& image, const Settings& settings, bool vertical, const RowBands& bands) {
    if (!isUsableImage(image)) return;
    const LineRules rules = lineRules(settings, vertical);
    if (vertical) {
        sortColumns(image, rules, bands);
    } else {
        sortRows(image, rules, bands);
    }
}

}  // namespace ormel
