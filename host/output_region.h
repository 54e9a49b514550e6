// The pixels an output written at the plug-in's region of definition covers.
#pragma once

#include <vector>

namespace ofxhost {

struct PixelBox {
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

// The whole pixels `rod` (x1, y1, x2, y2 in pixels) touches. A region that is
// not finite, wider or taller than 65536, or of more than `maxPixels` pixels
// (0: no limit) is cut to `frame`, and `*cut` says so. An empty region gives
// an empty box.
PixelBox outputBox(const std::vector<double>& rod, const PixelBox& frame, double maxPixels, bool* cut);

}  // namespace ofxhost
