// One row of a stroke's layers (the halos and the core drawLine lays along
// one segment): each pixel's distance to the segment, then every layer's
// coverage blend in order. Vector versions serve four or eight pixels per
// step with the scalar operations in the scalar order, so every version gives
// the same bits.
#pragma once

#include <cstdint>

#include "engine/types.h"

namespace ormel {

struct Capsule;

// Inclusive column range of one row, narrowed to where a mark can reach.
struct RowSpan {
    int32_t lo;
    int32_t hi;
};

// The segment a-b (dx, dy = b - a; len and len2 its length and squared
// length) and the layers in drawing order, layer k with half-thickness
// half[k] and opacity opacity[k].
struct StrokeRow {
    Vec2 a;
    float dx, dy, len, len2;
    bool dashed;
    float period, dash;
    int32_t layers;
    const float* half;
    const float* opacity;
    // A solid horizontal segment's projection does not depend on the row:
    // when set, the per-column values from fillStrokeColumns, the first for
    // column columnFirst.
    const float* columnEx2 = nullptr;
    const float* columnAy = nullptr;
    int32_t columnFirst = 0;
};

// For the columns first .. first + count - 1 of a solid horizontal segment
// (dy == 0): the squared x distance to the nearest point of the segment and
// that point's y, computed exactly as the per-pixel projection does. Both
// arrays need count + 8 entries; the last 8 are padding for vector loads.
void fillStrokeColumns(const StrokeRow& s, int32_t first, int32_t count, float* ex2, float* ay);

// Blends the rows y0 .. y1 of the image, each over the pixels of its row the
// capsule reaches; the capsule must hold every pixel any layer covers, and
// its columns must lie inside the image.
void blendStrokeRows(Image& image, int32_t y0, int32_t y1, const Capsule& reach, const StrokeRow& s,
                     Pixel colour);

}  // namespace ormel
