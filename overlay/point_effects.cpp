#include "overlay/point_effects.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "engine/pixel_ops.h"
#include "overlay/hash.h"
#include "overlay/point_size.h"
#include "overlay/safe_int.h"

namespace ormel {
namespace {

constexpr int32_t kMagnifierSalt = 701;
constexpr int32_t kFlashSalt = 761;
constexpr int32_t kInversionSalt = 809;

// The zone round one track: its centre, its reach for the scan and the
// distance rule (a square zone for the square point shape).
struct Zone {
    Vec2 c;
    float reach = 0.0f;
    bool square = false;

    float distance(float px, float py) const {
        const float dx = std::fabs(px - c.x);
        const float dy = std::fabs(py - c.y);
        return square ? std::max(dx, dy) : std::sqrt(dx * dx + dy * dy);
    }
};

// Calls visit(x, y, d) for every pixel of the zone's clipped square.
template <typename Visit>
void forEachZonePixel(const Canvas& canvas, const Zone& zone, Visit visit) {
    const Image& out = canvas.image;
    int32_t x0, x1, y0, y1;
    if (!clipRange(std::floor(zone.c.x - zone.reach), std::ceil(zone.c.x + zone.reach), out.width,
                   x0, x1) ||
        !clipRows(std::floor(zone.c.y - zone.reach), std::ceil(zone.c.y + zone.reach), canvas, y0,
                  y1)) {
        return;
    }
    for (int32_t y = y0; y <= y1; ++y) {
        const float py = static_cast<float>(y) + 0.5f;
        for (int32_t x = x0; x <= x1; ++x) visit(x, y, zone.distance(static_cast<float>(x) + 0.5f, py));
    }
}

Pixel lerp(Pixel p, Pixel q, float t) {
    return {p.r + (q.r - p.r) * t, p.g + (q.g - p.g) * t, p.b + (q.b - p.b) * t,
            p.a + (q.a - p.a) * t};
}

// Keeps a sample position inside [0, extent - 1]; NaN reads the first pixel.
float clampToExtent(float v, int32_t extent) {
    if (!(v > 0.0f)) return 0.0f;
    return std::min(v, static_cast<float>(extent - 1));
}

void applyMagnifier(Canvas canvas, const Image& src, const Track& track, const Settings& s) {
    const float intensity = clamp01(s.magnifierIntensity);
    const float opacity = clamp01(s.magnifierOpacity);
    if (!(intensity > 0.0f) || !(opacity > 0.0f)) return;
    const float size = pointSizeFor(track, s);
    const float zoom = 1.0f + 3.0f * intensity;
    const float rm = std::max(s.magnifierRadiusScale, 0.05f) * size;
    const float radius = std::max(rm * (shapeRadiusFor(size, s) / size), 0.75f);
    const Zone zone{track.blob.center, rm + 2.0f, s.pointShape == PointShape::Square};
    const Vec2 c = zone.c;
    forEachZonePixel(canvas, zone, [&](int32_t x, int32_t y, float d) {
        const float coverage = clamp01(radius - d + 0.75f);
        if (!(coverage > 0.0f)) return;
        const Pixel sample = sampleBilinear(src, (static_cast<float>(x) + 0.5f - c.x) / zoom + c.x,
                                            (static_cast<float>(y) + 0.5f - c.y) / zoom + c.y);
        Pixel& dst = canvas.image.at(x, y);
        dst = blendOver(dst, sample, clamp01(clamp01(sample.a) * coverage * opacity));
    });
}

void applyInversion(Canvas canvas, const Image& src, const Track& track, const Settings& s) {
    const float intensity = clamp01(s.pointInvertIntensity);
    if (!(intensity > 0.0f)) return;
    const float size = pointSizeFor(track, s);
    const float radius = std::max(shapeRadiusFor(size, s), 0.75f);
    const Zone zone{track.blob.center, size + 2.0f, s.pointShape == PointShape::Square};
    forEachZonePixel(canvas, zone, [&](int32_t x, int32_t y, float d) {
        const float coverage = clamp01(radius - d + 0.75f);
        if (!(coverage > 0.0f)) return;
        const Pixel sample =
            sampleBilinear(src, static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f);
        const Pixel inverse{1.0f - clamp01(sample.r), 1.0f - clamp01(sample.g),
                            1.0f - clamp01(sample.b), 1.0f};
        Pixel& dst = canvas.image.at(x, y);
        dst = blendOver(dst, inverse, clamp01(clamp01(sample.a) * coverage * intensity));
    });
}

void applyFlash(Canvas canvas, const Track& track, const Settings& s) {
    const float intensity = clamp01(s.pointFlashIntensity);
    if (!(intensity > 0.0f)) return;
    const float size = pointSizeFor(track, s);
    const float radius = std::max(shapeRadiusFor(size, s), 0.75f);
    const float glow = std::max(s.pointFlashGlow, 0.0f) * 1.2f + 0.3f;
    const Zone zone{track.blob.center, size + 2.0f, s.pointShape == PointShape::Square};
    const Pixel white{1.0f, 1.0f, 1.0f, 1.0f};
    forEachZonePixel(canvas, zone, [&](int32_t x, int32_t y, float d) {
        const float coverage = clamp01(radius - d + 0.75f);
        if (!(coverage > 0.0f)) return;
        const float amount = clamp01((clamp01(1.0f - d / radius) * glow + 0.7f) * coverage * intensity);
        Pixel& dst = canvas.image.at(x, y);
        dst = blendOver(dst, white, amount);
    });
}

}  // namespace

std::vector<uint8_t> selectPointEffectTracks(const std::vector<Track>& tracks,
                                             const Settings& settings, bool enabled, bool random,
                                             int32_t minTargets, int32_t maxTargets,
                                             float frequency, int32_t salt, int32_t slot) {
    const size_t n = tracks.size();
    std::vector<uint8_t> chosen(n, 0);
    if (!enabled || n == 0) return chosen;
    if (!random) return std::vector<uint8_t>(n, 1);
    const int64_t count = static_cast<int64_t>(n);
    const int64_t lo = std::min<int64_t>(std::max(minTargets, 0), count);
    const int64_t hi = std::max<int64_t>(std::min<int64_t>(std::max(maxTargets, 0), count), lo);
    const float share = clamp01(frequency);
    const int64_t rounded = roundToInt32(static_cast<float>(count) * share);
    int64_t k = share >= 0.999f && hi >= count ? count : rounded;
    k = std::max(std::min(k, hi), lo);
    if (k == 0) return chosen;
    std::vector<std::pair<float, size_t>> order(n);
    const int32_t key = seedPlus(settings.seed, salt);
    for (size_t i = 0; i < n; ++i) {
        // 31 * i + area wraps like the hash's own arithmetic.
        const uint32_t mix = 31u * static_cast<uint32_t>(i) + static_cast<uint32_t>(tracks[i].blob.area);
        order[i] = {hash01(tracks[i].id, static_cast<int32_t>(mix), slot, key), i};
    }
    std::sort(order.begin(), order.end());
    for (int64_t j = 0; j < k; ++j) chosen[order[static_cast<size_t>(j)].second] = 1;
    return chosen;
}

int32_t flashSlot(const Settings& settings) {
    const float rate = std::max(settings.pointFlashSpeed, 0.05f);
    return std::max(floorToInt32(static_cast<float>(settings.frameNumber) * rate), 0);
}

int32_t inversionSlot(const Settings& settings) { return std::max(settings.frameNumber, 0); }

Pixel sampleBilinear(const Image& src, float sx, float sy) {
    if (!isUsableImage(src)) return Pixel{};
    const float fx = clampToExtent(sx, src.width);
    const float fy = clampToExtent(sy, src.height);
    const int32_t x0 = std::min(static_cast<int32_t>(std::floor(fx)), src.width - 1);
    const int32_t y0 = std::min(static_cast<int32_t>(std::floor(fy)), src.height - 1);
    const int32_t x1 = std::min(x0 + 1, src.width - 1);
    const int32_t y1 = std::min(y0 + 1, src.height - 1);
    const float tx = clamp01(fx - static_cast<float>(x0));
    const float ty = clamp01(fy - static_cast<float>(y0));
    const Pixel top = lerp(src.at(x0, y0), src.at(x1, y0), tx);
    const Pixel bottom = lerp(src.at(x0, y1), src.at(x1, y1), tx);
    return lerp(top, bottom, ty);
}

void drawPointEffects(Canvas canvas, const Image& src, const std::vector<Track>& tracks,
                      const Settings& settings) {
    if (tracks.empty()) return;
    const Settings& s = settings;
    const std::vector<uint8_t> magnified = selectPointEffectTracks(
        tracks, s, s.magnifierEnable, s.magnifierRandom, s.magnifierMinTargets,
        s.magnifierMaxTargets, s.magnifierFrequency, kMagnifierSalt, 0);
    const std::vector<uint8_t> flashing = selectPointEffectTracks(
        tracks, s, s.pointFlashEnable, s.pointFlashRandom, s.pointFlashMinTargets,
        s.pointFlashMaxTargets, s.pointFlashFrequency, kFlashSalt, flashSlot(s));
    const std::vector<uint8_t> inverted = selectPointEffectTracks(
        tracks, s, s.pointInvertEnable, s.pointInvertRandom, s.pointInvertMinTargets,
        s.pointInvertMaxTargets, s.pointInvertFrequency, kInversionSalt, inversionSlot(s));
    if (!isUsableImage(canvas.image)) return;
    for (size_t i = 0; i < tracks.size(); ++i) {
        if (magnified[i]) applyMagnifier(canvas, src, tracks[i], s);
        if (inverted[i]) applyInversion(canvas, src, tracks[i], s);
        if (flashing[i]) applyFlash(canvas, tracks[i], s);
    }
}

}  // namespace ormel
