// The tracks the effect draws at a frame, worked out with the plug-in's own
// parameter sampling and the engine calls its render makes: the parameters
// are read from the host instance at that time, the earlier frames reduced
// and detected as the render reduces and detects them, and the current frame
// tracked by the same engine function the render draws from.
#pragma once

#include "media/frame_source.h"
#include "host/ofx_host.h"
#include "cli/track_formats.h"
#include "plugin/detection_cache.h"

namespace varnok {

class TrackRecorder {
public:
    TrackRecorder(ofxhost::Instance& instance, FrameSource& source);
    // False (with `*error`) when the frame itself cannot be had.
    bool track(int frame, TrackedFrame* out, std::string* error);

private:
    ofxhost::Instance& instance_;
    FrameSource& source_;
    ofxhost::SharedFrameProvider frames_;
    ormel::DetectionCache regions_;   // earlier frames' regions, by frame number and settings
};

}  // namespace varnok
