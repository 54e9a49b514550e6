// The engine's one entry point: one source frame in, one finished frame out.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/picture_rows.h"
#include "engine/reduction.h"
#include "engine/row_bands.h"
#include "engine/tracks.h"
#include "engine/types.h"
#include "treatments/pixel_sort.h"

namespace ormel {

// The regions of one earlier frame as tracking replays them: `reducedFrame`
// is that frame reduced by detectionFactor(settings) (reduction.h), so a
// caller may reduce frames in its own memory and keep only their regions.
std::vector<Blob> detectEarlierRegions(const Image& reducedFrame, const Settings& settings,
                                       const RowBands& bands = RowBands::single());


// Detects and tracks the regions of `source` (at the resolution chosen by
// settings.detectionScale, clamped to [1, 16]), brings them back to full-frame
// pixels and builds the picture for settings.outputMode. `samples` are the
// earlier frames, oldest first. The frame's passes are spread over `bands`
// (the caller's threads); the result has the same bits for any number of
// bands. Keeps no state: the same arguments always give the same result. An
// empty source gives an empty result.
TraceResult processFrame(const Image& source, const std::vector<FrameSample>& samples, const Settings& settings,
                         const RowBands& bands = RowBands::single());

// Working pictures a caller keeps from frame to frame, so that rendering
// takes no fresh pages and fills none on one thread; every frame overwrites
// what it uses, so nothing of one frame reaches the next.
struct FrameScratch {
    Image reduced;   // the current frame at the detection resolution
    Image layer;     // the overlay on a layer of its own, when a treatment needs one
    PixelSortScratch sort;  // the pixel sort's blurs and what it knows is clear
    // The current frame's regions at the detection resolution, as
    // detectEarlierRegions finds them, for a caller that remembers them.
    std::vector<Blob> regions;
};

// The same, with the earlier frames already reduced to their regions
// (collectEarlierRegions, earlier_regions.h), into `result`, whose every field
// is replaced; the memory its picture already holds is reused, so a caller
// rendering frame after frame takes no fresh pages for it.
void processFrameInto(const Image& source, const std::vector<FrameRegions>& earlier, const Settings& settings,
                      TraceResult& result, const RowBands& bands, FrameScratch& scratch);

// The same, for a caller that needs `source` no more: when nothing after
// detection reads the untouched picture (the overlay drawn over the source
// at full opacity, with neither magnifier nor inversion), the source's pixels
// become the result's instead of being copied. `source` is left holding
// pixels of no meaning, in memory worth reusing.
// With `out`, the finished picture is written there, every pixel of it,
// instead of into result.image, whose pixels then mean nothing: the last pass
// writes the caller's rows itself, sparing a frame-sized copy. The answer is
// whether it was: when `out` does not fit the source, nothing is written
// there and the result is as without it.
bool processFrameConsuming(Image& source, const std::vector<FrameRegions>& earlier, const Settings& settings,
                           TraceResult& result, const RowBands& bands, FrameScratch& scratch,
                           const PictureRows* out = nullptr);

// Detection and tracking alone, from the current frame's regions as
// detectEarlierRegions finds them in that frame reduced by
// detectionFactor(settings), for a frame of `width` x `height`: the blobs and
// tracks (in full-frame pixels; the tracks are what the overlay draws) that
// processFrame gives, with no mask. A caller that keeps each frame's regions
// detects every frame once.
TraceResult trackDetectedRegions(const std::vector<Blob>& regions, int32_t width, int32_t height,
                                 const std::vector<FrameRegions>& earlier, const Settings& settings);
}  // namespace ormel
