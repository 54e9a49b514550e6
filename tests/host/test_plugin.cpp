// A tiny OpenFX plug-in built only for the host library's tests. It talks
// the C API directly (no support library) so every host path is exercised:
//   render: out.r = src.r * gain, out.g = offset (integer param at t),
//           out.b = number of earlier frames the host delivered, out.a = src.a;
//   isIdentity: pass-through when gain == 1;
//   getFramesNeeded: t - history .. t;
//   instanceChanged "probe": makes bad suite calls and writes their statuses
//   into the string "probeResult"; "button": writes gain = 2;
//   any other change is recorded as "name/reason" in "lastChange".
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "openfx/include/ofxImageEffect.h"

namespace {

OfxHost* gHost = nullptr;
const OfxPropertySuiteV1* gProp = nullptr;
const OfxImageEffectSuiteV1* gEffect = nullptr;
const OfxParameterSuiteV1* gParam = nullptr;
const OfxMemorySuiteV1* gMemory = nullptr;
const OfxMultiThreadSuiteV1* gThread = nullptr;
const OfxMessageSuiteV1* gMessage = nullptr;

void setHost(OfxHost* h) { gHost = h; }

OfxStatus onLoad() {
    if (!gHost) return kOfxStatErrMissingHostFeature;
    gProp = static_cast<const OfxPropertySuiteV1*>(gHost->fetchSuite(gHost->host, kOfxPropertySuite, 1));
    gEffect = static_cast<const OfxImageEffectSuiteV1*>(gHost->fetchSuite(gHost->host, kOfxImageEffectSuite, 1));
    gParam = static_cast<const OfxParameterSuiteV1*>(gHost->fetchSuite(gHost->host, kOfxParameterSuite, 1));
    gMemory = static_cast<const OfxMemorySuiteV1*>(gHost->fetchSuite(gHost->host, kOfxMemorySuite, 1));
    gThread = static_cast<const OfxMultiThreadSuiteV1*>(gHost->fetchSuite(gHost->host, kOfxMultiThreadSuite, 1));
    gMessage = static_cast<const OfxMessageSuiteV1*>(gHost->fetchSuite(gHost->host, kOfxMessageSuite, 1));
    if (!gProp || !gEffect || !gParam || !gMemory || !gThread || !gMessage) return kOfxStatErrMissingHostFeature;
    return kOfxStatOK;
}

OfxStatus describe(OfxImageEffectHandle effect) {
    OfxPropertySetHandle p;
    gEffect->getPropertySet(effect, &p);
    gProp->propSetString(p, kOfxPropLabel, 0, "Host test");
    gProp->propSetString(p, kOfxImageEffectPluginPropGrouping, 0, "Tests");
    gProp->propSetString(p, kOfxImageEffectPropSupportedContexts, 0, kOfxImageEffectContextFilter);
    gProp->propSetString(p, kOfxImageEffectPropSupportedContexts, 1, kOfxImageEffectContextGeneral);
    gProp->propSetString(p, kOfxImageEffectPropSupportedPixelDepths, 0, kOfxBitDepthFloat);
    gProp->propSetInt(p, kOfxImageEffectPropTemporalClipAccess, 0, 1);
    // A property this host has never heard of: descriptors must take it.
    gProp->propSetString(p, "TestPluginPropFutureThing", 0, "yes");
    return kOfxStatOK;
}

OfxPropertySetHandle define(OfxParamSetHandle ps, const char* type, const char* name, const char* label,
                            const char* parent) {
    OfxPropertySetHandle p = nullptr;
    if (gParam->paramDefine(ps, type, name, &p) != kOfxStatOK) return nullptr;
    gProp->propSetString(p, kOfxPropLabel, 0, label);
    if (parent) gProp->propSetString(p, kOfxParamPropParent, 0, parent);
    return p;
}

OfxStatus describeInContext(OfxImageEffectHandle effect) {
    OfxPropertySetHandle clip;
    gEffect->clipDefine(effect, "Source", &clip);
    gProp->propSetString(clip, kOfxImageEffectPropSupportedComponents, 0, kOfxImageComponentRGBA);
    gProp->propSetInt(clip, kOfxImageEffectPropTemporalClipAccess, 0, 1);
    gEffect->clipDefine(effect, "Output", &clip);
    gProp->propSetString(clip, kOfxImageEffectPropSupportedComponents, 0, kOfxImageComponentRGBA);

    OfxParamSetHandle ps;
    gEffect->getParamSet(effect, &ps);
    define(ps, kOfxParamTypeGroup, "main", "Réglages principaux", nullptr);
    OfxPropertySetHandle p = define(ps, kOfxParamTypeDouble, "gain", "Gain", "main");
    gProp->propSetDouble(p, kOfxParamPropDefault, 0, 1.0);
    gProp->propSetDouble(p, kOfxParamPropMin, 0, 0.0);
    gProp->propSetDouble(p, kOfxParamPropMax, 0, 10.0);
    gProp->propSetDouble(p, kOfxParamPropDisplayMin, 0, 0.0);
    gProp->propSetDouble(p, kOfxParamPropDisplayMax, 0, 4.0);
    gProp->propSetDouble(p, kOfxParamPropIncrement, 0, 0.05);
    p = define(ps, kOfxParamTypeInteger, "offset", "Offset", "main");
    gProp->propSetInt(p, kOfxParamPropDefault, 0, 3);
    gProp->propSetInt(p, kOfxParamPropMin, 0, -100);
    gProp->propSetInt(p, kOfxParamPropMax, 0, 100);
    p = define(ps, kOfxParamTypeInteger, "history", "History", "main");
    gProp->propSetInt(p, kOfxParamPropMin, 0, 0);
    gProp->propSetInt(p, kOfxParamPropMax, 0, 64);
    p = define(ps, kOfxParamTypeBoolean, "failRender", "Fail", "main");
    p = define(ps, kOfxParamTypeChoice, "mode", "Mode", "main");
    gProp->propSetString(p, kOfxParamPropChoiceOption, 0, "Un");
    gProp->propSetString(p, kOfxParamPropChoiceOption, 1, "Deux");
    gProp->propSetString(p, kOfxParamPropChoiceOption, 2, "Trois très long");
    gProp->propSetInt(p, kOfxParamPropDefault, 0, 1);
    p = define(ps, kOfxParamTypeRGB, "tint", "Teinte", "main");
    gProp->propSetDouble(p, kOfxParamPropDefault, 0, 1.0);
    gProp->propSetDouble(p, kOfxParamPropDefault, 1, 0.5);
    gProp->propSetDouble(p, kOfxParamPropDefault, 2, 0.25);
    p = define(ps, kOfxParamTypeString, "note", "Note", "main");
    gProp->propSetString(p, kOfxParamPropDefault, 0, "bonjour");
    gProp->propSetString(p, kOfxParamPropStringMode, 0, kOfxParamStringIsFilePath);
    define(ps, kOfxParamTypeString, "probeResult", "Probe result", "main");
    define(ps, kOfxParamTypeString, "lastChange", "Last change", "main");
    define(ps, kOfxParamTypePushButton, "probe", "Probe", "main");
    define(ps, kOfxParamTypePushButton, "button", "Button", "main");
    p = define(ps, kOfxParamTypePage, "page", "", nullptr);
    const char* children[] = {"gain", "offset", "history", "mode", "tint", "note", "button"};
    gProp->propSetStringN(p, kOfxParamPropPageChild, 7, children);
    return kOfxStatOK;
}

OfxParamHandle param(OfxImageEffectHandle effect, const char* name) {
    OfxParamSetHandle ps;
    OfxParamHandle h = nullptr;
    gEffect->getParamSet(effect, &ps);
    gParam->paramGetHandle(ps, name, &h, nullptr);
    return h;
}

struct View {
    char* data = nullptr;
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0, rowBytes = 0;
    float* at(int x, int y) const {
        if (x < x1 || x >= x2 || y < y1 || y >= y2) return nullptr;
        return reinterpret_cast<float*>(data + static_cast<long>(y - y1) * rowBytes) + (x - x1) * 4;
    }
};

View view(OfxPropertySetHandle img) {
    View v;
    void* data = nullptr;
    gProp->propGetPointer(img, kOfxImagePropData, 0, &data);
    v.data = static_cast<char*>(data);
    int b[4] = {0, 0, 0, 0};
    gProp->propGetIntN(img, kOfxImagePropBounds, 4, b);
    v.x1 = b[0];
    v.y1 = b[1];
    v.x2 = b[2];
    v.y2 = b[3];
    gProp->propGetInt(img, kOfxImagePropRowBytes, 0, &v.rowBytes);
    return v;
}

OfxStatus render(OfxImageEffectHandle effect, OfxPropertySetHandle in) {
    double t = 0;
    gProp->propGetDouble(in, kOfxPropTime, 0, &t);
    int fail = 0;
    gParam->paramGetValueAtTime(param(effect, "failRender"), t, &fail);
    if (fail) return kOfxStatErrUnsupported;
    OfxImageClipHandle src, out;
    gEffect->clipGetHandle(effect, "Source", &src, nullptr);
    gEffect->clipGetHandle(effect, "Output", &out, nullptr);
    OfxPropertySetHandle clipProps;
    gEffect->clipGetPropertySet(out, &clipProps);
    char* depth = nullptr;
    gProp->propGetString(clipProps, kOfxImageEffectPropPixelDepth, 0, &depth);
    if (!depth || std::strcmp(depth, kOfxBitDepthFloat) != 0) return kOfxStatErrUnsupported;
    double gain = 1;
    int offset = 0, history = 0;
    gParam->paramGetValueAtTime(param(effect, "gain"), t, &gain);
    gParam->paramGetValueAtTime(param(effect, "offset"), t, &offset);
    gParam->paramGetValueAtTime(param(effect, "history"), t, &history);
    int delivered = 0;
    for (int n = history; n >= 1; --n) {
        OfxPropertySetHandle earlier = nullptr;
        if (gEffect->clipGetImage(src, t - n, nullptr, &earlier) == kOfxStatOK) {
            ++delivered;
            gEffect->clipReleaseImage(earlier);
        }
    }
    OfxPropertySetHandle outImg = nullptr, srcImg = nullptr;
    if (gEffect->clipGetImage(out, t, nullptr, &outImg) != kOfxStatOK) return kOfxStatFailed;
    if (gEffect->clipGetImage(src, t, nullptr, &srcImg) != kOfxStatOK) {
        gEffect->clipReleaseImage(outImg);
        return kOfxStatFailed;
    }
    View o = view(outImg), s = view(srcImg);
    for (int y = o.y1; y < o.y2; ++y) {
        for (int x = o.x1; x < o.x2; ++x) {
            const float* sp = s.at(x, y);
            float* op = o.at(x, y);
            if (!sp) continue;   // outside the source: leave the host's pixels alone
            op[0] = static_cast<float>(sp[0] * gain);
            op[1] = static_cast<float>(offset);
            op[2] = static_cast<float>(delivered);
            op[3] = sp[3];
        }
    }
    gEffect->clipReleaseImage(srcImg);
    gEffect->clipReleaseImage(outImg);
    return kOfxStatOK;
}

OfxStatus isIdentity(OfxImageEffectHandle effect, OfxPropertySetHandle in, OfxPropertySetHandle out) {
    double t = 0, gain = 0;
    gProp->propGetDouble(in, kOfxPropTime, 0, &t);
    gParam->paramGetValueAtTime(param(effect, "gain"), t, &gain);
    if (gain != 1.0) return kOfxStatReplyDefault;
    gProp->propSetString(out, kOfxPropName, 0, "Source");
    gProp->propSetDouble(out, kOfxPropTime, 0, t);
    return kOfxStatOK;
}

OfxStatus framesNeeded(OfxImageEffectHandle effect, OfxPropertySetHandle in, OfxPropertySetHandle out) {
    double t = 0;
    int history = 0;
    gProp->propGetDouble(in, kOfxPropTime, 0, &t);
    gParam->paramGetValueAtTime(param(effect, "history"), t, &history);
    if (history < 1) return kOfxStatReplyDefault;
    const double range[2] = {t - history, t};
    gProp->propSetDoubleN(out, "OfxImageClipPropFrameRange_Source", 2, range);
    return kOfxStatOK;
}

// Every bad call a careless plug-in could make; the statuses go back to the test.
std::string probe(OfxImageEffectHandle effect) {
    std::string r;
    auto add = [&r](const char* what, OfxStatus st) {
        char buf[96];
        std::snprintf(buf, sizeof buf, "%s=%d;", what, st);
        r += buf;
    };
    OfxPropertySetHandle props;
    gEffect->getPropertySet(effect, &props);
    int i = 0;
    double d = 0;
    char* s = nullptr;
    add("unknownProp", gProp->propGetInt(props, "NoSuchProperty", 0, &i));
    add("wrongType", gProp->propGetInt(props, kOfxImageEffectPropContext, 0, &i));
    add("badIndex", gProp->propGetString(props, kOfxImageEffectPropContext, 5, &s));
    add("negIndex", gProp->propGetDouble(props, kOfxImageEffectPropProjectSize, -1, &d));
    add("nullProps", gProp->propGetInt(nullptr, kOfxPropType, 0, &i));
    int bogus = 0;
    add("bogusProps", gProp->propGetInt(reinterpret_cast<OfxPropertySetHandle>(&bogus), kOfxPropType, 0, &i));
    add("readOnly", gProp->propSetString(props, kOfxImageEffectPropContext, 0, "x"));
    add("setUnknown", gProp->propSetInt(props, "NoSuchProperty", 0, 1));
    int dim = -1;
    add("dimension", gProp->propGetDimension(props, kOfxImageEffectPropProjectSize, &dim));
    add("dimValue", dim);
    OfxParamSetHandle ps;
    gEffect->getParamSet(effect, &ps);
    OfxParamHandle h = nullptr;
    add("unknownParam", gParam->paramGetHandle(ps, "nope", &h, nullptr));
    add("nullParam", gParam->paramGetValue(nullptr, &d));
    add("buttonValue", gParam->paramGetValue(param(effect, "probe"), &d));
    add("defineOnInstance", gParam->paramDefine(ps, kOfxParamTypeDouble, "late", nullptr));
    unsigned keys = 0;
    add("keyTime", gParam->paramGetKeyTime(param(effect, "gain"), 99, &d));
    add("numKeys", gParam->paramGetNumKeys(param(effect, "gain"), &keys));
    OfxImageClipHandle clip = nullptr;
    add("unknownClip", gEffect->clipGetHandle(effect, "Nope", &clip, nullptr));
    add("nullClip", gEffect->clipGetImage(nullptr, 0, nullptr, &props));
    add("releaseBogus", gEffect->clipReleaseImage(reinterpret_cast<OfxPropertySetHandle>(&bogus)));
    add("clipDefineOnInstance", gEffect->clipDefine(effect, "Extra", nullptr));
    add("memoryFreeBogus", gMemory->memoryFree(&bogus));
    void* mem = nullptr;
    add("memoryAlloc", gMemory->memoryAlloc(nullptr, 64, &mem));
    add("memoryFree", gMemory->memoryFree(mem));
    add("mutexBogus", gThread->mutexLock(reinterpret_cast<OfxMutexHandle>(&bogus)));
    add("noSuite", gHost->fetchSuite(gHost->host, "NoSuchSuite", 1) == nullptr ? 0 : 1);
    add("message", gMessage->message(effect, kOfxMessageLog, nullptr, "probe %d", 7));
    return r;
}

OfxStatus instanceChanged(OfxImageEffectHandle effect, OfxPropertySetHandle in) {
    char* name = nullptr;
    char* reason = nullptr;
    gProp->propGetString(in, kOfxPropName, 0, &name);
    gProp->propGetString(in, kOfxPropChangeReason, 0, &reason);
    if (!name) return kOfxStatFailed;
    if (std::strcmp(name, "probe") == 0) {
        const std::string r = probe(effect);
        return gParam->paramSetValue(param(effect, "probeResult"), r.c_str());
    }
    if (std::strcmp(name, "button") == 0) return gParam->paramSetValue(param(effect, "gain"), 2.0);
    if (std::strcmp(name, "lastChange") == 0 || std::strcmp(name, "probeResult") == 0) return kOfxStatOK;
    const std::string rec = std::string(name) + "/" + (reason ? reason : "");
    return gParam->paramSetValue(param(effect, "lastChange"), rec.c_str());
}

OfxStatus mainEntry(const char* action, const void* handle, OfxPropertySetHandle in, OfxPropertySetHandle out) {
    OfxImageEffectHandle effect = static_cast<OfxImageEffectHandle>(const_cast<void*>(handle));
    if (std::strcmp(action, kOfxActionLoad) == 0) return onLoad();
    if (std::strcmp(action, kOfxActionDescribe) == 0) return describe(effect);
    if (std::strcmp(action, kOfxImageEffectActionDescribeInContext) == 0) return describeInContext(effect);
    if (std::strcmp(action, kOfxImageEffectActionRender) == 0) return render(effect, in);
    if (std::strcmp(action, kOfxImageEffectActionIsIdentity) == 0) return isIdentity(effect, in, out);
    if (std::strcmp(action, kOfxImageEffectActionGetFramesNeeded) == 0) return framesNeeded(effect, in, out);
    if (std::strcmp(action, kOfxActionInstanceChanged) == 0) return instanceChanged(effect, in);
    return kOfxStatReplyDefault;
}

OfxPlugin gPlugin = {kOfxImageEffectPluginApi, 1, "org.varnok.tests.HostTest", 2, 5, setHost, mainEntry};

}  // namespace

extern "C" {
OfxExport int OfxGetNumberOfPlugins(void) { return 1; }
OfxExport OfxPlugin* OfxGetPlugin(int nth) { return nth == 0 ? &gPlugin : nullptr; }
}
