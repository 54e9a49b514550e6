// Gives the current frame's regions identities, trails and speeds by replaying
// the earlier frames.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/types.h"

namespace ormel {

// Reading order: centres at most 6 px apart in y form one row, ordered by x;
// otherwise the smaller y comes first. Not transitive for chains of centres.
bool readsBefore(const Blob& p, const Blob& q);

// Stable sort of regions in reading order; ties keep their given order.
void sortBlobsForLabels(std::vector<Blob>& blobs);

// The regions detected in one earlier frame, at the resolution tracking
// works at.
struct FrameRegions {
    int32_t frame = 0;
    std::vector<Blob> regions;
};

// Tracks present in the current frame, whose regions are `blobs`, replayed
// from the regions of earlier frames (any order; used only when
// settings.temporalFrames >= 1). Sorted by id; identifiers start at 1 on
// every call. A NaN trackingDistance lets no region continue a track.
std::vector<Track> buildTracksFromRegions(const std::vector<FrameRegions>& earlier, const std::vector<Blob>& blobs,
                                          const Settings& settings);

// Tracks present in the current frame (`image`, whose regions are `blobs`),
// sorted by id. `samples` are earlier frames in any order; they are used only
// when settings.temporalFrames >= 1. Identifiers start at 1 on every call.
// A NaN trackingDistance lets no region continue a track.
std::vector<Track> buildTracks(const std::vector<FrameSample>& samples, const Image& image,
                               const std::vector<Blob>& blobs, const Settings& settings);

}  // namespace ormel
