// Proxy rendering: hosts render previews at a scale below 1 and hand the
// plug-in source images made smaller by that scale (their render scale).
#pragma once

#include "host/ofx_host.h"

namespace ofxhost {

// Pixels along one side of a frame of `full` pixels at `scale`: the frame's
// extent times the scale, rounded outwards.
int proxySize(int full, double scale);

// `full` at `scale`: each pixel the mean of the full-size pixels it covers
// (below 1), or the nearest one (above 1).
FloatImage proxyImage(const FloatImage& full, double scale);

}  // namespace ofxhost
