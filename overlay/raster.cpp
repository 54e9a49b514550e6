#include "overlay/raster.h"

#include <algorithm>
#include <cmath>

#include "engine/pixel_ops.h"
#include "overlay/safe_int.h"

namespace ormel {
namespace {

constexpr float kSpanSlack = 0.1f;

// Inclusive column range of one row, narrowed to where a mark can reach.
struct Span {
    int32_t lo;
    int32_t hi;
};

// Narrows `span` to the pixels whose centres lie in [left, right], with one
// pixel of slack for rounding. NaN bounds leave the span as it is, since the
// per-pixel test decides anyway; returns false when nothing is left (an empty
// interval has left > right).
bool narrowSpan(float left, float right, Span& span) {
    if (std::isnan(left) || std::isnan(right)) return true;
    if (left > right) return false;
    const float first = std::floor(left - 0.5f) - 1.0f;
    const float last = std::ceil(right - 0.5f) + 1.0f;
    if (last < static_cast<float>(span.lo) || first > static_cast<float>(span.hi)) return false;
    if (first > static_cast<float>(span.lo)) span.lo = static_cast<int32_t>(first);
    if (last < static_cast<float>(span.hi)) span.hi = static_cast<int32_t>(last);
    return span.lo <= span.hi;
}

// Grows [lo, hi] by the x interval a disk of radius r about (cx, cy) covers on
// the horizontal line y = py.
void addDiskChord(float cx, float cy, float r, float py, float& lo, float& hi) {
    const float dy = py - cy;
    const float rest = r * r - dy * dy;
    if (!(rest > 0.0f)) return;
    const float half = std::sqrt(rest);
    lo = std::min(lo, cx - half);
    hi = std::max(hi, cx + half);
}

// Interval of x' where c * x' + k lies in [low, high]; false when empty.
bool linearInterval(float c, float k, float low, float high, float& from, float& to) {
    if (c == 0.0f) {
        if (!(k >= low && k <= high)) return false;
        from = -INFINITY;
        to = INFINITY;
        return true;
    }
    const float x1 = (low - k) / c;
    const float x2 = (high - k) / c;
    from = std::min(x1, x2);
    to = std::max(x1, x2);
    return true;
}

void blendPixel(Pixel& dst, Pixel colour, float amount) { dst = blendOver(dst, colour, amount); }

}  // namespace

void drawDisk(Image& image, Vec2 centre, float radius, Pixel colour, float opacity) {
    if (radius <= 0.0f || opacity <= 0.0f || !isDrawable(image)) return;
    int32_t x0, x1, y0, y1;
    if (!clipRange(std::floor(centre.x - radius - 1.0f), std::ceil(centre.x + radius + 1.0f),
                   image.width, x0, x1) ||
        !clipRange(std::floor(centre.y - radius - 1.0f), std::ceil(centre.y + radius + 1.0f),
                   image.height, y0, y1)) {
        return;
    }
    // A little beyond the exact reach, so rounding in the per-pixel distance
    // can never make a pixel outside the narrowed span count.
    const float reach = radius + 0.75f + kSpanSlack;
    for (int32_t y = y0; y <= y1; ++y) {
        const float py = static_cast<float>(y) + 0.5f;
        float lo = INFINITY, hi = -INFINITY;
        addDiskChord(centre.x, centre.y, reach, py, lo, hi);
        Span span{x0, x1};
        if (!narrowSpan(lo, hi, span)) continue;
        const float dy = py - centre.y;
        for (int32_t x = span.lo; x <= span.hi; ++x) {
            const float dx = static_cast<float>(x) + 0.5f - centre.x;
            const float d = std::sqrt(dx * dx + dy * dy);
            const float coverage = std::min(radius + 0.75f - d, 1.0f);
            if (!(coverage > 0.0f)) continue;
            blendPixel(image.at(x, y), colour, clamp01(coverage * opacity * colour.a));
        }
    }
}

void drawLineCore(Image& image, Vec2 a, Vec2 b, float width, Pixel colour, float opacity,
                  float dash) {
    const float half = width * 0.5f;
    if (opacity <= 0.0f) return;
    const float dx = b.x - a.x;
    const float dy = b.y - a.y;
    const float len2 = dx * dx + dy * dy;
    const float len = std::sqrt(len2);
    if (len <= 0.001f) {
        drawDisk(image, a, half, colour, opacity);
        return;
    }
    const float h = std::max(half, 0.5f);
    const float m = h + 1.25f;
    if (!isDrawable(image)) return;
    int32_t x0, x1, y0, y1;
    if (!clipRange(std::floor(std::min(a.x, b.x) - m), std::ceil(std::max(a.x, b.x) + m),
                   image.width, x0, x1) ||
        !clipRange(std::floor(std::min(a.y, b.y) - m), std::ceil(std::max(a.y, b.y) + m),
                   image.height, y0, y1)) {
        return;
    }
    const float reach = h + 0.75f + kSpanSlack;
    const float ux = dx / len;
    const float uy = dy / len;
    const bool dashed = dash > 1.0f;
    const float period = 2.0f * dash;
    for (int32_t y = y0; y <= y1; ++y) {
        const float py = static_cast<float>(y) + 0.5f;
        // The capsule is convex, so its chord on this row is the union of the
        // end-cap chords and the chord of the band along the segment.
        float lo = INFINITY, hi = -INFINITY;
        addDiskChord(a.x, a.y, reach, py, lo, hi);
        addDiskChord(b.x, b.y, reach, py, lo, hi);
        float f1, t1, f2, t2;
        if (linearInterval(ux, (py - a.y) * uy, 0.0f, len, f1, t1) &&
            linearInterval(-uy, (py - a.y) * ux, -reach, reach, f2, t2)) {
            const float from = std::max(f1, f2);
            const float to = std::min(t1, t2);
            if (from <= to) {
                lo = std::min(lo, a.x + from);
                hi = std::max(hi, a.x + to);
            }
        }
        Span span{x0, x1};
        if (!narrowSpan(lo, hi, span)) continue;
        for (int32_t x = span.lo; x <= span.hi; ++x) {
            const float px = static_cast<float>(x) + 0.5f;
            const float rx = px - a.x;
            const float ry = py - a.y;
            float t = (rx * dx + ry * dy) / len2;
            t = std::min(std::max(t, 0.0f), 1.0f);
            if (dashed && std::fmod(len * t, period) > dash) continue;
            const float ex = px - (a.x + t * dx);
            const float ey = py - (a.y + t * dy);
            const float d = std::sqrt(ex * ex + ey * ey);
            const float coverage = std::min(h + 0.75f - d, 1.0f);
            if (!(coverage > 0.0f)) continue;
            blendPixel(image.at(x, y), colour, clamp01(coverage * opacity * colour.a));
        }
    }
}

void drawLine(Image& image, Vec2 a, Vec2 b, float width, Pixel colour, float opacity, float dash,
              float glowAmount) {
    const float g = glowAmount;
    if (g > 0.0f) {
        drawLineCore(image, a, b, width * (8.0f * g + 4.0f), colour, opacity * g * 0.16f, dash);
        drawLineCore(image, a, b, width * (4.0f * g + 2.0f), colour, opacity * g * 0.24f, dash);
    }
    drawLineCore(image, a, b, width, colour, opacity, dash);
}

void drawRect(Image& image, float left, float top, float right, float bottom, float width,
              Pixel colour, float opacity, const Settings& settings) {
    const Vec2 topLeft{left, top};
    const Vec2 topRight{right, top};
    const Vec2 bottomRight{right, bottom};
    const Vec2 bottomLeft{left, bottom};
    const float dash = settings.dashLength;
    const float glow = settings.glowAmount;
    drawLine(image, topLeft, topRight, width, colour, opacity, dash, glow);
    drawLine(image, topRight, bottomRight, width, colour, opacity, dash, glow);
    drawLine(image, bottomRight, bottomLeft, width, colour, opacity, dash, glow);
    drawLine(image, bottomLeft, topLeft, width, colour, opacity, dash, glow);
}

}  // namespace ormel
