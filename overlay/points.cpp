#include "overlay/points.h"

#include <algorithm>
#include <cmath>

#include "engine/pixel_ops.h"
#include "overlay/coverage_run.h"
#include "overlay/point_size.h"
#include "overlay/raster.h"
#include "overlay/safe_int.h"

namespace ormel {
namespace {

// Anti-aliased ring of radius S and stroke w, brightest where |d - S| is 0.
void drawRing(Canvas canvas, Vec2 c, float size, float stroke, Pixel colour, float opacity) {
    Image& out = canvas.image;
    const float reach = size + stroke + 1.0f;
    int32_t x0, x1, y0, y1;
    if (!isUsableImage(out) || !clipRange(std::floor(c.x - reach), std::ceil(c.x + reach), out.width, x0, x1) ||
        !clipRows(std::floor(c.y - reach), std::ceil(c.y + reach), canvas, y0, y1)) {
        return;
    }
    const float edge = std::max(stroke * 0.5f, 0.5f) + 0.75f;
    float ringDistance[kCoverageRun];
    for (int32_t y = y0; y <= y1; ++y) {
        const float dy = static_cast<float>(y) + 0.5f - c.y;
        Pixel* row = &out.at(0, y);
        for (int32_t start = x0; start <= x1; start += kCoverageRun) {
            const int32_t count = std::min(kCoverageRun, x1 - start + 1);
            for (int32_t i = 0; i < count; ++i) {
                const float dx = static_cast<float>(start + i) + 0.5f - c.x;
                ringDistance[i] = std::fabs(std::sqrt(dx * dx + dy * dy) - size);
            }
            blendCoverageRun(row + start, ringDistance, count, edge, opacity, colour);
        }
    }
}

// Flat fill of the columns and rows trunc(c - S) .. trunc(c + S), no anti-aliasing.
void fillSquare(Canvas canvas, Vec2 c, float size, Pixel colour, float opacity) {
    Image& out = canvas.image;
    int32_t x0, x1, y0, y1;
    if (!isUsableImage(out) || !clipRange(std::trunc(c.x - size), std::trunc(c.x + size), out.width, x0, x1) ||
        !clipRows(std::trunc(c.y - size), std::trunc(c.y + size), canvas, y0, y1)) {
        return;
    }
    const float amount = clamp01(opacity * 0.2f * colour.a);
    for (int32_t y = y0; y <= y1; ++y) {
        for (int32_t x = x0; x <= x1; ++x) {
            Pixel& dst = out.at(x, y);
            dst = blendOver(dst, colour, amount);
        }
    }
}

}  // namespace

void drawPoint(Canvas out, const Track& track, const Settings& settings) {
    const float size = pointSizeFor(track, settings);
    const float stroke = std::max(settings.pointStroke, 0.5f);
    const Vec2 c = track.blob.center;
    const Pixel colour = settings.pointColor;
    const float opacity = settings.pointOpacity;
    const float glow = settings.glowAmount;
    switch (settings.pointShape) {
        case 0:
            drawDisk(out, c, size * 0.5f, colour, opacity);
            break;
        case 1:
            if (settings.pointFill) drawDisk(out, c, size, colour, opacity * 0.25f);
            if (glow > 0.0f) {
                drawDisk(out, c, size + 3.0f * stroke + 6.0f * glow, colour, opacity * glow * 0.08f);
            }
            drawRing(out, c, size, stroke, colour, opacity);
            drawDisk(out, c, std::max(0.9f * stroke, 1.0f), colour, opacity);
            break;
        case 2:
            if (settings.pointFill) fillSquare(out, c, size, colour, opacity);
            drawRect(out, c.x - size, c.y - size, c.x + size, c.y + size, stroke, colour, opacity,
                     settings);
            break;
        case 3:
            drawLine(out, {c.x - size, c.y}, {c.x + size, c.y}, stroke, colour, opacity,
                     settings.dashLength, glow);
            drawLine(out, {c.x, c.y - size}, {c.x, c.y + size}, stroke, colour, opacity,
                     settings.dashLength, glow);
            break;
        default:
            break;
    }
}

}  // namespace ormel
