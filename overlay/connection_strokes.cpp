#include "overlay/connection_strokes.h"

#include <algorithm>
#include <cmath>

#include "overlay/hash.h"
#include "overlay/raster.h"
#include "overlay/safe_int.h"

namespace ormel {
namespace {

constexpr float kPi = 3.1415927f;
constexpr float kTwoPi = 6.2831855f;
constexpr float kThreePi = 9.424778f;

float length(Vec2 v) { return std::sqrt(v.x * v.x + v.y * v.y); }

Vec2 operator+(Vec2 p, Vec2 q) { return {p.x + q.x, p.y + q.y}; }
Vec2 operator-(Vec2 p, Vec2 q) { return {p.x - q.x, p.y - q.y}; }
Vec2 operator*(float k, Vec2 v) { return {k * v.x, k * v.y}; }

float clampUnit(float t) { return std::min(std::max(t, 0.0f), 1.0f); }

void drawStroke(Canvas out, Vec2 p, Vec2 q, float width, float opacity, const Settings& s) {
    drawLine(out, p, q, width, s.lineColor, opacity, s.dashLength, s.glowAmount);
}

void drawMotif(Canvas out, Vec2 p, Vec2 d, float opacity, const Settings& s) {
    const Vec2 n{-d.y, d.x};
    const float sw = std::max(s.lineWidth, 0.5f);
    const float size = std::max(s.motifSize, 1.0f);
    switch (s.lineMotif) {
        case LineMotif::Arrow:
        case LineMotif::Chevron: {
            const Vec2 q = p - size * d;
            const Vec2 w1 = q + (0.48f * size) * n;
            const Vec2 w2 = q - (0.48f * size) * n;
            // The chevron is the arrow head with its tip pushed forward.
            const Vec2 tip = s.lineMotif == LineMotif::Arrow ? p : p + (0.45f * size) * d;
            drawStroke(out, tip, w1, sw, opacity, s);
            drawStroke(out, tip, w2, sw, opacity, s);
            break;
        }
        case LineMotif::Dot:
            drawDisk(out, p, 0.35f * size, s.lineColor, opacity);
            break;
        case LineMotif::Dash: {
            const Vec2 v = (0.45f * size) * n;
            drawStroke(out, p - v, p + v, sw, opacity, s);
            break;
        }
        default:
            break;
    }
}

}  // namespace

Vec2 curvePoint(Vec2 a, Vec2 b, float t, const Edge& edge, const Settings& settings) {
    const Vec2 d = b - a;
    const float len = std::max(length(d), 0.001f);
    const Vec2 nrm{-d.y / len, d.x / len};
    float amount = settings.lineCurveAmount;
    if (hash01(edge.a, edge.b, 0, seedPlus(settings.seed, 211)) < 0.5f) amount = -amount;
    float offset = 0.0f;
    switch (settings.lineCurveMode) {
        case LineCurve::Arc:
            offset = amount * std::sin(kPi * t);
            break;
        case LineCurve::Sine:
            offset = amount * std::sin(kTwoPi * t);
            break;
        case LineCurve::Organic: {
            const float phase = kTwoPi * hash01(edge.b, edge.a, 0, seedPlus(settings.seed, 317));
            offset = amount * (0.65f * std::sin(kPi * t) + 0.35f * std::sin(kThreePi * t + phase));
            break;
        }
        default:
            break;
    }
    return a + t * d + offset * nrm;
}

int32_t curveSegmentCount(float length) {
    float steps = std::trunc(length / 80.0f);
    if (!(steps > 0.0f)) steps = 0.0f;  // NaN counts as 0
    return static_cast<int32_t>(std::min(steps, 40.0f)) + 8;
}

int32_t motifCount(float length, float spacing) {
    float count = std::floor(length / spacing);
    if (!(count > 1.0f)) count = 1.0f;  // NaN counts as 1
    return static_cast<int32_t>(std::min(count, 64.0f));
}

void drawConnection(Canvas out, const std::vector<Track>& tracks, const Edge& edge,
                    const Settings& settings) {
    if (edge.a < 0 || edge.b < 0 || static_cast<size_t>(edge.a) >= tracks.size() ||
        static_cast<size_t>(edge.b) >= tracks.size()) {
        return;
    }
    Vec2 a = tracks[static_cast<size_t>(edge.a)].blob.center;
    Vec2 b = tracks[static_cast<size_t>(edge.b)].blob.center;
    const int32_t frame = settings.frameNumber;
    if (settings.lineJitter > 0.0f) {
        const float jx =
            settings.lineJitter * (hash01(edge.b, edge.a, frame, seedPlus(settings.seed, 17)) - 0.5f);
        const float jy = settings.lineJitter * (hash01(edge.a, edge.b, frame, settings.seed) - 0.5f);
        a = {a.x + jy, a.y - jx};
        b = {b.x - jx, b.y + jy};
    }
    float opacity = settings.lineOpacity;
    if (settings.lineFlicker > 0.0f) {
        const float f = settings.lineFlicker;
        opacity = settings.lineOpacity *
                  (1.0f - f + f * hash01(edge.a, edge.b, frame, seedPlus(settings.seed, 101)));
    }

    const float straight = length(b - a);
    if (settings.lineCurveMode != LineCurve::Straight && std::fabs(settings.lineCurveAmount) > 0.001f) {
        const int32_t segments = curveSegmentCount(straight);
        Vec2 previous = curvePoint(a, b, 0.0f, edge, settings);
        for (int32_t k = 1; k <= segments; ++k) {
            const float t = static_cast<float>(k) / static_cast<float>(segments);
            const Vec2 next = curvePoint(a, b, t, edge, settings);
            drawStroke(out, previous, next, settings.lineWidth, opacity, settings);
            previous = next;
        }
    } else {
        drawStroke(out, a, b, settings.lineWidth, opacity, settings);
    }

    if (settings.lineMotif == LineMotif::None || !(settings.motifSpacing > 2.0f)) return;
    const int32_t count = motifCount(std::max(straight, 0.001f), settings.motifSpacing);
    const float motifOpacity = settings.motifOpacity * opacity;
    if (motifOpacity <= 0.0f) return;
    for (int32_t k = 1; k <= count; ++k) {
        const float t = static_cast<float>(k) / static_cast<float>(count + 1);
        const Vec2 p = curvePoint(a, b, t, edge, settings);
        const Vec2 ahead = curvePoint(a, b, clampUnit(t + 0.0125f), edge, settings);
        const Vec2 behind = curvePoint(a, b, clampUnit(t - 0.0125f), edge, settings);
        const Vec2 step = ahead - behind;
        const float stepLength = std::max(length(step), 0.001f);
        const Vec2 dir{step.x / stepLength, step.y / stepLength};
        drawMotif(out, p, dir, motifOpacity, settings);
    }
}

}  // namespace ormel
