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
// earlier frames, oldest first. Keeps no state: the same arguments always give
// the same result. An empty source gives an empty result.
TraceResult processFrame(const Image& source, const std::vector<FrameSample>& samples, const Settings& settings);

// The same, with the frame's passes spread over `bands` (the caller's threads);
// the result has the same bits for any number of bands.
TraceResult processFrame(const Image& source, const std::vector<FrameSample>& samples, const Settings& settings,
                         const RowBands& bands);

// The same, with the earlier frames already reduced to their regions by
// detectEarlierRegions; gives exactly what processFrame gives for the frames
// those regions came from.
TraceResult processFrameWithRegions(const Image& source, const std::vector<FrameRegions>& earlier,
                                    const Settings& settings, const RowBands& bands = RowBands::single());

// Detection and tracking alone, exactly as the two functions above do them
// before they draw: blobs and tracks in full-frame pixels (the tracks are
// what the overlay draws), the mask in matte mode; the image stays empty.
TraceResult trackFrameWithRegions(const Image& source, const std::vector<FrameRegions>& earlier,
                                  const Settings& settings, const RowBands& bands = RowBands::single());

// The same from the current frame's regions as detectEarlierRegions finds
// them in that frame reduced by detectionFactor(settings), for a frame of
// `width` x `height`: the blobs and tracks trackFrameWithRegions gives, with
// no mask. A caller that keeps each frame's regions detects every frame once.
TraceResult trackDetectedRegions(const std::vector<Blob>& regions, int32_t width, int32_t height,
                                 const std::vector<FrameRegions>& earlier, const Settings& settings);

// The same into `result`, whose every field is replaced; the memory its
// picture already holds is reused, so a caller rendering frame after frame
// takes no fresh pages for it.
void processFrameWithRegionsInto(const Image& source, const std::vector<FrameRegions>& earlier,
                                 const Settings& settings, TraceResult& result,
                                 const RowBands& bands = RowBands::single());

// Working pictures a caller keeps from frame to frame, so that rendering
// takes no fresh pages and fills none on one thread; every frame overwrites
// what it uses, so nothing of one frame reaches the next.
struct FrameScratch {
    Image reduced;   // the current frame at the detection resolution
    Image layer;     // the overlay on a layer of its own, when a treatment needs one
    PixelSortScratch sort;  // the pixel sort's blurs and what it knows is clear
};
void processFrameWithRegionsInto(const Image& source, const std::vector<FrameRegions>& earlier,
                                 const Settings& settings, TraceResult& result, const RowBands& bands,
                                 FrameScratch& scratch);

// The same, for a caller that needs `source` no more: when nothing after
// detection reads the untouched picture (the overlay drawn over the source
// at full opacity, with neither magnifier nor inversion), the source's pixels
// become the result's instead of being copied. `source` is left holding
// pixels of no meaning, in memory worth reusing.
void processFrameWithRegionsConsuming(Image& source, const std::vector<FrameRegions>& earlier,
                                      const Settings& settings, TraceResult& result, const RowBands& bands,
                                      FrameScratch& scratch);

// The same, with the finished picture written into `out`, every pixel of it,
// instead of into result.image, whose pixels then mean nothing: the last pass
// writes the caller's rows itself, sparing a frame-sized copy. When `out` does
// not fit the source, nothing is written there, the result is the function
// above's, and the answer is false.
bool processFrameWithRegionsConsuming(Image& source, const std::vector<FrameRegions>& earlier,
                                      const Settings& settings, TraceResult& result, const RowBands& bands,
                                      FrameScratch& scratch, const PictureRows& out);
}  // namespace ormel
