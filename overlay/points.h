// The mark drawn at each track's centre: dot, ring, square or cross.
#pragma once

#include "engine/types.h"
#include "overlay/canvas.h"

namespace ormel {

// Draws the track's point in settings.pointShape (0 dot, 1 ring, 2 square,
// 3 cross); any other shape draws nothing.
void drawPoint(Canvas canvas, const Track& track, const Settings& settings);

}  // namespace ormel
