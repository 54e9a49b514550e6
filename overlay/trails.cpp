#include "overlay/trails.h"

#include "overlay/raster.h"

namespace ormel {

void drawTrails(Canvas out, const std::vector<Track>& tracks, const Settings& settings) {
    for (const Track& track : tracks) {
        const size_t n = track.trail.size();
        if (n < 2) continue;
        const float steps = static_cast<float>(n - 1);
        for (size_t i = 1; i < n; ++i) {
            const float opacity = settings.trailOpacity * static_cast<float>(i) / steps;
            drawLine(out, track.trail[i - 1], track.trail[i], settings.trailWidth,
                     settings.trailColor, opacity, settings.dashLength, settings.glowAmount);
        }
    }
}

}  // namespace ormel
