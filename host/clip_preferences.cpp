#include "host/clip_preferences.h"

#include <algorithm>
#include <vector>

#include "host/plugin_state.h"

namespace ofxhost {

bool depthFromName(const std::string& name, BitDepth* depth) {
    for (BitDepth d : {BitDepth::Byte, BitDepth::Short, BitDepth::Half, BitDepth::Float})
        if (name == depthName(d)) {
            *depth = d;
            return true;
        }
    return false;
}

bool componentsFromName(const std::string& name, Components* components) {
    for (Components c : {Components::RGBA, Components::RGB, Components::Alpha})
        if (name == componentsName(c)) {
            *components = c;
            return true;
        }
    return false;
}

namespace {

bool isOutput(const ClipObj& c) { return c.name == kOfxImageEffectOutputClipName; }

// The values a plug-in lists by name, the ones this host does not know
// skipped; a plug-in that names none gets what every plug-in must take.
template <class T>
std::vector<T> supported(const PropertySet& props, const char* property,
                         bool (*fromName)(const std::string&, T*), T mandatory) {
    std::vector<T> out;
    for (const std::string& n : props.getStrings(property)) {
        T v;
        if (fromName(n, &v)) out.push_back(v);
    }
    if (out.empty()) out.push_back(mandatory);
    return out;
}

std::vector<BitDepth> supportedDepths(const EffectObj& e) {
    return supported(e.props, kOfxImageEffectPropSupportedPixelDepths, depthFromName,
                     BitDepth::Float);
}

std::vector<Components> supportedComponents(const ClipObj& c) {
    return supported(c.props, kOfxImageEffectPropSupportedComponents, componentsFromName,
                     Components::RGBA);
}

int depthRank(BitDepth d) {
    switch (d) {
        case BitDepth::Byte: return 0;
        case BitDepth::Short: return 1;
        case BitDepth::Half: return 2;
        case BitDepth::Float: return 3;
    }
    return 3;
}

// The footage's own depth when the plug-in takes it; otherwise the nearest
// deeper one it takes, so nothing is lost; otherwise its deepest.
BitDepth pickDepth(const std::vector<BitDepth>& supported, BitDepth want) {
    if (std::find(supported.begin(), supported.end(), want) != supported.end()) return want;
    const BitDepth* best = nullptr;
    for (const BitDepth& d : supported)
        if (depthRank(d) > depthRank(want) && (!best || depthRank(d) < depthRank(*best))) best = &d;
    if (best) return *best;
    return *std::max_element(supported.begin(), supported.end(),
                             [](BitDepth a, BitDepth b) { return depthRank(a) < depthRank(b); });
}

// The wanted components when the clip takes them, else RGBA, else the first
// the clip names.
Components pickComponents(const std::vector<Components>& supported, Components want) {
    for (Components c : {want, Components::RGBA})
        if (std::find(supported.begin(), supported.end(), c) != supported.end()) return c;
    return supported.front();
}

bool contains(const std::vector<BitDepth>& v, BitDepth d) { return std::find(v.begin(), v.end(), d) != v.end(); }
bool contains(const std::vector<Components>& v, Components c) {
    return std::find(v.begin(), v.end(), c) != v.end();
}

}  // namespace

int negotiateClipPreferences(InstanceState& s) {
    EffectObj& e = *s.effect;
    const std::vector<BitDepth> depths = supportedDepths(e);
    const bool multipleDepths = e.props.getInt(kOfxImageEffectPropSupportsMultipleClipDepths) != 0;

    // Defaults: inputs keep their footage's format where the plug-in allows,
    // the output follows the first input.
    BitDepth footageDepth = BitDepth::Float;
    Components footageComponents = Components::RGBA;
    for (const auto& c : e.clips)
        if (!isOutput(*c)) {
            footageDepth = c->layout.depth;
            footageComponents = c->layout.components;
            break;
        }
    const BitDepth commonDepth = pickDepth(depths, footageDepth);
    for (auto& c : e.clips) {
        c->depth = commonDepth;
        c->components = pickComponents(supportedComponents(*c), isOutput(*c) ? footageComponents
                                                                               : c->layout.components);
    }

    PropertySet out;
    for (const auto& c : e.clips) {
        out.setStrings(kOfxImageClipPropComponents_ + c->name, {componentsName(c->components)}, false, 1);
        out.setStrings(kOfxImageClipPropDepth_ + c->name, {depthName(c->depth)}, false, 1);
        out.setDoubles(kOfxImageClipPropPAR_ + c->name, {1.0}, false, 1);
    }
    out.setDoubles(kOfxImageEffectPropFrameRate, {s.frameRate}, false, 1);
    out.setDoubles(kOfxImagePropPixelAspectRatio, {1.0}, false, 1);
    out.setStrings(kOfxImageEffectPropPreMultiplication, {kOfxImageUnPreMultiplied}, false, 1);
    out.setStrings(kOfxImageClipPropFieldOrder, {kOfxImageFieldNone}, false, 1);
    out.setInts(kOfxImageClipPropContinuousSamples, {0}, false, 1);
    out.setInts(kOfxImageEffectFrameVarying, {0}, false, 1);
    const int st = s.plugin->call(kOfxImageEffectActionGetClipPreferences, &e, nullptr, &out);
    if (ClipObj* o = e.clip(kOfxImageEffectOutputClipName)) {
        const std::string declared = st == kOfxStatOK ? out.getString(kOfxImageEffectPropPreMultiplication) : "";
        const bool known =
            declared == kOfxImageOpaque || declared == kOfxImagePreMultiplied || declared == kOfxImageUnPreMultiplied;
        o->premultiplication = known ? declared : kOfxImageUnPreMultiplied;
    }

    if (st == kOfxStatOK) {
        // Only what the plug-in said it can take is honoured; without
        // multiple clip depths every clip takes the output's depth.
        for (auto& c : e.clips) {
            Components k;
            if (componentsFromName(out.getString(kOfxImageClipPropComponents_ + c->name), &k) &&
                contains(supportedComponents(*c), k))
                c->components = k;
        }
        BitDepth outputDepth = commonDepth;
        if (ClipObj* o = e.clip(kOfxImageEffectOutputClipName)) {
            BitDepth d;
            if (depthFromName(out.getString(kOfxImageClipPropDepth_ + o->name), &d) && contains(depths, d))
                outputDepth = d;
        }
        for (auto& c : e.clips) {
            c->depth = outputDepth;
            BitDepth d;
            if (multipleDepths && depthFromName(out.getString(kOfxImageClipPropDepth_ + c->name), &d) &&
                contains(depths, d))
                c->depth = d;
        }
    }
    for (auto& c : e.clips) refreshClipProps(*c, s);
    s.preferencesDirty = false;
    return st;
}

ImageLayout presentedLayout(const ClipObj& c) {
    ImageLayout l = c.layout;
    if (!l.imposeFormat) {
        l.depth = c.depth;
        l.components = c.components;
    }
    return l;
}

}  // namespace ofxhost
