#include "overlay/points.h"

#include <algorithm>
#include <cmath>

#include "engine/pixel_ops.h"
#include "overlay/point_size.h"
#include "overlay/raster.h"
#include "overlay/round_marks.h"
#include "overlay/safe_int.h"

namespace ormel {
namespace {

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
        case PointShape::Dot:
            drawDisk(out, c, size * 0.5f, colour, opacity);
            break;
        case PointShape::Ring:
        {
            using Kind = RoundMark::Kind;
            RoundMark marks[4];
            int32_t n = 0;
            if (settings.pointFill) marks[n++] = {Kind::Disk, size, 0.0f, opacity * 0.25f};
            if (glow > 0.0f) {
                marks[n++] = {Kind::Disk, size + 3.0f * stroke + 6.0f * glow, 0.0f, opacity * glow * 0.08f};
            }
            marks[n++] = {Kind::Ring, size, stroke, opacity};
            marks[n++] = {Kind::Disk, std::max(0.9f * stroke, 1.0f), 0.0f, opacity};
            drawRoundMarks(out, c, marks, n, colour);
            break;
        }
        case PointShape::Square:
            if (settings.pointFill) fillSquare(out, c, size, colour, opacity);
            drawRect(out, c.x - size, c.y - size, c.x + size, c.y + size, stroke, colour, opacity,
                     settings);
            break;
        case PointShape::Cross:
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
