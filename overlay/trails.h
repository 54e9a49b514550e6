// Trails of past centres, the first overlay layer.
#pragma once

#include <vector>

#include "engine/types.h"
#include "overlay/canvas.h"

namespace ormel {

// For each track with at least two trail points, joins consecutive points with
// glowing strokes whose opacity rises from trailOpacity / (n - 1) for the
// oldest segment to trailOpacity for the one ending at the current centre.
void drawTrails(Canvas out, const std::vector<Track>& tracks, const Settings& settings);

}  // namespace ormel
