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
};

struct LoopTimes {
    double render = 0.0;   // plug-in render action, host hand-over included
    double total = 0.0;
    int frames = 0;
};

bool runRenderLoop(const RenderLoop& loop, LoopTimes* times, std::string* error);

}  // namespace varnok
