// The argument records the main entry reads from the host's inArgs and hands
// to the effect instance, plus the collector for frames-needed ranges.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "ofxCore.h"
#include "openfx/support/ofx_enums.h"

namespace OFX {

class Clip;

struct RenderArguments {
    double time = 0.0;
    OfxPointD renderScale{1.0, 1.0};
    OfxRectI renderWindow{0, 0, 0, 0};
    FieldEnum fieldToRender = eFieldNone;
    bool sequentialRenderStatus = false;
    bool interactiveRenderStatus = false;
};

struct IsIdentityArguments {
    double time = 0.0;
    OfxPointD renderScale{1.0, 1.0};
    OfxRectI renderWindow{0, 0, 0, 0};
    FieldEnum fieldToRender = eFieldNone;
};

struct EndSequenceRenderArguments {
    OfxRangeD frameRange{0.0, 0.0};
    bool interactive = false;
};

struct FramesNeededArguments {
    double time = 0.0;
};

struct InstanceChangedArgs {
    InstanceChangeReason reason = eChangeUserEdit;
    double time = 0.0;
    OfxPointD renderScale{1.0, 1.0};
};

// What the effect says of its output before rendering; only what it sets
// reaches the host, which keeps its defaults for the rest.
class ClipPreferencesSetter {
public:
    // kOfxImageOpaque, kOfxImagePreMultiplied or kOfxImageUnPreMultiplied.
    void setOutputPremultiplication(const std::string& value) { outputPremultiplication_ = value; }
    const std::string& outputPremultiplication() const { return outputPremultiplication_; }

private:
    std::string outputPremultiplication_;
};

class FramesNeededSetter {
public:
    // Adds a range for `clip`; several calls add several ranges.
    void setFramesNeeded(const Clip& clip, const OfxRangeD& range);
    // Per clip name, the ranges in the order they were set.
    const std::map<std::string, std::vector<OfxRangeD>>& ranges() const { return ranges_; }

private:
    std::map<std::string, std::vector<OfxRangeD>> ranges_;
};

}  // namespace OFX
