#include <algorithm>
#include <cmath>
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

// One body for both axes; the axis is a template argument so the pixel addressing
// in the inner loops carries no branch.
template <bool vertical>
void sortLines(Image& image, const Settings& settings) {
    const Image copy = image;

    const int32_t length = std::min(std::max(settings.pixelSortLength, kMinLength), kMaxLength);
    const float amount = clamp01(settings.pixelSortAmount);
    const float randomAmount = clamp01(settings.pixelSortRandomAmount);
    const float threshold = clamp01(settings.pixelSortThreshold);
    const float probability = std::min(1.0f, 0.3f + 0.7f * amount + 0.25f * randomAmount);
    constexpr int32_t orderKey = vertical ? 1223 : 1231;
    const bool randomize = settings.pixelSortRandomize;
    const int32_t scope = settings.pixelSortScope;
    const int32_t frame = settings.frameNumber;
    const int32_t seed = settings.seed;
    const float colourMix = clamp01(settings.pixelSortColorMix);
    const Pixel colour = settings.pixelSortColor;

    const int32_t lines = vertical ? image.width : image.height;
    const int32_t positions = vertical ? image.height : image.width;
    // Longest randomised limit is trunc(1.3 * L); reserving it up front avoids regrowth.
    std::vector<SortEntry> buffer;
    buffer.reserve(static_cast<size_t>(length) * 13 / 10 + 1);

    auto source = [&](int32_t line, int32_t pos) -> const Pixel& {
        return vertical ? copy.at(line, pos) : copy.at(pos, line);
    };
    auto target = [&](int32_t line, int32_t pos) -> Pixel& {
        return vertical ? image.at(line, pos) : image.at(pos, line);
    };
    auto active = [&](int32_t line, int32_t pos) {
        return sortActivity(source(line, pos), scope) > threshold;
    };

    for (int32_t i = 0; i < lines; ++i) {
        int32_t j = 0;
        while (j < positions) {
            if (!active(i, j)) {
                ++j;
                continue;
            }
            const int32_t j0 = j;
            int32_t limit = length;
            if (randomize) {
                const float h = hash01(i, j0, frame, seedPlus(seed, 1201));
                limit = std::max(kMinLength, truncClamped(static_cast<float>(length) * (0.35f + 0.95f * h),
                                                          kMinLength, kMaxLength * 2, kMinLength));
            }
            // positions - j0 first, so j0 + limit never overflows.
            const int32_t maxEnd = j0 + std::min(limit, positions - j0);
            int32_t e = j0 + 1;
            while (e < maxEnd && active(i, e)) ++e;
            const int32_t n = e - j0;
            j = e;
            if (n < 2) continue;
            if (randomize && hash01(i, j0, frame, seedPlus(seed, 1211)) > probability) continue;

            buffer.clear();
            for (int32_t k = 0; k < n; ++k) {
                const Pixel& p = source(i, j0 + k);
                buffer.push_back(SortEntry{sortLuminance(p), p});
            }
            if (hash01(i, j0, frame, seedPlus(seed, orderKey)) > 0.5f) {
                std::stable_sort(buffer.begin(), buffer.end(),
                                 [](const SortEntry& a, const SortEntry& b) { return keyLess(b.key, a.key); });
            } else {
                std::stable_sort(buffer.begin(), buffer.end(),
                                 [](const SortEntry& a, const SortEntry& b) { return keyLess(a.key, b.key); });
            }

            float mix = amount;
            int32_t offset = 0;
            if (randomize) {
                const float jitter = 1.0f + 2.0f * randomAmount * (hash01(i, j0, frame, seedPlus(seed, 1249)) - 0.5f);
                mix = clamp01(amount * clampRange(jitter, 0.0f, 1.75f));
                // The hash is below 1, so the offset is below n.
                offset = truncClamped(static_cast<float>(n) * hash01(i, j0, frame, seedPlus(seed, 1259)), 0, n - 1, 0);
            }

            for (int32_t k = 0; k < n; ++k) {
                const SortEntry& entry = buffer[static_cast<size_t>((offset + k) % n)];
                const Pixel& s = entry.pixel;
                const Pixel& orig = source(i, j0 + k);
                const float w = std::max(std::max(s.r, s.g), std::max(s.b, 1.65f * entry.key));
                const Pixel tint{colour.r * w, colour.g * w, colour.b * w, s.a};
                Pixel c = mixPixel(s, tint, colourMix);
                c.a = s.a;  // the tint carries the pixel's own alpha; keep it exact
                target(i, j0 + k) = mixPixel(orig, c, mix);
            }
        }
    }
}

}  // namespace

void applyPixelSortAxis(Image& image, const Settings& settings, bool vertical) {
    if (!isUsableImage(image)) return;
    if (vertical) {
        sortLines<true>(image, settings);
    } else {
        sortLines<false>(image, settings);
    }
}

}  // namespace ormel
