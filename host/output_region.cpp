#include "host/output_region.h"

#include <algorithm>
#include <cmath>

namespace ofxhost {

PixelBox outputBox(const std::vector<double>& rod, const PixelBox& frame, double maxPixels, bool* cut) {
    *cut = false;
    if (rod.size() != 4) return frame;
    const double x1 = std::floor(rod[0]), y1 = std::floor(rod[1]), x2 = std::ceil(rod[2]), y2 = std::ceil(rod[3]);
    if (!(x2 > x1) || !(y2 > y1)) return PixelBox{};
    const double limit = 65536.0;
    const bool bounded = std::isfinite(x1) && std::isfinite(y1) && std::isfinite(x2) && std::isfinite(y2) &&
                         std::fabs(x1) < 1e9 && std::fabs(y1) < 1e9 && std::fabs(x2) < 1e9 && std::fabs(y2) < 1e9;
    if (bounded && x2 - x1 <= limit && y2 - y1 <= limit && (maxPixels <= 0 || (x2 - x1) * (y2 - y1) <= maxPixels))
        return PixelBox{int(x1), int(y1), int(x2), int(y2)};
    *cut = true;
    PixelBox b;
    b.x1 = int(std::clamp(x1, double(frame.x1), double(frame.x2)));
    b.y1 = int(std::clamp(y1, double(frame.y1), double(frame.y2)));
    b.x2 = int(std::clamp(x2, double(b.x1), double(frame.x2)));
    b.y2 = int(std::clamp(y2, double(b.y1), double(frame.y2)));
    return b;
}

}  // namespace ofxhost
