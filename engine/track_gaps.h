// One object's places over a range, made into a path a layer can follow.
// Through a gap (frames in a merge or missed) the places are where the
// object's motion before the gap puts it; where the object is found again
// away from that, the difference is spread over the gap, growing in
// proportion to the frames since the gap began, so the path reaches the
// found position without a leap:
//     at(f) = predicted(f) + (found(e) - predicted(e)) * (f - s) / (e - s)
// for a gap after the seen frame s and before the seen frame e.
// Missed frames after the object's last sight lead nowhere and are dropped;
// a merge that lasts to the end of the range keeps its predicted places.
#pragma once

#include <vector>

#include "engine/persistent_tracks.h"

namespace ormel {

// `path`: one object's places in ascending frame order, as linkFrame gave
// them. Returns the path settled: gaps blended, dead ends dropped, and the
// speed of every place not seen set to its step from the frame before.
std::vector<ObjectPlace> settledPath(std::vector<ObjectPlace> path);

}  // namespace ormel
