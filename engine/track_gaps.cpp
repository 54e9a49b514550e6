#include "engine/track_gaps.h"

#include <cmath>
#include <cstddef>

namespace ormel {

std::vector<ObjectPlace> settledPath(std::vector<ObjectPlace> path) {
    while (!path.empty() && path.back().state == TrackState::Predicted) path.pop_back();
    const size_t n = path.size();
    for (size_t i = 0; i < n;) {
        if (path[i].state == TrackState::Seen) {
            ++i;
            continue;
        }
        size_t end = i;  // first seen place after the gap, or n
        while (end < n && path[end].state != TrackState::Seen) ++end;
        if (i > 0 && end < n) {
            const ObjectPlace& found = path[end];
            const float span = static_cast<float>(found.frame - path[i - 1].frame);
            const float dx = found.at.x - found.predicted.x, dy = found.at.y - found.predicted.y;
            for (size_t k = i; k < end; ++k) {
                const float share = static_cast<float>(path[k].frame - path[i - 1].frame) / span;
                path[k].at = {path[k].at.x + dx * share, path[k].at.y + dy * share};
                path[k].box = boxMovedTo(path[k].box, path[k].at);
            }
        }
        i = end;
    }
    for (size_t k = 0; k < n; ++k) {
        if (path[k].state == TrackState::Seen) continue;
        const bool follows = k > 0 && path[k - 1].frame == path[k].frame - 1;
        path[k].speed = follows ? std::hypot(path[k].at.x - path[k - 1].at.x, path[k].at.y - path[k - 1].at.y) : 0.0f;
    }
    return path;
}

}  // namespace ormel
