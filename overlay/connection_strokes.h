// Drawing one connection: its line (straight or curved, with per-frame jitter
// and flicker) and the motifs spaced along it.
#pragma once

#include <vector>

#include "engine/types.h"
#include "overlay/canvas.h"
#include "overlay/connection_graph.h"

namespace ormel {

// Point at t in [0, 1] of the edge's curve from a to b for
// settings.lineCurveMode (Arc, Sine, Organic; anything else straight).
// Each pair of indices bends to its own fixed side.
Vec2 curvePoint(Vec2 a, Vec2 b, float t, const Edge& edge, const Settings& settings);

// Number of strokes a curved line of straight length `length` is made of: 8 to 48.
int32_t curveSegmentCount(float length);

// Number of motifs along an edge of straight length `length`: 1 to 64.
int32_t motifCount(float length, float spacing);

// Draws the edge between tracks[edge.a] and tracks[edge.b]: the line, then
// its motifs.
void drawConnection(Canvas out, const std::vector<Track>& tracks, const Edge& edge,
                    const Settings& settings);

}  // namespace ormel
