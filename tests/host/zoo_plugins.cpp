// One bundle of small plug-ins that know nothing of Varnok, each standing for
// a kind a real host meets, so varnok is tested as a host of any plug-in:
//   Merge2      general only, inputs "A" and "B": out = A + B.
//   Wipe        transition: out = SourceFrom + (SourceTo - SourceFrom) * Transition.
//   Ramp        generator, no input: out = (x, y, time, 1) in canonical pixels.
//   Grow        filter whose region of definition is the source's grown by 2
//               pixels: the source inside, opaque blue around it.
//   Curve       filter with a parametric curve "lut" whose default control
//               points (0, 1) and (1, 0) invert colour: out = lut(src).
//   Crash       filter that copies the source and crashes rendering frame 3.
//   NeedsSuite  refuses to create an instance without the interact suite,
//               and says so.
// Float RGBA only; pixels through bounds and row bytes, inside the window.
#include <cstring>

#include "openfx/include/ofxImageEffect.h"
#include "openfx/include/ofxMessage.h"
#include "openfx/include/ofxParametricParam.h"

namespace {

enum Kind { Merge2, Wipe, Ramp, Grow, Curve, Crash, NeedsSuite, KindCount };

OfxHost* gHost = nullptr;
const OfxPropertySuiteV1* gProp = nullptr;
const OfxImageEffectSuiteV1* gEffect = nullptr;
const OfxParameterSuiteV1* gParam = nullptr;
const OfxParametricParameterSuiteV1* gCurves = nullptr;
const OfxMessageSuiteV1* gMessage = nullptr;
volatile int* gNowhere = nullptr;   // written through by Crash

// A real invalid store. Kept from the undefined-behaviour checker, which
// would otherwise end the process itself before the fault is taken.
__attribute__((no_sanitize("undefined"))) void storeThroughNull() { *gNowhere = 1; }

void setHost(OfxHost* h) { gHost = h; }

const void* suite(const char* name) { return gHost->fetchSuite(gHost->host, name, 1); }

struct Image {
    OfxPropertySetHandle handle = nullptr;
    char* data = nullptr;
    int bounds[4] = {0, 0, 0, 0};
    int rowBytes = 0;

