// Which footage feeds which clip of the chosen context: INPUT the main clip,
// --input CLIP=PATH the others.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/ofx_host.h"
#include "media/frame_source.h"

namespace varnok {

struct ClipFacts {
    std::string name;
    bool optional = false;
    bool mask = false;
    std::vector<std::string> components;
};

ClipFacts clipFacts(const ofxhost::ClipInfo& clip);
// The input clips of a described context, in definition order.
std::vector<ClipFacts> inputClips(const std::vector<ofxhost::ClipInfo>& clips);

// "Source" when there is one, else the first input that is not optional,
// else the first input; "" when the context has none (a generator).
std::string mainClipOf(const std::vector<ClipFacts>& inputs);

struct ExtraInput {
    std::string clip;
    std::unique_ptr<FrameSource> source;
};

// Opens the footage of each --input CLIP=PATH; false with `*error` for a
// malformed option, a clip the context lacks or the main clip, or footage
// that does not open.
bool openExtraInputs(const std::vector<std::string>& options, const std::vector<ClipFacts>& inputs,
                     const std::string& mainClip, std::vector<ExtraInput>* out, std::string* error);

// Frames of `source` by frame number; a single picture stands for every frame.
ofxhost::FrameProvider heldFrameProvider(FrameSource& source);

}  // namespace varnok
