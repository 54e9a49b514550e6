// Renders a list of frames through an instance into a sink, frame by frame,
// with progress on a terminal.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "media/frame_sink.h"
#include "host/ofx_host.h"

namespace varnok {

struct RenderLoop {
    ofxhost::Instance* instance = nullptr;
    std::vector<int> frames;
    FrameSink* sink = nullptr;
    bool progress = false;
    std::string label;   // shown before the progress figures
    // Called with the earliest and the current frame before each render, so
    // the source can decode what the plug-in will ask for, in order.
    std::function<void(int first, int current)> prefetch;
    // Non-empty when the source failed (decode error, size change).
    std::function<std::string()> sourceError;
    // Sees every rendered frame (contact sheets).
    std::function<void(int frame, const ofxhost::FloatImage&)> onFrame;
    // How each frame is rendered (its size: the frame's, or the region of definition's).
    ofxhost::RenderOptions options;
    // For the plug-in's own word on a failed action.
    const ofxhost::Plugin* plugin = nullptr;
    // Called with the first frame's size before it is written (the sink opens then).
    std::function<bool(int width, int height, std::string* error)> openSink;
    // Every frame must be the first one's size (a video).
    bool fixedSize = false;
    bool quiet = false;   // no notes on stderr
};

struct LoopTimes {
    double render = 0.0;   // plug-in render action, host hand-over included
    double total = 0.0;
    int frames = 0;
};

bool runRenderLoop(const RenderLoop& loop, LoopTimes* times, std::string* error);

}  // namespace varnok
