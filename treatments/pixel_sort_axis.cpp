#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
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

struct SortEntry {
    float key;
    Pixel pixel;
};

// A strict weak order even with NaN keys (NaN sorts below every number), which the
// standard sort needs to stay defined.
bool keyLess(float a, float b) {
    if (std::isnan(a)) return !std::isnan(b);
    return !std::isnan(b) && a < b;
}

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
              std::vector<SortEntry>& buffer, std::vector<uint8_t>& activeAt) {
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

        buffer.clear();
        for (int32_t m = 0; m < n; ++m) {
            const Pixel& p = source[j0 + m];
            buffer.push_back(SortEntry{sortLuminance(p), p});
        }
        if (hash01(i, j0, k.frame, seedPlus(k.seed, k.orderKey)) > 0.5f) {
            std::stable_sort(buffer.begin(), buffer.end(),
                             [](const SortEntry& a, const SortEntry& b) { return keyLess(b.key, a.key); });
        } else {
            std::stable_sort(buffer.begin(), buffer.end(),
                             [](const SortEntry& a, const SortEntry& b) { return keyLess(a.key, b.key); });
        }

        float mix = k.amount;
        int32_t offset = 0;
        if (k.randomize) {
            const float jitter = 1.0f + 2.0f * k.randomAmount * (hash01(i, j0, k.frame, seedPlus(k.seed, 1249)) - 0.5f);
            mix = clamp01(k.amount * clampRange(jitter, 0.0f, 1.75f));
            // The hash is below 1, so the offset is below n.
            offset = truncClamped(static_cast<float>(n) * hash01(i, j0, k.frame, seedPlus(k.seed, 1259)), 0, n - 1, 0);
        }

        for (int32_t m = 0; m < n; ++m) {
            const SortEntry& entry = buffer[static_cast<size_t>((offset + m) % n)];
            const Pixel& s = entry.pixel;
            const Pixel& orig = source[j0 + m];
            const float w = std::max(std::max(s.r, s.g), std::max(s.b, 1.65f * entry.key));
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
        std::vector<SortEntry> buffer;
        buffer.reserve(static_cast<size_t>(k.length) * 13 / 10 + 1);
        std::vector<uint8_t> activeAt;
        std::vector<Pixel> line(static_cast<size_t>(width));
        for (int32_t y = band.begin; y < band.end; ++y) {
            Pixel* row = &image.at(0, y);
            std::copy(row, row + width, line.begin());
            sortLine(line.data(), row, width, y, k, buffer, activeAt);
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
        std::vector<SortEntry> buffer;
        buffer.reserve(static_cast<size_t>(k.length) * 13 / 10 + 1);
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
                sortLine(&source[at], &target[at], height, x0 + c, k, buffer, activeAt);
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
