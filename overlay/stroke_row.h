// One row of a stroke's layers (the halos and the core drawLine lays along
// one segment): each pixel's distance to the segment, then every layer's
// coverage blend in order. Vector versions serve four or eight pixels per
// step with the scalar operations in the scalar order, so every version gives
// the same bits.
#pragma once

#include <cstdint>

#include "engine/types.h"

namespace ormel {

// Inclusive column range of one row, narrowed to where a mark can reach.
struct RowSpan {
    int32_t lo;
    int32_t hi;
};

// The segment a-b (dx, dy = b - a; len and len2 its length and squared
// length) and the layers in drawing order. Layer k covers at most
// spans[k] of the current row, with half-thickness half[k] and opacity
// opacity[k].
struct StrokeRow {
    Vec2 a;
    float dx, dy, len, len2;
    bool dashed;
    float period, dash;
    int32_t layers;
    const float* half;
    const float* opacity;
    const RowSpan* spans;
};

// Blends the pixels [span.lo, span.hi] of the row whose centres lie at height
// py; span must lie inside the row and hold every spans[k].
void blendStrokeRow(Pixel* row, float py, RowSpan span, const StrokeRow& s, Pixel colour);

}  // namespace ormel
