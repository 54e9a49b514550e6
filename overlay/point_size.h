// The size of a track's point, shared by the points and the point effects.
#pragma once

#include "engine/types.h"

namespace ormel {

// Point size S: a pseudo-random size between the ordered bounds (at least 0.5)
// keyed on the track's id and current area when randomPointSize is on,
// otherwise pointSize raised to 1.
float pointSizeFor(const Track& track, const Settings& settings);

// Radius of the point's shape: S / 2 for the "Point" shape, S for the others.
float shapeRadiusFor(float size, const Settings& settings);

}  // namespace ormel
