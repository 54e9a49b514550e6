// The tracks the effect draws at a frame, worked out with the plug-in's own
// parameter sampling and the engine calls its render makes: the parameters
// are read from the host instance at that time, the earlier frames reduced
// and detected as the render reduces and detects them, and the current frame
// tracked by the same engine function the render draws from. Every frame's
// regions are kept, the current frame's included, so a sequential run
// detects each frame once.
#pragma once

#include <deque>

#include "media/frame_source.h"
#include "host/ofx_host.h"
#include "cli/track_formats.h"
#include "engine/row_bands.h"
#include "plugin/detection_cache.h"

namespace varnok {

class TrackRecorder {
public:
    TrackRecorder(ofxhost::Instance& instance, FrameSource& source);
    // False (with `*error`) when the frame itself cannot be had.
    bool track(int frame, TrackedFrame* out, std::string* error);

    // The settings the last frame was tracked with.
    const ormel::Settings& settings() const { return settings_; }
    long detections() const { return detections_; }
    uint64_t regionHits() const { return regions_.hits(); }

private:
    ofxhost::Instance& instance_;
    FrameSource& source_;
    ofxhost::SharedFrameProvider frames_;
    ormel::DetectionCache regions_;   // frames' regions, by frame number and settings
    ormel::RowBands bands_;           // the host's threads
    std::deque<ormel::Image> spares_;  // frames awaiting detection
    ormel::Image full_;                // a frame converted before its reduction
    long detections_ = 0;
    ormel::Settings settings_;
};

}  // namespace varnok
