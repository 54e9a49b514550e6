#include "engine/detection.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "engine/image_checks.h"
#include "engine/int_conversion.h"
#include "engine/pixel_ops.h"
#include "engine/simd_level.h"

namespace ormel {
namespace {

constexpr uint8_t kOff = 0;
constexpr uint8_t kOn = 1;
constexpr uint8_t kVisited = 2;  // set on kOn pixels by the region search

struct KeyTarget {
    float hue = 0.0f;
    float saturation = 0.0f;
    float luminance = 0.0f;
    float hueTol = 0.001f;
    float satTol = 0.001f;
    float lumTol = 0.001f;
    float softness = 0.001f;
    // Inversion as base + sign * w: exact either way (0 + w, 1 - w) and free of
    // a branch inside the per-pixel loop.
    float invertBase = 0.0f;
    float invertSign = 1.0f;
};

// NaN falls back to the floor as well, so every tolerance is a usable divisor.
float atLeast(float value, float floor) { return value > floor ? value : floor; }

float luminanceOf(const Pixel& p) { return 0.2126f * p.r + 0.7152f * p.g + 0.0722f * p.b; }

// The quotient is formed unconditionally (0/0 is discarded by the select) so
// that the compiler can turn the choice into a blend.
float saturationOf(float maxC, float delta) {
    const float quotient = delta / maxC;
    return maxC > 0.0f ? quotient : 0.0f;
}

// r, g, b already clamped to [0, 1]. Branch-free selects so that rows of keys
// vectorise; with clamped channels |numerator| <= delta, so the fmod by 6 that
// the red case would need is the identity.
float hueOf(float r, float g, float b, float maxC, float delta) {
    const float numerator = maxC == r ? g - b : (maxC == g ? b - r : r - g);
    const float offset = maxC == r ? 0.0f : (maxC == g ? 2.0f : 4.0f);
    float hue = (numerator / delta + offset) / 6.0f;
    hue = delta <= 0.00001f ? 0.0f : hue;
    return hue < 0.0f ? hue + 1.0f : hue;
}

KeyTarget makeTarget(const Settings& settings) {
    KeyTarget t;
    const Pixel& c = settings.targetColor;
    const float r = clamp01(c.r);
    const float g = clamp01(c.g);
    const float b = clamp01(c.b);
    const float maxC = std::max(r, std::max(g, b));
    const float delta = maxC - std::min(r, std::min(g, b));
    t.hue = hueOf(r, g, b, maxC, delta);
    t.saturation = saturationOf(maxC, delta);
    t.luminance = luminanceOf(c);
    t.hueTol = atLeast(settings.hueTolerance, 0.001f);
    t.satTol = atLeast(settings.saturationTolerance, 0.001f);
    t.lumTol = atLeast(settings.luminanceTolerance, 0.001f);
    t.softness = atLeast(settings.softness, 0.001f);
    t.invertBase = settings.invertSelection ? 1.0f : 0.0f;
    t.invertSign = settings.invertSelection ? -1.0f : 1.0f;
    return t;
}

// A row is keyed in two branch-free loops that the compiler vectorises:
// distances to the target in units of the tolerances, then the soft key. Hue
// and saturation never see NaN because the channels are clamped first.
struct KeyRowScratch {
    std::vector<float> dl;
    std::vector<float> ds;
    std::vector<float> hue;
};

inline void keyDistances(const Pixel* row, int32_t width, const KeyTarget& k, float* dlOut, float* dsOut,
                         float* hueOut) {
    for (int32_t x = 0; x < width; ++x) {
        const Pixel p = row[x];
        dlOut[x] = std::fabs(luminanceOf(p) - k.luminance) / k.lumTol;
        const float r = clamp01(p.r);
        const float g = clamp01(p.g);
        const float b = clamp01(p.b);
        const float maxC = std::max(r, std::max(g, b));
        const float delta = maxC - std::min(r, std::min(g, b));
        dsOut[x] = std::fabs(saturationOf(maxC, delta) - k.saturation) / k.satTol;
        hueOut[x] = hueOf(r, g, b, maxC, delta);
    }
}

// Soft key in [0, 1] from the distances. A NaN luminance distance (any NaN or
// opposite infinities among the channels) counts as no match.
inline void keyFromDistances(int32_t width, const KeyTarget& k, const float* dlIn, const float* dsIn,
                             const float* hueIn, float* out) {
    for (int32_t x = 0; x < width; ++x) {
        const float dl = dlIn[x];
        const float hd = std::fabs(hueIn[x] - k.hue);
        const float dh = std::min(hd, 1.0f - hd) / k.hueTol;
        const float d = std::max(dsIn[x], std::max(dl, dh));
        const float t = clamp01((d - 1.0f) / k.softness);
        float w = d <= 1.0f ? 1.0f : 1.0f - t * t * (3.0f - 2.0f * t);
        w = dl == dl ? clamp01(w) : 0.0f;
        out[x] = k.invertBase + k.invertSign * w;
    }
}

inline void keyLoopBody(const Pixel* row, int32_t width, const KeyTarget& k, KeyRowScratch& scratch, float* out) {
    keyDistances(row, width, k, scratch.dl.data(), scratch.ds.data(), scratch.hue.data());
    keyFromDistances(width, k, scratch.dl.data(), scratch.ds.data(), scratch.hue.data(), out);
}

void keyLoop(const Pixel* row, int32_t width, const KeyTarget& k, KeyRowScratch& scratch, float* out) {
    keyLoopBody(row, width, k, scratch, out);
}

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
// The same loops compiled for wider vectors. Only plain IEEE single-precision
// operations are involved (no fused multiply-add), so both versions give the
// same bits.
__attribute__((target("avx2"))) void keyLoopAvx2(const Pixel* row, int32_t width, const KeyTarget& k,
                                                 KeyRowScratch& scratch, float* out) {
    keyLoopBody(row, width, k, scratch, out);
}
#endif

// Keys of row y, written to out[0 .. width).
void keyRow(const Image& image, int32_t y, const KeyTarget& target, KeyRowScratch& scratch, float* out) {
    const size_t width = static_cast<size_t>(image.width);
    if (scratch.dl.size() < width) {
        scratch.dl.resize(width);
        scratch.ds.resize(width);
        scratch.hue.resize(width);
    }
    const Pixel* row = image.pixels.data() + static_cast<size_t>(y) * width;
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    if (simdAtLeast(SimdLevel::avx2)) {
        keyLoopAvx2(row, image.width, target, scratch, out);
        return;
    }
#endif
    keyLoop(row, image.width, target, scratch, out);
}

// Box sum of one row over offsets -r..r with clamped edges. Every key value is
// a multiple of 2^-24 in [0, 1], so all these sums are exact in double for any
// sensible radius: the direct sum used for small radii and the prefix-sum
// difference used for large ones give the same bits.
constexpr int64_t kDirectSumRadius = 4;

void rowBoxSumsDirect(const float* key, int64_t width, int64_t r, double* out) {
    const int64_t last = width - 1;
    auto clampedSum = [&](int64_t x) {
        double sum = 0.0;
        for (int64_t j = -r; j <= r; ++j) {
            sum += static_cast<double>(key[std::min(last, std::max<int64_t>(0, x + j))]);
        }
        return sum;
    };
    const int64_t innerEnd = width - r;  // x + r <= last for x < innerEnd
    int64_t x = 0;
    for (; x < std::min(r, width); ++x) {
        out[x] = clampedSum(x);
    }
    if (x < innerEnd) {
        // Offsets outer, columns inner: each pass is a plain vector add.
        std::fill(out + x, out + innerEnd, 0.0);
        for (int64_t j = -r; j <= r; ++j) {
            for (int64_t i = x; i < innerEnd; ++i) {
                out[i] += static_cast<double>(key[i + j]);  // i >= r, so i + j >= 0
            }
        }
        x = innerEnd;
    }
    for (; x < width; ++x) {
        out[x] = clampedSum(x);
    }
}

void rowBoxSumsPrefix(const float* key, int64_t width, int64_t r, std::vector<double>& prefix, double* out) {
    prefix[0] = 0.0;
    for (int64_t x = 0; x < width; ++x) {
        prefix[static_cast<size_t>(x) + 1] = prefix[static_cast<size_t>(x)] + static_cast<double>(key[x]);
    }
    const int64_t last = width - 1;
    const double first = static_cast<double>(key[0]);
    const double end = static_cast<double>(key[last]);
    for (int64_t x = 0; x < width; ++x) {
        const int64_t lo = std::max<int64_t>(0, x - r);
        const int64_t hi = std::min<int64_t>(last, x + r);
        const int64_t before = std::max<int64_t>(0, r - x);
        const int64_t after = std::max<int64_t>(0, x + r - last);
        double sum = prefix[static_cast<size_t>(hi) + 1] - prefix[static_cast<size_t>(lo)];
        if (before > 0) {
            sum += static_cast<double>(before) * first;
        }
        if (after > 0) {
            sum += static_cast<double>(after) * end;
        }
        out[x] = sum;
    }
}

void rowBoxSums(const float* key, int32_t width, int64_t r, std::vector<double>& prefix, double* out) {
    if (r <= kDirectSumRadius) {
        rowBoxSumsDirect(key, width, r, out);
    } else {
        rowBoxSumsPrefix(key, width, r, prefix, out);
    }
}

// The blurred key is float(sum / area) and is kept when it is at least one
// half. That test is monotonic in the sum, so it equals sum >= the smallest
// double that passes it, found once by bisection over the bit patterns of the
// non-negative doubles (ordered like the values). No division per pixel.
double sumThreshold(double area) {
    auto passes = [area](double sum) { return static_cast<float>(sum / area) >= 0.5f; };
    uint64_t lo = 0;  // bits of 0.0, which fails
    uint64_t hi;      // bits of area, which passes (area / area = 1)
    std::memcpy(&hi, &area, sizeof hi);
    while (hi - lo > 1) {
        const uint64_t mid = lo + (hi - lo) / 2;
        double value;
        std::memcpy(&value, &mid, sizeof value);
        if (passes(value)) {
            hi = mid;
        } else {
            lo = mid;
        }
    }
    double cut;
    std::memcpy(&cut, &hi, sizeof cut);
    return cut;
}

// Key, separable box blur of radius r and threshold at one half, straight to a
// 0/1 mask, for the rows of one band. Columns are summed through running
// prefix rows kept in a ring just deep enough for the window, so memory stays
// small for small radii and the cost per pixel does not grow with r. The
// prefix starts r rows above the band (or at the top): every sum is exact, so
// a difference of prefixes is the same whatever row they start from, and any
// cut into bands gives the same mask.
void blurredMaskRows(const Image& image, const KeyTarget& target, int64_t r, Band band, uint8_t* mask) {
    const int32_t width = image.width;
    const int32_t height = image.height;
    const size_t w = static_cast<size_t>(width);

    const int64_t start = std::max<int64_t>(0, band.begin - r);
    const int64_t ringRows = std::min<int64_t>(height, 2 * r + 2);
    std::vector<double> ring(static_cast<size_t>(ringRows) * w);  // column prefix sums of row box sums
    std::vector<double> firstRow(w);
    std::vector<double> lastRow(w);
    std::vector<double> rowSum(w);
    std::vector<double> prefix(w + 1);
    std::vector<float> key(w);
    KeyRowScratch scratch;
    const double side = 2.0 * static_cast<double>(r) + 1.0;
    const double cut = sumThreshold(side * side);
    const int64_t lastY = height - 1;

    int64_t computed = start - 1;  // highest row whose prefix is in the ring
    auto prefixRow = [&](int64_t y) { return ring.data() + static_cast<size_t>(y % ringRows) * w; };
    auto computeRow = [&](int64_t y) {
        keyRow(image, static_cast<int32_t>(y), target, scratch, key.data());
        rowBoxSums(key.data(), width, r, prefix, rowSum.data());
        double* dst = prefixRow(y);
        if (y == start) {
            std::copy(rowSum.begin(), rowSum.end(), dst);
        } else {
            const double* prev = prefixRow(y - 1);
            for (size_t x = 0; x < w; ++x) {
                dst[x] = prev[x] + rowSum[x];
            }
        }
        if (y == 0) {
            std::copy(rowSum.begin(), rowSum.end(), firstRow.begin());
        }
        if (y == lastY) {
            std::copy(rowSum.begin(), rowSum.end(), lastRow.begin());
        }
    };

    for (int64_t y = band.begin; y < band.end; ++y) {
        const int64_t hi = std::min<int64_t>(lastY, y + r);
        while (computed < hi) {
            computeRow(++computed);
        }
        const int64_t lo = std::max<int64_t>(0, y - r);
        const double before = static_cast<double>(std::max<int64_t>(0, r - y));
        const double after = static_cast<double>(std::max<int64_t>(0, y + r - lastY));
        const double* top = prefixRow(hi);
        const double* below = lo > start ? prefixRow(lo - 1) : nullptr;
        uint8_t* out = mask + static_cast<size_t>(y) * w;
        if (below && before == 0.0 && after == 0.0) {
            for (size_t x = 0; x < w; ++x) {
                out[x] = top[x] - below[x] >= cut ? kOn : kOff;
            }
            continue;
        }
        for (size_t x = 0; x < w; ++x) {
            double sum = top[x] - (below ? below[x] : 0.0);
            sum += before * firstRow[x] + after * lastRow[x];
            out[x] = sum >= cut ? kOn : kOff;
        }
    }
}

std::vector<uint8_t> blurredMask(const Image& image, const KeyTarget& target, int64_t r, const RowBands& bands) {
    std::vector<uint8_t> mask(image.pixels.size());
    bands.forEachBand(image.height, [&](Band band) { blurredMaskRows(image, target, r, band, mask.data()); });
    return mask;
}

std::vector<uint8_t> plainMask(const Image& image, const KeyTarget& target, const RowBands& bands) {
    const size_t w = static_cast<size_t>(image.width);
    std::vector<uint8_t> mask(image.pixels.size());
    bands.forEachBand(image.height, [&](Band band) {
        std::vector<float> key(w);
        KeyRowScratch scratch;
        for (int32_t y = band.begin; y < band.end; ++y) {
            keyRow(image, y, target, scratch, key.data());
            uint8_t* out = mask.data() + static_cast<size_t>(y) * w;
            for (size_t x = 0; x < w; ++x) {
                out[x] = key[x] >= 0.5f ? kOn : kOff;
            }
        }
    });
    return mask;
}

// One erosion or dilation pass over the 3 x 3 neighbourhood with clamped
// coordinates, done as a row pass then a column pass (the clamped window is a
// product of two ranges, so this is the same minimum or maximum). Returns
// whether any value changed.
bool morphMask(const std::vector<uint8_t>& in, int32_t width, int32_t height, bool dilate,
               std::vector<uint8_t>& rows, std::vector<uint8_t>& out, const RowBands& bands) {
    const size_t w = static_cast<size_t>(width);
    const size_t h = static_cast<size_t>(height);
    rows.resize(in.size());
    out.resize(in.size());
    bands.forEachBand(height, [&](Band band) {
    for (size_t y = static_cast<size_t>(band.begin); y < static_cast<size_t>(band.end); ++y) {
        const uint8_t* src = in.data() + y * w;
        uint8_t* dst = rows.data() + y * w;
        for (size_t x = 0; x < w; ++x) {
            const uint8_t l = src[x > 0 ? x - 1 : x];
            const uint8_t rr = src[x + 1 < w ? x + 1 : x];
            dst[x] = dilate ? static_cast<uint8_t>(l | src[x] | rr) : static_cast<uint8_t>(l & src[x] & rr);
        }
    }
    });
    bands.forEachBand(height, [&](Band band) {
    for (size_t y = static_cast<size_t>(band.begin); y < static_cast<size_t>(band.end); ++y) {
        const uint8_t* up = rows.data() + (y > 0 ? y - 1 : y) * w;
        const uint8_t* mid = rows.data() + y * w;
        const uint8_t* down = rows.data() + (y + 1 < h ? y + 1 : y) * w;
        uint8_t* dst = out.data() + y * w;
        if (dilate) {
            for (size_t x = 0; x < w; ++x) {
                dst[x] = static_cast<uint8_t>(up[x] | mid[x] | down[x]);
            }
        } else {
            for (size_t x = 0; x < w; ++x) {
                dst[x] = static_cast<uint8_t>(up[x] & mid[x] & down[x]);
            }
        }
    }
    });
    return std::memcmp(in.data(), out.data(), in.size()) != 0;
}

// Runs up to `passes` passes; a pass that changes nothing means every further
// pass would not either, so the loop stops there.
void morphRepeat(std::vector<uint8_t>& mask, int32_t width, int32_t height, bool dilate, int32_t passes,
                 std::vector<uint8_t>& rows, std::vector<uint8_t>& spare, const RowBands& bands) {
    for (int32_t i = 0; i < passes; ++i) {
        const bool changed = morphMask(mask, width, height, dilate, rows, spare, bands);
        mask.swap(spare);
        if (!changed) {
            break;
        }
    }
}

struct RegionSums {
    int64_t count = 0;
    double x = 0.0;
    double y = 0.0;
    double r = 0.0;
    double g = 0.0;
    double b = 0.0;
    double a = 0.0;
    double mask = 0.0;
    int32_t minX = 0;
    int32_t minY = 0;
    int32_t maxX = 0;
    int32_t maxY = 0;
};

// Depth-first search with an explicit stack; pixels are marked when pushed, so
// each is pushed once. The stack holds coordinates rather than indices: two
// divisions per pixel were most of the search's time.
struct StackEntry {
    int32_t x;
    int32_t y;
};

RegionSums collectRegion(const Image& image, std::vector<uint8_t>& mask, size_t start,
                         std::vector<StackEntry>& stack) {
    const int32_t width = image.width;
    const int32_t height = image.height;
    const size_t w = static_cast<size_t>(width);
    RegionSums s;
    s.minX = static_cast<int32_t>(start % w);
    s.maxX = s.minX;
    s.minY = static_cast<int32_t>(start / w);
    s.maxY = s.minY;
    stack.clear();
    mask[start] = kVisited;
    stack.push_back({s.minX, s.minY});
    uint8_t* const on = mask.data();
    const Pixel* const pixels = image.pixels.data();
    while (!stack.empty()) {
        const StackEntry at = stack.back();
        stack.pop_back();
        const int32_t x = at.x;
        const int32_t y = at.y;
        const size_t index = static_cast<size_t>(y) * w + static_cast<size_t>(x);
        const Pixel& p = pixels[index];
        ++s.count;
        s.x += x;
        s.y += y;
        s.r += p.r;
        s.g += p.g;
        s.b += p.b;
        s.a += p.a;
        s.mask += 1.0;  // the mask is binary, and this pixel is on
        s.minX = std::min(s.minX, x);
        s.maxX = std::max(s.maxX, x);
        s.minY = std::min(s.minY, y);
        s.maxY = std::max(s.maxY, y);
        // Neighbours in the order above-left, above, above-right, left, right,
        // below-left, below, below-right; the push order fixes the visit order,
        // and with it the order of the colour sums.
        const bool left = x > 0, right = x + 1 < width;
        auto visit = [&](int32_t nx, int32_t ny, size_t n) {
            if (on[n] == kOn) {
                on[n] = kVisited;
                stack.push_back({nx, ny});
            }
        };
        if (y > 0) {
            const size_t up = index - w;
            if (left) visit(x - 1, y - 1, up - 1);
            visit(x, y - 1, up);
            if (right) visit(x + 1, y - 1, up + 1);
        }
        if (left) visit(x - 1, y, index - 1);
        if (right) visit(x + 1, y, index + 1);
        if (y + 1 < height) {
            const size_t down = index + w;
            if (left) visit(x - 1, y + 1, down - 1);
            visit(x, y + 1, down);
            if (right) visit(x + 1, y + 1, down + 1);
        }
    }
    return s;
}

Blob toBlob(const RegionSums& s) {
    const double n = static_cast<double>(s.count);
    Blob b;
    b.id = -1;
    b.area = saturateToInt32(s.count);
    b.minX = s.minX;
    b.minY = s.minY;
    b.maxX = s.maxX + 1;
    b.maxY = s.maxY + 1;
    b.center = {static_cast<float>(s.x / n), static_cast<float>(s.y / n)};
    b.color = {static_cast<float>(s.r / n), static_cast<float>(s.g / n), static_cast<float>(s.b / n),
               static_cast<float>(s.a / n)};
    b.coverage = static_cast<float>(s.mask / n);
    return b;
}

}  // namespace

std::vector<Blob> detectBlobs(const Image& image, const Settings& settings, std::vector<float>* maskOut,
                              const RowBands& bands) {
    if (!isUsableImage(image)) {
        if (maskOut) {
            maskOut->clear();
        }
        return {};
    }
    const int32_t width = image.width;
    const int32_t height = image.height;
    const KeyTarget target = makeTarget(settings);

    std::vector<uint8_t> mask = settings.blurRadius > 0 ? blurredMask(image, target, settings.blurRadius, bands)
                                                        : plainMask(image, target, bands);
    std::vector<uint8_t> rows;
    std::vector<uint8_t> spare;
    morphRepeat(mask, width, height, false, settings.erodeIterations, rows, spare, bands);
    morphRepeat(mask, width, height, true, settings.dilateIterations, rows, spare, bands);

    if (maskOut) {
        maskOut->assign(mask.begin(), mask.end());
    }

    const int64_t minArea = settings.minBlobArea;
    const int64_t maxArea = std::max<int64_t>({1, settings.minBlobArea, settings.maxBlobArea});
    std::vector<Blob> blobs;
    std::vector<StackEntry> stack;
    stack.reserve(1024);
    // Scan order: the next unvisited pixel that is on, row by row.
    size_t start = 0;
    while (const void* hit = std::memchr(mask.data() + start, kOn, mask.size() - start)) {
        start = static_cast<size_t>(static_cast<const uint8_t*>(hit) - mask.data());
        const RegionSums sums = collectRegion(image, mask, start, stack);
        if (sums.count >= minArea && sums.count <= maxArea) {
            blobs.push_back(toBlob(sums));
        }
    }

    std::stable_sort(blobs.begin(), blobs.end(), [](const Blob& p, const Blob& q) {
        if (p.area != q.area) {
            return p.area > q.area;
        }
        if (p.center.y != q.center.y) {
            return p.center.y < q.center.y;
        }
        return p.center.x < q.center.x;
    });
    const size_t keep = settings.maxObjects > 0 ? static_cast<size_t>(settings.maxObjects) : 0;
    if (blobs.size() > keep) {
        blobs.resize(keep);
    }
    return blobs;
}

}  // namespace ormel