    bool fetch(OfxImageEffectHandle effect, const char* clipName, OfxTime t) {
        OfxImageClipHandle clip;
        if (gEffect->clipGetHandle(effect, clipName, &clip, nullptr) != kOfxStatOK) return false;
        if (gEffect->clipGetImage(clip, t, nullptr, &handle) != kOfxStatOK) return false;
        void* p = nullptr;
        gProp->propGetPointer(handle, kOfxImagePropData, 0, &p);
        data = static_cast<char*>(p);
        gProp->propGetIntN(handle, kOfxImagePropBounds, 4, bounds);
        gProp->propGetInt(handle, kOfxImagePropRowBytes, 0, &rowBytes);
        return data != nullptr;
    }
    ~Image() {
        if (handle) gEffect->clipReleaseImage(handle);
    }
    float* at(int x, int y) const {
        if (x < bounds[0] || x >= bounds[2] || y < bounds[1] || y >= bounds[3]) return nullptr;
        return reinterpret_cast<float*>(data + static_cast<long>(y - bounds[1]) * rowBytes +
                                        static_cast<long>(x - bounds[0]) * 16);
    }
};

const char* const kIds[KindCount] = {
    "org.varnok.tests.Merge2", "org.varnok.tests.Wipe",  "org.varnok.tests.Ramp",      "org.varnok.tests.Grow",
    "org.varnok.tests.Curve",  "org.varnok.tests.Crash", "org.varnok.tests.NeedsSuite",
};

const char* contextOf(Kind k) {
    switch (k) {
        case Merge2: return kOfxImageEffectContextGeneral;
        case Wipe: return kOfxImageEffectContextTransition;
        case Ramp: return kOfxImageEffectContextGenerator;
        default: return kOfxImageEffectContextFilter;
    }
}

void defineClip(OfxImageEffectHandle effect, const char* name) {
    OfxPropertySetHandle clip;
    gEffect->clipDefine(effect, name, &clip);
    gProp->propSetString(clip, kOfxImageEffectPropSupportedComponents, 0, kOfxImageComponentRGBA);
}

OfxStatus describe(Kind k, OfxImageEffectHandle effect) {
    OfxPropertySetHandle p;
    gEffect->getPropertySet(effect, &p);
    gProp->propSetString(p, kOfxPropLabel, 0, kIds[k] + std::strlen("org.varnok.tests."));
    gProp->propSetString(p, kOfxImageEffectPropSupportedContexts, 0, contextOf(k));
    gProp->propSetString(p, kOfxImageEffectPropSupportedPixelDepths, 0, kOfxBitDepthFloat);
    return kOfxStatOK;
}

OfxStatus describeInContext(Kind k, OfxImageEffectHandle effect) {
    switch (k) {
        case Merge2: defineClip(effect, "A"), defineClip(effect, "B"); break;
        case Wipe:
            defineClip(effect, kOfxImageEffectTransitionSourceFromClipName);
            defineClip(effect, kOfxImageEffectTransitionSourceToClipName);
            break;
        case Ramp: break;
        default: defineClip(effect, kOfxImageEffectSimpleSourceClipName);
    }
    defineClip(effect, kOfxImageEffectOutputClipName);
    OfxParamSetHandle params;
    gEffect->getParamSet(effect, &params);
    OfxPropertySetHandle props;
    if (k == Wipe) return gParam->paramDefine(params, kOfxParamTypeDouble, kOfxImageEffectTransitionParamName, &props);
    if (k == Curve) {
        if (!gCurves) return kOfxStatErrMissingHostFeature;
        if (gParam->paramDefine(params, kOfxParamTypeParametric, "lut", &props) != kOfxStatOK) return kOfxStatFailed;
        OfxParamHandle lut;
        gParam->paramGetHandle(params, "lut", &lut, nullptr);
        gCurves->parametricParamAddControlPoint(lut, 0, 0.0, 0.0, 1.0, false);
        gCurves->parametricParamAddControlPoint(lut, 0, 0.0, 1.0, 0.0, false);
    }
    return kOfxStatOK;
}

OfxStatus regionOfDefinition(OfxImageEffectHandle effect, OfxPropertySetHandle in, OfxPropertySetHandle out) {
    double t = 0;
    gProp->propGetDouble(in, kOfxPropTime, 0, &t);
    OfxImageClipHandle src;
    gEffect->clipGetHandle(effect, kOfxImageEffectSimpleSourceClipName, &src, nullptr);
    OfxRectD r;
    if (gEffect->clipGetRegionOfDefinition(src, t, &r) != kOfxStatOK) return kOfxStatFailed;
    const double grown[4] = {r.x1 - 2, r.y1 - 2, r.x2 + 2, r.y2 + 2};
    gProp->propSetDoubleN(out, kOfxImageEffectPropRegionOfDefinition, 4, grown);
    return kOfxStatOK;
}

OfxStatus render(Kind k, OfxImageEffectHandle effect, OfxPropertySetHandle in) {
    double t = 0;
    int window[4] = {0, 0, 0, 0};
    gProp->propGetDouble(in, kOfxPropTime, 0, &t);
    gProp->propGetIntN(in, kOfxImageEffectPropRenderWindow, 4, window);
    if (k == Crash && t >= 3) storeThroughNull();
    Image out, a, b;
    if (!out.fetch(effect, kOfxImageEffectOutputClipName, t)) return kOfxStatFailed;
    const char* first = k == Merge2 ? "A" : k == Wipe ? kOfxImageEffectTransitionSourceFromClipName
                                                      : kOfxImageEffectSimpleSourceClipName;
    if (k != Ramp && !a.fetch(effect, first, t)) return kOfxStatFailed;
    if (k == Merge2 && !b.fetch(effect, "B", t)) return kOfxStatFailed;
    if (k == Wipe && !b.fetch(effect, kOfxImageEffectTransitionSourceToClipName, t)) return kOfxStatFailed;
    double mix = 0;
    OfxParamSetHandle params;
    gEffect->getParamSet(effect, &params);
    OfxParamHandle param = nullptr;
    if (k == Wipe) {
        gParam->paramGetHandle(params, kOfxImageEffectTransitionParamName, &param, nullptr);
        gParam->paramGetValueAtTime(param, t, &mix);
    }
    if (k == Curve) gParam->paramGetHandle(params, "lut", &param, nullptr);
    for (int y = window[1]; y < window[3]; ++y)
        for (int x = window[0]; x < window[2]; ++x) {
            float* o = out.at(x, y);
            if (!o) continue;
            const float* s = k == Ramp ? nullptr : a.at(x, y);
            const float* s2 = b.data ? b.at(x, y) : nullptr;
            if (k == Ramp) {
                const float v[4] = {float(x), float(y), float(t), 1.0f};
                std::memcpy(o, v, 16);
            } else if (!s) {
                const float blue[4] = {0.0f, 0.0f, 1.0f, 1.0f};
                std::memcpy(o, blue, 16);
            } else {
                for (int c = 0; c < 4; ++c) {
                    double v = s[c];
                    if (k == Merge2 && s2) v = c < 3 ? s[c] + s2[c] : s[c];
                    if (k == Wipe && s2) v = s[c] + (s2[c] - s[c]) * mix;
                    if (k == Curve && c < 3) gCurves->parametricParamGetValue(param, 0, t, s[c], &v);
                    o[c] = float(v);
                }
            }
        }
    return kOfxStatOK;
}

OfxStatus mainEntry(Kind k, const char* action, const void* handle, OfxPropertySetHandle in,
                    OfxPropertySetHandle out) {
    OfxImageEffectHandle effect = static_cast<OfxImageEffectHandle>(const_cast<void*>(handle));
    if (std::strcmp(action, kOfxActionLoad) == 0) {
        if (!gHost) return kOfxStatErrMissingHostFeature;
        gProp = static_cast<const OfxPropertySuiteV1*>(suite(kOfxPropertySuite));
        gEffect = static_cast<const OfxImageEffectSuiteV1*>(suite(kOfxImageEffectSuite));
        gParam = static_cast<const OfxParameterSuiteV1*>(suite(kOfxParameterSuite));
        gMessage = static_cast<const OfxMessageSuiteV1*>(suite(kOfxMessageSuite));
        if (k == Curve) gCurves = static_cast<const OfxParametricParameterSuiteV1*>(suite(kOfxParametricParameterSuite));
        return gProp && gEffect && gParam && gMessage ? kOfxStatOK : kOfxStatErrMissingHostFeature;
    }
    if (std::strcmp(action, kOfxActionDescribe) == 0) return describe(k, effect);
    if (std::strcmp(action, kOfxImageEffectActionDescribeInContext) == 0) return describeInContext(k, effect);
    if (std::strcmp(action, kOfxActionCreateInstance) == 0 && k == NeedsSuite && !suite("OfxInteractSuite")) {
        gMessage->message(effect, kOfxMessageError, nullptr, "this effect draws its own controls");
        return kOfxStatErrMissingHostFeature;
    }
    if (std::strcmp(action, kOfxImageEffectActionGetRegionOfDefinition) == 0 && k == Grow)
        return regionOfDefinition(effect, in, out);
    if (std::strcmp(action, kOfxImageEffectActionRender) == 0) return render(k, effect, in);
    return kOfxStatReplyDefault;
}

template <int K>
OfxStatus entry(const char* action, const void* handle, OfxPropertySetHandle in, OfxPropertySetHandle out) {
    return mainEntry(static_cast<Kind>(K), action, handle, in, out);
}

OfxPlugin gPlugins[KindCount] = {
    {kOfxImageEffectPluginApi, 1, kIds[Merge2], 1, 0, setHost, entry<Merge2>},
    {kOfxImageEffectPluginApi, 1, kIds[Wipe], 1, 0, setHost, entry<Wipe>},
    {kOfxImageEffectPluginApi, 1, kIds[Ramp], 1, 0, setHost, entry<Ramp>},
    {kOfxImageEffectPluginApi, 1, kIds[Grow], 1, 0, setHost, entry<Grow>},
    {kOfxImageEffectPluginApi, 1, kIds[Curve], 1, 0, setHost, entry<Curve>},
    {kOfxImageEffectPluginApi, 1, kIds[Crash], 1, 0, setHost, entry<Crash>},
    {kOfxImageEffectPluginApi, 1, kIds[NeedsSuite], 1, 0, setHost, entry<NeedsSuite>},
};

}  // namespace

extern "C" {
OfxExport int OfxGetNumberOfPlugins(void) { return KindCount; }
OfxExport OfxPlugin* OfxGetPlugin(int nth) { return nth >= 0 && nth < KindCount ? &gPlugins[nth] : nullptr; }
}
