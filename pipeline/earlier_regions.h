// The regions of the earlier frames one frame is tracked against, gathered
// the one way every caller gathers them: from the frame `temporalFrames`
// before the current one up to the one just before it, each either already
// known to the caller or detected in its picture at the detection resolution.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "engine/row_bands.h"
#include "engine/tracks.h"
#include "engine/types.h"

namespace ormel {

// One earlier frame as a caller hands it out.
struct EarlierFrame {
    enum class Kind {
        Missing,  // not there to use: left out
        Regions,  // `regions` are its regions, known from before
        Picture,  // `picture` is it reduced by detectionFactor(settings)
    };
    Kind kind = Kind::Missing;
    int32_t frame = 0;  // its frame number, for Regions and Picture
    std::vector<Blob> regions;
    const Image* picture = nullptr;  // must stay put until detected() is called for it
};

// Where the earlier frames come from: the host's clip, a video, a list.
class EarlierFrames {
public:
    virtual ~EarlierFrames() = default;
    // The frame `offset` frames before the current one (1 is the one just
    // before). A reduced picture may be made in `spare`, which the collection
    // keeps for it until its regions are found.
    virtual EarlierFrame fetch(int32_t offset, Image& spare) = 0;
    // The regions found in the picture fetch(offset) handed out, for a caller
    // that keeps them; called in frame order, oldest first.
    virtual void detected(int32_t offset, const std::vector<Blob>& regions) {
        (void)offset;
        (void)regions;
    }
};

// A caller's list of earlier frames, oldest first: offset 1 is the last of
// them. At full resolution each is handed out as it is (an unusable frame
// then counts as a frame without regions); reduced by `factor`, an unusable
// frame is left out.
class SampleFrames : public EarlierFrames {
public:
    SampleFrames(const std::vector<FrameSample>& samples, int32_t factor, const RowBands& bands)
        : samples_(samples), factor_(factor), bands_(bands) {}
    EarlierFrame fetch(int32_t offset, Image& spare) override;

private:
    const std::vector<FrameSample>& samples_;
    const int32_t factor_;
    const RowBands& bands_;
};

// The regions of the `count` frames before a current frame of `width` x
// `height`, oldest first, into `earlier` (replaced). Pictures wait in
// `spares` (kept from call to call; at most a quarter of a frame of them,
// and at least one) and are then detected side by side, a frame per thread
// of `bands`: each frame's regions depend on that frame alone, so the bits do
// not depend on the threads.
void collectEarlierRegions(EarlierFrames& frames, int32_t count, int32_t width, int32_t height,
                           const Settings& settings, const RowBands& bands, std::deque<Image>& spares,
                           std::vector<FrameRegions>& earlier);

}  // namespace ormel
