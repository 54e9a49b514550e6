#include "cli/clip_inputs.h"

#include <cmath>

namespace varnok {

namespace {

bool flag(const ofxhost::PropertyMap& props, const char* name) {
    auto it = props.find(name);
    return it != props.end() && !it->second.values.empty() && it->second.values[0] == "1";
}

std::vector<std::string> strings(const ofxhost::PropertyMap& props, const char* name) {
    auto it = props.find(name);
    return it == props.end() ? std::vector<std::string>{} : it->second.values;
}

}  // namespace

ClipFacts clipFacts(const ofxhost::ClipInfo& c) {
    return {c.name, flag(c.properties, "OfxImageClipPropOptional"), flag(c.properties, "OfxImageClipPropIsMask"),
            strings(c.properties, "OfxImageEffectPropSupportedComponents")};
}

std::vector<ClipFacts> inputClips(const std::vector<ofxhost::ClipInfo>& clips) {
    std::vector<ClipFacts> out;
    for (const ofxhost::ClipInfo& c : clips)
        if (c.name != "Output") out.push_back(clipFacts(c));
    return out;
}

std::string mainClipOf(const std::vector<ClipFacts>& inputs) {
    for (const ClipFacts& c : inputs)
        if (c.name == "Source") return c.name;
    for (const ClipFacts& c : inputs)
        if (!c.optional) return c.name;
    return inputs.empty() ? "" : inputs.front().name;
}

bool openExtraInputs(const std::vector<std::string>& options, const std::vector<ClipFacts>& inputs,
                     const std::string& mainClip, std::vector<ExtraInput>* out, std::string* error) {
    for (const std::string& text : options) {
        const size_t eq = text.find('=');
        if (eq == std::string::npos || eq == 0 || eq + 1 == text.size()) {
            *error = "--input expects CLIP=PATH, got \"" + text + "\"";
            return false;
        }
        const std::string clip = text.substr(0, eq), path = text.substr(eq + 1);
        bool known = false;
        std::string names;
        for (const ClipFacts& c : inputs) {
            known = known || c.name == clip;
            names += (names.empty() ? "" : ", ") + c.name;
        }
        if (!known) {
            *error = "--input " + clip + ": the plug-in has no such input clip (it has: " +
                     (names.empty() ? std::string("none") : names) + ")";
            return false;
        }
        if (clip == mainClip) {
            *error = "--input " + clip + ": that is the main clip, fed by INPUT";
            return false;
        }
        for (const ExtraInput& e : *out)
            if (e.clip == clip) {
                *error = "--input " + clip + " is given twice";
                return false;
            }
        ExtraInput e{clip, std::make_unique<FrameSource>()};
        if (!e.source->open(path, error)) {
            *error = "--input " + clip + ": " + *error;
            return false;
        }
        out->push_back(std::move(e));
    }
    return true;
}

ofxhost::FrameProvider heldFrameProvider(FrameSource& source) {
    ofxhost::FrameProvider frames = source.provider();
    const bool still = source.frames().size() == 1;
    const int only = source.frames().front();
    return [frames, still, only](double t, ofxhost::FloatImage& out) {
        return frames(still ? only : t, out);
    };
}

}  // namespace varnok
