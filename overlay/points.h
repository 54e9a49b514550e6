// The mark drawn at each track's centre: dot, ring, square or cross.
#pragma once

#include "engine/types.h"
#include "overlay/canvas.h"

namespace ormel {

// Draws the track's point in settings.pointShape (Dot, Ring, Square,
// Cross); any other value draws nothing.
void drawPoint(Canvas canvas, const Track& track, const Settings& settings);

}  // namespace ormel
