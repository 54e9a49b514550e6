// Two minimal plug-ins that follow the OpenFX standard to the letter, built
// as two bundles (CONFORMANCE_PLUGIN picks which one a bundle holds), so the
// host is checked against plug-ins other than Varnok:
//   ByteInvert (1): takes only 8-bit RGBA; out = 255 - src on colour, alpha kept.
//   CornerMark (2): float RGBA; copies the source and paints pure red over the
//     canonical pixels x 1..2, y 0..1, which the standard puts at the bottom
//     left of the picture.
// Both work only inside the render window and address pixels through bounds
// and row bytes, negative strides included.
#include <cstring>
#include <initializer_list>

#include "openfx/include/ofxImageEffect.h"

#ifndef CONFORMANCE_PLUGIN
#error "CONFORMANCE_PLUGIN must be 1 (ByteInvert) or 2 (CornerMark)"
#endif

namespace {

constexpr bool kByteInvert = CONFORMANCE_PLUGIN == 1;

OfxHost* gHost = nullptr;
const OfxPropertySuiteV1* gProp = nullptr;
const OfxImageEffectSuiteV1* gEffect = nullptr;

void setHost(OfxHost* h) { gHost = h; }

struct Image {
    OfxPropertySetHandle handle = nullptr;
    unsigned char* data = nullptr;
    int bounds[4] = {0, 0, 0, 0};
    int rowBytes = 0;
    char* depth = nullptr;
    char* components = nullptr;

    bool fetch(OfxImageClipHandle clip, OfxTime t) {
        if (gEffect->clipGetImage(clip, t, nullptr, &handle) != kOfxStatOK) return false;
        void* p = nullptr;
        gProp->propGetPointer(handle, kOfxImagePropData, 0, &p);
        data = static_cast<unsigned char*>(p);
        gProp->propGetIntN(handle, kOfxImagePropBounds, 4, bounds);
        gProp->propGetInt(handle, kOfxImagePropRowBytes, 0, &rowBytes);
        gProp->propGetString(handle, kOfxImageEffectPropPixelDepth, 0, &depth);
        gProp->propGetString(handle, kOfxImageEffectPropComponents, 0, &components);
        return data != nullptr;
    }
    ~Image() {
        if (handle) gEffect->clipReleaseImage(handle);
    }
    bool inside(int x, int y) const { return x >= bounds[0] && x < bounds[2] && y >= bounds[1] && y < bounds[3]; }
    unsigned char* at(int x, int y, int pixelBytes) const {
        return data + static_cast<long>(y - bounds[1]) * rowBytes + static_cast<long>(x - bounds[0]) * pixelBytes;
    }
};

OfxStatus describe(OfxImageEffectHandle effect) {
    OfxPropertySetHandle p;
    gEffect->getPropertySet(effect, &p);
    gProp->propSetString(p, kOfxPropLabel, 0, kByteInvert ? "Byte invert" : "Corner mark");
    gProp->propSetString(p, kOfxImageEffectPropSupportedContexts, 0, kOfxImageEffectContextFilter);
    gProp->propSetString(p, kOfxImageEffectPropSupportedPixelDepths, 0,
                         kByteInvert ? kOfxBitDepthByte : kOfxBitDepthFloat);
    return kOfxStatOK;
}

OfxStatus describeInContext(OfxImageEffectHandle effect) {
    OfxPropertySetHandle clip;
    gEffect->clipDefine(effect, kOfxImageEffectSimpleSourceClipName, &clip);
    gProp->propSetString(clip, kOfxImageEffectPropSupportedComponents, 0, kOfxImageComponentRGBA);
    gEffect->clipDefine(effect, kOfxImageEffectOutputClipName, &clip);
    gProp->propSetString(clip, kOfxImageEffectPropSupportedComponents, 0, kOfxImageComponentRGBA);
    return kOfxStatOK;
}

OfxStatus render(OfxImageEffectHandle effect, OfxPropertySetHandle in) {
    double t = 0;
    int window[4] = {0, 0, 0, 0};
    gProp->propGetDouble(in, kOfxPropTime, 0, &t);
    gProp->propGetIntN(in, kOfxImageEffectPropRenderWindow, 4, window);
    OfxImageClipHandle srcClip, outClip;
    gEffect->clipGetHandle(effect, kOfxImageEffectSimpleSourceClipName, &srcClip, nullptr);
    gEffect->clipGetHandle(effect, kOfxImageEffectOutputClipName, &outClip, nullptr);
    Image src, out;
    if (!src.fetch(srcClip, t) || !out.fetch(outClip, t)) return kOfxStatFailed;
    const char* want = kByteInvert ? kOfxBitDepthByte : kOfxBitDepthFloat;
    for (const Image* img : {&src, &out})
        if (!img->depth || std::strcmp(img->depth, want) != 0 || !img->components ||
            std::strcmp(img->components, kOfxImageComponentRGBA) != 0)
            return kOfxStatErrUnsupported;
    const int pixelBytes = kByteInvert ? 4 : 16;
    for (int y = window[1]; y < window[3]; ++y)
        for (int x = window[0]; x < window[2]; ++x) {
            if (!out.inside(x, y)) continue;
            unsigned char* o = out.at(x, y, pixelBytes);
            if (!src.inside(x, y)) {
                std::memset(o, 0, pixelBytes);
                continue;
            }
            const unsigned char* s = src.at(x, y, pixelBytes);
            if (kByteInvert) {
                for (int c = 0; c < 3; ++c) o[c] = static_cast<unsigned char>(255 - s[c]);
                o[3] = s[3];
            } else {
                std::memcpy(o, s, 16);
                if (x >= 1 && x <= 2 && y >= 0 && y <= 1) {
                    const float red[4] = {1.0f, 0.0f, 0.0f, 1.0f};
                    std::memcpy(o, red, 16);
                }
            }
        }
    return kOfxStatOK;
}

OfxStatus mainEntry(const char* action, const void* handle, OfxPropertySetHandle in, OfxPropertySetHandle) {
    OfxImageEffectHandle effect = static_cast<OfxImageEffectHandle>(const_cast<void*>(handle));
    if (std::strcmp(action, kOfxActionLoad) == 0) {
        if (!gHost) return kOfxStatErrMissingHostFeature;
        gProp = static_cast<const OfxPropertySuiteV1*>(gHost->fetchSuite(gHost->host, kOfxPropertySuite, 1));
        gEffect =
            static_cast<const OfxImageEffectSuiteV1*>(gHost->fetchSuite(gHost->host, kOfxImageEffectSuite, 1));
        return gProp && gEffect ? kOfxStatOK : kOfxStatErrMissingHostFeature;
    }
    if (std::strcmp(action, kOfxActionDescribe) == 0) return describe(effect);
    if (std::strcmp(action, kOfxImageEffectActionDescribeInContext) == 0) return describeInContext(effect);
    if (std::strcmp(action, kOfxImageEffectActionRender) == 0) return render(effect, in);
    return kOfxStatReplyDefault;
}

OfxPlugin gPlugin = {kOfxImageEffectPluginApi, 1,
                     kByteInvert ? "org.varnok.tests.ByteInvert" : "org.varnok.tests.CornerMark", 1, 0, setHost,
                     mainEntry};

}  // namespace

extern "C" {
OfxExport int OfxGetNumberOfPlugins(void) { return 1; }
OfxExport OfxPlugin* OfxGetPlugin(int nth) { return nth == 0 ? &gPlugin : nullptr; }
}
