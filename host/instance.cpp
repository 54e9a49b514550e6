#include <algorithm>
#include <cmath>
#include <new>

#include "host/clip_preferences.h"
#include "host/instance_renewal.h"
#include "host/output_region.h"
#include "host/plugin_state.h"

namespace ofxhost {

namespace {

bool okOrDefault(int st) { return st == kOfxStatOK || st == kOfxStatReplyDefault; }

void setEffectInstanceProps(InstanceState& s) {
    PropertySet& p = s.effect->props;
    p.setStrings(kOfxPropType, {kOfxTypeImageEffectInstance}, true, 1);
    p.setStrings(kOfxImageEffectPropContext, {s.context}, true, 1);
    if (!p.find(kOfxPropInstanceData)) p.setPointers(kOfxPropInstanceData, {nullptr}, false, 1);
    p.setDoubles(kOfxImageEffectPropProjectSize, {s.projectWidth, s.projectHeight}, true, 2);
    p.setDoubles(kOfxImageEffectPropProjectExtent, {s.projectWidth, s.projectHeight}, true, 2);
    p.setDoubles(kOfxImageEffectPropProjectOffset, {0.0, 0.0}, true, 2);
    p.setDoubles(kOfxImageEffectPropProjectPixelAspectRatio, {1.0}, true, 1);
    p.setDoubles(kOfxImageEffectInstancePropEffectDuration, {s.frameLast - s.frameFirst + 1.0}, true, 1);
    p.setInts(kOfxImageEffectInstancePropSequentialRender, {0}, true, 1);
    p.setDoubles(kOfxImageEffectPropFrameRate, {s.frameRate}, true, 1);
    p.setDoubles(kOfxImageEffectPropFrameRange, {s.frameFirst, s.frameLast}, true, 2);
    p.setInts(kOfxPropIsInteractive, {0}, true, 1);
}

}  // namespace

void refreshClipProps(ClipObj& c, const InstanceState& s) {
    PropertySet& p = c.props;
    const bool output = c.name == kOfxImageEffectOutputClipName;
    const ImageLayout shown = presentedLayout(c);
    // An input's unmapped format is its footage's; the output has none of its own.
    const ImageLayout& unmapped = output ? shown : c.layout;
    p.setStrings(kOfxImageEffectPropPixelDepth, {depthName(shown.depth)}, true, 1);
    p.setStrings(kOfxImageEffectPropComponents, {componentsName(shown.components)}, true, 1);
    p.setStrings(kOfxImageClipPropUnmappedPixelDepth, {depthName(unmapped.depth)}, true, 1);
    p.setStrings(kOfxImageClipPropUnmappedComponents, {componentsName(unmapped.components)}, true, 1);
    p.setStrings(kOfxImageEffectPropPreMultiplication, {c.premultiplication}, true, 1);
    p.setDoubles(kOfxImagePropPixelAspectRatio, {1.0}, true, 1);
    p.setDoubles(kOfxImageEffectPropFrameRate, {s.frameRate}, true, 1);
    p.setDoubles(kOfxImageEffectPropUnmappedFrameRate, {s.frameRate}, true, 1);
    p.setDoubles(kOfxImageEffectPropFrameRange, {s.frameFirst, s.frameLast}, true, 2);
    p.setDoubles(kOfxImageEffectPropUnmappedFrameRange, {s.frameFirst, s.frameLast}, true, 2);
    p.setStrings(kOfxImageClipPropFieldOrder, {kOfxImageFieldNone}, true, 1);
    p.setInts(kOfxImageClipPropConnected, {output || c.provider || c.sharedProvider ? 1 : 0}, true, 1);
    p.setInts(kOfxImageClipPropContinuousSamples, {0}, true, 1);
}

std::unique_ptr<Instance> Plugin::createInstance(const std::string& context, int* status) {
    int local;
    if (!status) status = &local;
    PluginState& ps = *state_;
    *status = describeInContext(context);
    if (!okOrDefault(*status)) return nullptr;
    const EffectObj& desc = *ps.described(context);

    std::unique_ptr<Instance> inst(new Instance);
    InstanceState& s = *inst->state_;
    s.plugin = &ps;
    s.context = context;
    s.effect = std::make_unique<EffectObj>();
    EffectObj& e = *s.effect;
    e.isDescriptor = false;
    e.plugin = &ps;
    e.instance = &s;
    e.paramSet.owner = &e;
    for (const auto& kv : desc.props.all()) e.props.all()[kv.first] = kv.second;
    e.props.acceptsUnknown = false;
    setEffectInstanceProps(s);
    for (const auto& dc : desc.clips) {
        auto c = std::make_unique<ClipObj>();
        c->name = dc->name;
        c->props.all() = dc->props.all();
        c->owner = &e;
        refreshClipProps(*c, s);
        e.clips.push_back(std::move(c));
    }
    for (const auto& dp : desc.paramSet.params) {
        auto p = std::make_unique<ParamObj>();
        p->name = dp->name;
        p->type = dp->type;
        p->kind = dp->kind;
        p->props.all() = dp->props.all();
        p->curves = dp->curves;
        p->props.setInts(kOfxParamPropIsAnimating, {0}, true, 1);
        p->props.setInts(kOfxParamPropIsAutoKeying, {0}, true, 1);
        p->owner = &e;
        if (p->kind == ParamKind::String || p->kind == ParamKind::Custom) {
            p->anim.value.text = p->props.getString(kOfxParamPropDefault);
        } else if (componentCount(p->kind) > 0) {
            p->anim.value.numbers = p->props.getDoubles(kOfxParamPropDefault);
            p->anim.value.numbers.resize(static_cast<size_t>(componentCount(p->kind)), 0.0);
        }
        e.paramSet.byName[p->name] = p.get();
        e.paramSet.params.push_back(std::move(p));
    }
    *status = ps.call(kOfxActionCreateInstance, &e, nullptr, nullptr);
    if (!okOrDefault(*status)) {
        // The plug-in refused the instance: no destroy action for it.
        s.plugin = nullptr;
        return nullptr;
    }
    s.preferencesStatus = negotiateClipPreferences(s);
    return inst;
}

Instance::Instance() : state_(new InstanceState) {}

Instance::~Instance() {
    InstanceState& s = *state_;
    if (s.plugin) s.plugin->call(kOfxActionDestroyInstance, s.effect.get(), nullptr, nullptr);
    forgetImagesOf(&s);
    s.images.clear();
}

const std::string& Instance::context() const { return state_->context; }

std::string Instance::outputPremultiplication() {
    InstanceState& s = *state_;
    if (s.plugin && s.preferencesDirty) negotiateClipPreferences(s);
    const ClipObj* out = s.effect->clip(kOfxImageEffectOutputClipName);
    return out ? out->premultiplication : std::string(kOfxImageUnPreMultiplied);
}

namespace {

ParamObj* findParam(const InstanceState& s, const std::string& name) {
    auto it = s.effect->paramSet.byName.find(name);
    return it == s.effect->paramSet.byName.end() ? nullptr : it->second;
}

bool fits(const ParamObj& p, const ParamValue& v) {
    if (!hasValue(p.kind)) return false;
    if (p.kind == ParamKind::String || p.kind == ParamKind::Custom) return v.numbers.empty();
    if (v.numbers.size() != static_cast<size_t>(componentCount(p.kind))) return false;
    for (double d : v.numbers)
        if (!std::isfinite(d)) return false;
    if (isIntegerKind(p.kind)) {
        for (double d : v.numbers)
            if (d != std::floor(d) || std::fabs(d) > 2147483647.0) return false;
    }
    return true;
}

ParamValue normalised(const ParamObj& p, ParamValue v) {
    if (p.kind == ParamKind::Boolean) v.numbers[0] = v.numbers[0] != 0 ? 1 : 0;
    return v;
}

}  // namespace

bool Instance::hasParam(const std::string& name) const { return findParam(*state_, name) != nullptr; }

ParamKind Instance::paramKind(const std::string& name) const {
    const ParamObj* p = findParam(*state_, name);
    return p ? p->kind : ParamKind::ParametricUnknown;
}

bool Instance::setValue(const std::string& name, const ParamValue& value) {
    ParamObj* p = findParam(*state_, name);
    state_->preferencesDirty = true;   // preferences may follow parameters
    if (!p || !fits(*p, value)) return false;
    p->anim.keys.clear();
    p->anim.value = normalised(*p, value);
    return true;
}

bool Instance::setKey(const std::string& name, double time, const ParamValue& value) {
    ParamObj* p = findParam(*state_, name);
    state_->preferencesDirty = true;   // preferences may follow parameters
    if (!p || !fits(*p, value) || !std::isfinite(time)) return false;
    p->anim.keys[time] = normalised(*p, value);
    return true;
}

bool Instance::deleteKeys(const std::string& name) {
    ParamObj* p = findParam(*state_, name);
    state_->preferencesDirty = true;   // preferences may follow parameters
    if (!p) return false;
    p->anim.keys.clear();
    return true;
}

bool Instance::getValue(const std::string& name, double time, ParamValue* value) const {
    const ParamObj* p = findParam(*state_, name);
    if (!p || !value || !hasValue(p->kind)) return false;
    *value = valueAt(p->anim, p->kind, time);
    return true;
}

std::vector<double> Instance::keyTimes(const std::string& name) const {
    std::vector<double> out;
    if (const ParamObj* p = findParam(*state_, name))
        for (const auto& kv : p->anim.keys) out.push_back(kv.first);
    return out;
}

namespace {

// A clip's new source of frames replaces the old one with its labeler and
// shape, which described the old frames.
template <class Provider>
void replaceFrameSource(InstanceState& s, const std::string& clip, Provider ClipObj::*slot,
                        Provider provider) {
    if (ClipObj* c = s.effect->clip(clip)) {
        c->provider = nullptr;
        c->sharedProvider = nullptr;
        c->labeler = nullptr;
        c->shape = nullptr;
        c->*slot = std::move(provider);
        s.preferencesDirty = true;
        refreshClipProps(*c, s);
    }
}

}  // namespace

void Instance::setFrameProvider(const std::string& clip, FrameProvider provider) {
    replaceFrameSource(*state_, clip, &ClipObj::provider, std::move(provider));
}

void Instance::setSharedFrameProvider(const std::string& clip, SharedFrameProvider provider) {
    replaceFrameSource(*state_, clip, &ClipObj::sharedProvider, std::move(provider));
}

void Instance::setFrameLabeler(const std::string& clip, FrameLabeler labeler) {
    if (ClipObj* c = state_->effect->clip(clip)) c->labeler = std::move(labeler);
}

void Instance::setFrameShapeProvider(const std::string& clip, FrameShapeProvider shape) {
    if (ClipObj* c = state_->effect->clip(clip)) c->shape = std::move(shape);
}

void Instance::setClipLayout(const std::string& clip, const ImageLayout& layout) {
    InstanceState& s = *state_;
    if (ClipObj* c = s.effect->clip(clip)) {
        c->layout = layout;
        s.preferencesDirty = true;
        refreshClipProps(*c, s);
    }
}

std::string Instance::clipDepth(const std::string& clip) {
    InstanceState& s = *state_;
    if (s.plugin && s.preferencesDirty) s.preferencesStatus = negotiateClipPreferences(s);
    ClipObj* c = s.effect->clip(clip);
    return c ? depthName(presentedLayout(*c).depth) : "";
}

std::string Instance::clipComponents(const std::string& clip) {
    InstanceState& s = *state_;
    if (s.plugin && s.preferencesDirty) s.preferencesStatus = negotiateClipPreferences(s);
    ClipObj* c = s.effect->clip(clip);
    return c ? componentsName(presentedLayout(*c).components) : "";
}

void Instance::setFrameRange(double first, double last) {
    InstanceState& s = *state_;
    if (!std::isfinite(first) || !std::isfinite(last)) return;
    s.frameFirst = first;
    s.frameLast = last;
    setEffectInstanceProps(s);
    for (auto& c : s.effect->clips) refreshClipProps(*c, s);
}

void Instance::setOutsideRange(OutsideRange mode) { state_->outsideRange = mode; }

void Instance::setRenderScale(double scale) {
    if (std::isfinite(scale) && scale > 0.0 && scale <= 16.0) state_->renderScale = scale;
}

bool frameTimeFor(const InstanceState& s, double t, double* frameTime) {
    *frameTime = t;
    // A host without temporal access has the current frame only.
    if (s.plugin && !s.plugin->hostDescription.temporalClipAccess && s.inAction) *frameTime = s.actionTime;
    if (t >= s.frameFirst && t <= s.frameLast) return true;
    switch (s.outsideRange) {
        case OutsideRange::AskProvider: return true;
        case OutsideRange::Refuse: return false;
        case OutsideRange::HoldEnds: *frameTime = t < s.frameFirst ? s.frameFirst : s.frameLast; return true;
    }
    return true;
}

void Instance::setFrameRate(double fps) {
    InstanceState& s = *state_;
    if (!(fps > 0.0) || !std::isfinite(fps)) return;
    s.frameRate = fps;
    setEffectInstanceProps(s);
    for (auto& c : s.effect->clips) refreshClipProps(*c, s);
}

namespace {

// Marks the span of one action: its time, and the per-action frame cache.
// Clip preferences changed since the last action are settled first, as
// hosts do before they ask anything that depends on them.
struct ActionScope {
    InstanceState& s;
    ActionScope(InstanceState& state, double t) : s(state) {
        if (s.preferencesDirty) s.preferencesStatus = negotiateClipPreferences(s);
        s.actionTime = t;
        s.inAction = true;
        s.actionFrames.clear();
    }
    ~ActionScope() {
        s.inAction = false;
        s.actionFrames.clear();
    }
};

void addRenderArgs(PropertySet& in, double t, int x1, int y1, int x2, int y2, double scale) {
    in.setDoubles(kOfxPropTime, {t}, true, 1);
    in.setStrings(kOfxImageEffectPropFieldToRender, {kOfxImageFieldNone}, true, 1);
    in.setInts(kOfxImageEffectPropRenderWindow, {x1, y1, x2, y2}, true, 4);
    in.setDoubles(kOfxImageEffectPropRenderScale, {scale, scale}, true, 2);
}

}  // namespace

namespace {

RenderResult renderFrame(InstanceState& s, double time, const RenderOptions& options) {
    RenderResult r;
    if (!s.plugin) {
        r.error = "instance has no plug-in";
        return r;
    }
    if (!std::isfinite(time)) {
        r.status = kOfxStatErrValue;
        r.error = "render time is not finite";
        return r;
    }
    ActionScope scope(s, time);
    if (!okOrDefault(s.preferencesStatus)) {
        r.status = s.preferencesStatus;
        r.failedAction = kOfxImageEffectActionGetClipPreferences;
        return r;
    }
    const std::string mainClip = options.mainClip.empty() ? kOfxImageEffectSimpleSourceClipName : options.mainClip;
    int w = options.width, h = options.height;
    if (w < 0 || h < 0) {
        ClipObj* src = s.effect->clip(mainClip);
        std::shared_ptr<const FloatImage> f = src ? frameAt(s, *src, time) : nullptr;
        if (!f) {
            r.error = "no " + mainClip + " frame at this time to size the output";
            return r;
        }
        w = f->width;
        h = f->height;
    }
    if (w > (1 << 16) || h > (1 << 16)) {
        r.status = kOfxStatErrValue;
        r.error = "frame too large";
        return r;
    }
    s.projectWidth = w;
    s.projectHeight = h;
    setEffectInstanceProps(s);
    ClipObj* out = s.effect->clip(kOfxImageEffectOutputClipName);
    if (!out) {
        r.error = "the plug-in has no Output clip";
        return r;
    }
    ImageLayout ol = presentedLayout(*out);

    // The frame as the project sees it; the plug-in says which part of it
    // its output covers, and only that part is rendered.
    const int fx1 = ol.originX, fy1 = ol.originY, fx2 = ol.originX + w, fy2 = ol.originY + h;
    std::vector<double> rod = {double(fx1), double(fy1), double(fx2), double(fy2)};
    // Regions travel in canonical coordinates: pixels of the proxy divided by
    // the render scale.
    auto times = [](std::vector<double> v, double f) {
        for (double& d : v) d *= f;
        return v;
    };
    const double sc = s.renderScale;
    {
        PropertySet in, rodOut;
        in.setDoubles(kOfxPropTime, {time}, true, 1);
        in.setDoubles(kOfxImageEffectPropRenderScale, {s.renderScale, s.renderScale}, true, 2);
        // The default region, as the standard has it: a filter's (and paint's)
        // is its source's; a generator's the project's; any other context's
        // the union of its inputs'.
        const bool oneInput = s.context == kOfxImageEffectContextFilter || s.context == kOfxImageEffectContextPaint;
        bool first = true;
        for (const auto& c : s.effect->clips) {
            if (c->name == kOfxImageEffectOutputClipName || (oneInput && c->name != mainClip)) continue;
            std::shared_ptr<const FloatImage> f = frameAt(s, *c, time);
            if (!f) continue;
            const std::vector<double> own = {double(c->layout.originX), double(c->layout.originY),
                                             double(c->layout.originX + f->width), double(c->layout.originY + f->height)};
            if (first) rod = own;
            else rod = {std::min(rod[0], own[0]), std::min(rod[1], own[1]), std::max(rod[2], own[2]), std::max(rod[3], own[3])};
            first = false;
        }
        rodOut.setDoubles(kOfxImageEffectPropRegionOfDefinition, times(rod, 1.0 / sc), false, 4);
        const int st = s.plugin->call(kOfxImageEffectActionGetRegionOfDefinition, s.effect.get(), &in, &rodOut);
        if (!okOrDefault(st)) {
            r.status = st;
            r.failedAction = kOfxImageEffectActionGetRegionOfDefinition;
            return r;
        }
        if (st == kOfxStatOK) {
            const std::vector<double> v = rodOut.getDoubles(kOfxImageEffectPropRegionOfDefinition);
            if (v.size() == 4 && std::all_of(v.begin(), v.end(), [](double d) { return std::isfinite(d); }))
                rod = times(v, sc);
        }
    }
    r.regionOfDefinition = times(rod, 1.0 / sc);
    // Whole pixels that the region touches, within the frame.
    auto clampInt = [](double d, int lo, int hi) {
        return static_cast<int>(std::min<double>(hi, std::max<double>(lo, d)));
    };
    int wx1 = clampInt(std::floor(rod[0]), fx1, fx2), wy1 = clampInt(std::floor(rod[1]), fy1, fy2);
    int wx2 = clampInt(std::ceil(rod[2]), wx1, fx2), wy2 = clampInt(std::ceil(rod[3]), wy1, fy2);
    if (options.outputAtRegionOfDefinition) {
        const PixelBox whole = outputBox(rod, {fx1, fy1, fx2, fy2}, options.maxOutputPixels, &r.regionCut);
        wx1 = whole.x1, wy1 = whole.y1, wx2 = whole.x2, wy2 = whole.y2;
        w = wx2 - wx1;
        h = wy2 - wy1;
        ol.originX = wx1;
        ol.originY = wy1;
        ol.extraWidth = ol.extraHeight = 0;
    }
    s.output = std::make_shared<ImageBuffer>(makeOutputBuffer(w, h, ol, &s.spareOutput));
    r.renderWindow = {wx1, wy1, wx2, wy2};
    if (wx1 >= wx2 || wy1 >= wy2) {
        // Nothing of the output lies in the frame: nothing to render.
        r.status = kOfxStatOK;
        r.output = takeBuffer(std::move(s.output));
        return r;
    }
    {
        PropertySet in, roiOut;
        in.setDoubles(kOfxPropTime, {time}, true, 1);
        in.setDoubles(kOfxImageEffectPropRenderScale, {s.renderScale, s.renderScale}, true, 2);
        const std::vector<double> window = times({double(wx1), double(wy1), double(wx2), double(wy2)}, 1.0 / sc);
        in.setDoubles(kOfxImageEffectPropRegionOfInterest, window, true, 4);
        for (const auto& c : s.effect->clips)
            if (c->name != kOfxImageEffectOutputClipName)
                roiOut.setDoubles(kOfxImageClipPropRoI_ + c->name, window, false, 4);
        const int st = s.plugin->call(kOfxImageEffectActionGetRegionsOfInterest, s.effect.get(), &in, &roiOut);
        // Inputs are always handed whole, which covers any region asked for;
        // what was asked is kept for the caller to see.
        for (const auto& c : s.effect->clips)
            if (c->name != kOfxImageEffectOutputClipName)
                r.regionsOfInterest[c->name] =
                    st == kOfxStatOK ? roiOut.getDoubles(kOfxImageClipPropRoI_ + c->name) : window;
    }

    PropertySet seqIn;
    seqIn.setDoubles(kOfxImageEffectPropFrameRange, {time, time}, true, 2);
    seqIn.setDoubles(kOfxImageEffectPropFrameStep, {1.0}, true, 1);
    seqIn.setInts(kOfxPropIsInteractive, {0}, true, 1);
    seqIn.setDoubles(kOfxImageEffectPropRenderScale, {s.renderScale, s.renderScale}, true, 2);
    seqIn.setInts(kOfxImageEffectPropSequentialRenderStatus, {0}, true, 1);
    seqIn.setInts(kOfxImageEffectPropInteractiveRenderStatus, {0}, true, 1);
    int st = s.plugin->call(kOfxImageEffectActionBeginSequenceRender, s.effect.get(), &seqIn, nullptr);
    if (!okOrDefault(st)) r.failedAction = kOfxImageEffectActionBeginSequenceRender;
    if (okOrDefault(st)) {
        PropertySet in;
        addRenderArgs(in, time, wx1, wy1, wx2, wy2, s.renderScale);
        in.setInts(kOfxImageEffectPropSequentialRenderStatus, {0}, true, 1);
        in.setInts(kOfxImageEffectPropInteractiveRenderStatus, {0}, true, 1);
        in.setInts(kOfxImageEffectPropRenderQualityDraft, {0}, true, 1);
        s.latePixelsMissing = 0;
        st = s.plugin->call(kOfxImageEffectActionRender, s.effect.get(), &in, nullptr);
        if (s.latePixelsMissing > 0)
            r.error = "a source frame was gone when the plug-in read its pixels; zeros were read instead";
        const int endSt =
            s.plugin->call(kOfxImageEffectActionEndSequenceRender, s.effect.get(), &seqIn, nullptr);
        if (!okOrDefault(st)) r.failedAction = kOfxImageEffectActionRender;
        if (okOrDefault(st) && !okOrDefault(endSt)) {
            st = endSt;
            r.failedAction = kOfxImageEffectActionEndSequenceRender;
        }
    }
    r.status = st == kOfxStatReplyDefault ? kOfxStatOK : st;
    r.output = takeBuffer(std::move(s.output));
    return r;
}

}  // namespace

RenderResult Instance::render(double time, const RenderOptions& options) {
    try {
        if (state_->plugin && state_->plugin->hostDescription.likeMlt) renewPluginInstance(*state_);
        return renderFrame(*state_, time, options);
    } catch (const std::bad_alloc&) {
        // A frame larger than the memory at hand: a status, not a crash.
        state_->output.reset();
        RenderResult r;
        r.status = kOfxStatErrMemory;
        r.error = "not enough memory for this frame";
        return r;
    }
}

void Instance::recycleOutput(FloatImage&& image) { state_->spareOutput = std::move(image); }

namespace {

// An action at a time needs a plug-in and a real time; without either the
// result says the value was bad.
template <class Result>
bool refuseTimedAction(const InstanceState& s, double time, Result& r) {
    if (s.plugin && std::isfinite(time)) return false;
    r.status = kOfxStatErrValue;
    return true;
}

}  // namespace

IdentityResult Instance::isIdentity(double time) {
    InstanceState& s = *state_;
    IdentityResult r;
    if (refuseTimedAction(s, time, r)) return r;
    ActionScope scope(s, time);
    PropertySet in, out;
    addRenderArgs(in, time, 0, 0, static_cast<int>(s.projectWidth), static_cast<int>(s.projectHeight),
                  s.renderScale);
    out.setStrings(kOfxPropName, {""}, false, 1);
    out.setDoubles(kOfxPropTime, {time}, false, 1);
    r.status = s.plugin->call(kOfxImageEffectActionIsIdentity, s.effect.get(), &in, &out);
    r.identity = r.status == kOfxStatOK;
    if (r.identity) {
        r.clip = out.getString(kOfxPropName);
        r.time = out.getDouble(kOfxPropTime, 0, time);
    }
    return r;
}

FramesNeededResult Instance::getFramesNeeded(double time) {
    InstanceState& s = *state_;
    FramesNeededResult r;
    if (refuseTimedAction(s, time, r)) return r;
    ActionScope scope(s, time);
    PropertySet in, out;
    in.setDoubles(kOfxPropTime, {time}, true, 1);
    for (const auto& c : s.effect->clips) {
        if (c->name == kOfxImageEffectOutputClipName) continue;
        out.setDoubles(std::string(kOfxImageClipPropFrameRange_) + c->name, {time, time});
    }
    r.status = s.plugin->call(kOfxImageEffectActionGetFramesNeeded, s.effect.get(), &in, &out);
    for (const auto& c : s.effect->clips) {
        if (c->name == kOfxImageEffectOutputClipName) continue;
        std::vector<double> v;
        if (r.status == kOfxStatOK) v = out.getDoubles(std::string(kOfxImageClipPropFrameRange_) + c->name);
        else v = {time, time};
        auto& ranges = r.ranges[c->name];
        for (size_t i = 0; i + 1 < v.size(); i += 2) ranges.push_back({v[i], v[i + 1]});
    }
    return r;
}

int Instance::instanceChanged(const std::string& param, double time, const std::string& reason) {
    InstanceState& s = *state_;
    if (!s.plugin) return kOfxStatErrBadHandle;
    if (s.plugin->hostDescription.likeMlt) return kOfxStatReplyDefault;   // such a host never says
    if (!findParam(s, param)) return kOfxStatErrUnknown;
    if (!std::isfinite(time)) return kOfxStatErrValue;
    std::vector<std::pair<std::string, std::string>> queue{{param, reason}};
    int result = kOfxStatOK;
    // Writes the plug-in makes come back to it as changes of their own; a
    // plug-in that keeps writing in reply is cut off rather than looping forever.
    for (size_t i = 0; i < queue.size() && i < 256; ++i) {
        const auto [name, why] = queue[i];
        ActionScope scope(s, time);
        s.pluginEdits.clear();
        PropertySet reasonArgs;
        reasonArgs.setStrings(kOfxPropChangeReason, {why}, true, 1);
        PropertySet in;
        in.setStrings(kOfxPropType, {kOfxTypeParameter}, true, 1);
        in.setStrings(kOfxPropName, {name}, true, 1);
        in.setStrings(kOfxPropChangeReason, {why}, true, 1);
        in.setDoubles(kOfxPropTime, {time}, true, 1);
        in.setDoubles(kOfxImageEffectPropRenderScale, {s.renderScale, s.renderScale}, true, 2);
        const int a = s.plugin->call(kOfxActionBeginInstanceChanged, s.effect.get(), &reasonArgs, nullptr);
        const int b = s.plugin->call(kOfxActionInstanceChanged, s.effect.get(), &in, nullptr);
        const int c = s.plugin->call(kOfxActionEndInstanceChanged, s.effect.get(), &reasonArgs, nullptr);
        if (i == 0) {
            for (int st : {a, b, c})
                if (!okOrDefault(st)) {
                    result = st;
                    break;
                }
        }
        for (const std::string& edited : s.pluginEdits) queue.push_back({edited, kOfxChangePluginEdited});
    }
    s.preferencesDirty = true;
    return result;
}

const std::vector<FetchRecord>& Instance::fetchLog() const { return state_->fetches; }
void Instance::clearFetchLog() {
    state_->fetches.clear();
    state_->peakImages = 0;
}
Instance::InputReads Instance::inputReads() const {
    return InputReads{state_->inputImagesFetched.load(), state_->inputImagesRead.load()};
}
int Instance::imagesOutstanding() const { return static_cast<int>(state_->images.size()); }
int Instance::peakImagesOutstanding() const { return state_->peakImages; }

}  // namespace ofxhost
