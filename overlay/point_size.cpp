#include "overlay/point_size.h"

#include <algorithm>

#include "overlay/hash.h"

namespace ormel {

float pointSizeFor(const Track& track, const Settings& settings) {
    if (!settings.randomPointSize) return std::max(settings.pointSize, 1.0f);
    const float lo = std::max(std::min(settings.pointSizeMin, settings.pointSizeMax), 0.5f);
    const float hi = std::max({settings.pointSizeMin, settings.pointSizeMax, lo});
    return lo + (hi - lo) * hash01(track.id, track.blob.area, 0, seedPlus(settings.seed, 503));
}

float shapeRadiusFor(float size, const Settings& settings) {
    return settings.pointShape == PointShape::Dot ? size * 0.5f : size;
}

}  // namespace ormel
