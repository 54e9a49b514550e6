#include "overlay/raster.h"

#include <algorithm>
#include <cmath>

#include "engine/pixel_ops.h"
#include "overlay/capsule_chord.h"
#include "overlay/coverage_run.h"
#include "overlay/row_chords.h"
#include "overlay/safe_int.h"
#include "overlay/stroke_row.h"

namespace ormel {
namespace {

constexpr int32_t kRun = kCoverageRun;

// Widest scan of a horizontal stroke whose per-column projection is kept.
constexpr int32_t kColumnCache = 1024;

}  // namespace

void drawDisk(Canvas canvas, Vec2 centre, float radius, Pixel colour, float opacity) {
    Image& image = canvas.image;
    if (radius <= 0.0f || opacity <= 0.0f || !isUsableImage(image)) return;
    int32_t x0, x1, y0, y1;
    if (!clipRange(std::floor(centre.x - radius - 1.0f), std::ceil(centre.x + radius + 1.0f),
                   image.width, x0, x1) ||
        !clipRows(std::floor(centre.y - radius - 1.0f), std::ceil(centre.y + radius + 1.0f),
                  canvas, y0, y1)) {
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
        Pixel* row = &image.at(0, y);
        prefetchRowAhead(image, y, span.lo, span.hi);
        float dRun[kRun];
        for (int32_t start = span.lo; start <= span.hi; start += kRun) {
            const int32_t count = std::min(kRun, span.hi - start + 1);
            for (int32_t i = 0; i < count; ++i) {
                const float dx = static_cast<float>(start + i) + 0.5f - centre.x;
                dRun[i] = std::sqrt(dx * dx + dy * dy);
            }
            blendCoverageRun(row + start, dRun, count, radius + 0.75f, opacity, colour);
        }
    }
}

namespace {

// One of the strokes drawn along the same segment: drawLine lays up to three
// (two halos and the core) whose only differences are thickness and opacity.
struct StrokeLayer {
    float half;     // width / 2, as given
    float opacity;  // as given, not yet multiplied by the colour's alpha
};

// Draws the layers in order as if each were a complete drawLineCore of its
// own. Every pixel's result depends only on its own earlier value, so the
// layers can be applied pixel by pixel in one scan, sharing the projection
// and the distance, with exactly the same outcome.
void drawStrokeLayers(Canvas canvas, Vec2 a, Vec2 b, const StrokeLayer* layers, int32_t count,
                      Pixel colour, float dash) {
    Image& image = canvas.image;
    StrokeLayer live[3];
    int32_t n = 0;
    for (int32_t i = 0; i < count && n < 3; ++i) {
        if (!(layers[i].opacity <= 0.0f)) live[n++] = layers[i];
    }
    if (n == 0) return;
    // A layer of NaN thickness draws nothing on its own, so it is dropped here.
    float h[3];
    float opacityOf[3];
    int32_t kept = 0;
    float widest = 0.5f;
    for (int32_t i = 0; i < n; ++i) {
        const float hi = std::max(live[i].half, 0.5f);
        if (std::isnan(hi)) continue;
        h[kept] = hi;
        opacityOf[kept++] = live[i].opacity;
        widest = std::max(widest, hi);
    }
    // Rows first: the overlay is drawn in bands, and most strokes miss most
    // of them. A dot in place of a short segment keeps within these rows too.
    const float m = widest + 1.25f;
    int32_t x0, x1, y0, y1;
    if (!clipRows(std::floor(std::min(a.y, b.y) - m), std::ceil(std::max(a.y, b.y) + m), canvas, y0, y1)) {
        return;
    }
    const float dx = b.x - a.x;
    const float dy = b.y - a.y;
    const float len2 = dx * dx + dy * dy;
    const float len = std::sqrt(len2);
    if (len <= 0.001f) {
        for (int32_t i = 0; i < n; ++i) drawDisk(canvas, a, live[i].half, colour, live[i].opacity);
        return;
    }
    if (!isUsableImage(image)) return;
    n = kept;
    if (n == 0) return;
    if (!clipRange(std::floor(std::min(a.x, b.x) - m), std::ceil(std::max(a.x, b.x) + m),
                   image.width, x0, x1)) {
        return;
    }
    const float ux = dx / len;
    const float uy = dy / len;
    const bool dashed = dash > 1.0f;
    const float period = 2.0f * dash;
    StrokeRow setup{a, dx, dy, len, len2, dashed, period, dash, n, h, opacityOf};
    // The layers are nested capsules round one segment: the widest one's
    // chord of a row holds every pixel any layer covers, so it is the only
    // chord worked out.
    const float reach = widest + 0.75f + kSpanSlack;
    float columnEx2[kColumnCache + 8];
    float columnAy[kColumnCache + 8];
    if (!dashed && dy == 0.0f && x1 - x0 < kColumnCache) {
        fillStrokeColumns(setup, x0, x1 - x0 + 1, columnEx2, columnAy);
        setup.columnEx2 = columnEx2;
        setup.columnAy = columnAy;
        setup.columnFirst = x0;
    }
    blendStrokeRows(image, y0, y1, Capsule{a, b, ux, uy, len, reach, x0, x1}, setup, colour);
}

}  // namespace

void drawLineCore(Canvas canvas, Vec2 a, Vec2 b, float width, Pixel colour, float opacity,
                  float dash) {
    const StrokeLayer core{width * 0.5f, opacity};
    drawStrokeLayers(canvas, a, b, &core, 1, colour, dash);
}

void drawLine(Canvas canvas, Vec2 a, Vec2 b, float width, Pixel colour, float opacity, float dash,
              float glowAmount) {
    const float g = glowAmount;
    if (g > 0.0f) {
        const StrokeLayer layers[3] = {{width * (8.0f * g + 4.0f) * 0.5f, opacity * g * 0.16f},
                                       {width * (4.0f * g + 2.0f) * 0.5f, opacity * g * 0.24f},
                                       {width * 0.5f, opacity}};
        drawStrokeLayers(canvas, a, b, layers, 3, colour, dash);
    } else {
        const StrokeLayer core{width * 0.5f, opacity};
        drawStrokeLayers(canvas, a, b, &core, 1, colour, dash);
    }
}

void drawRect(Canvas canvas, float left, float top, float right, float bottom, float width,
              Pixel colour, float opacity, const Settings& settings) {
    const Vec2 topLeft{left, top};
    const Vec2 topRight{right, top};
    const Vec2 bottomRight{right, bottom};
    const Vec2 bottomLeft{left, bottom};
    const float dash = settings.dashLength;
    const float glow = settings.glowAmount;
    drawLine(canvas, topLeft, topRight, width, colour, opacity, dash, glow);
    drawLine(canvas, topRight, bottomRight, width, colour, opacity, dash, glow);
    drawLine(canvas, bottomRight, bottomLeft, width, colour, opacity, dash, glow);
    drawLine(canvas, bottomLeft, topLeft, width, colour, opacity, dash, glow);
}

}  // namespace ormel
