// Default properties of the objects a plug-in describes, as the standard
// gives them before the plug-in sets anything.
#include "host/host_objects.h"
#include "openfx/include/ofxParametricParam.h"

namespace ofxhost {
namespace {

// A described object starts with one label in all three lengths.
void setLabels(PropertySet& p, const std::string& label) {
    p.setStrings(kOfxPropLabel, {label}, false, 1);
    p.setStrings(kOfxPropShortLabel, {label}, false, 1);
    p.setStrings(kOfxPropLongLabel, {label}, false, 1);
}

}  // namespace

void initEffectDescriptor(PropertySet& p, const std::string& bundlePath) {
    p.acceptsUnknown = true;
    p.setStrings(kOfxPropType, {kOfxTypeImageEffect}, true, 1);
    setLabels(p, "");
    p.setInts(kOfxPropVersion, {});
    p.setStrings(kOfxPropVersionLabel, {""}, false, 1);
    p.setStrings(kOfxPropPluginDescription, {""}, false, 1);
    p.setStrings(kOfxImageEffectPropSupportedContexts, {});
    p.setStrings(kOfxImageEffectPluginPropGrouping, {""}, false, 1);
    p.setInts(kOfxImageEffectPluginPropSingleInstance, {0}, false, 1);
    p.setStrings(kOfxImageEffectPluginRenderThreadSafety, {kOfxImageEffectRenderInstanceSafe}, false, 1);
    p.setInts(kOfxImageEffectPluginPropHostFrameThreading, {1}, false, 1);
    p.setPointers(kOfxImageEffectPluginPropOverlayInteractV1, {nullptr}, false, 1);
    p.setInts(kOfxImageEffectPropSupportsMultiResolution, {1}, false, 1);
    p.setInts(kOfxImageEffectPropSupportsTiles, {1}, false, 1);
    p.setInts(kOfxImageEffectPropTemporalClipAccess, {0}, false, 1);
    p.setStrings(kOfxImageEffectPropSupportedPixelDepths, {});
    p.setInts(kOfxImageEffectPluginPropFieldRenderTwiceAlways, {1}, false, 1);
    p.setInts(kOfxImageEffectPropSupportsMultipleClipDepths, {0}, false, 1);
    p.setInts(kOfxImageEffectPropSupportsMultipleClipPARs, {0}, false, 1);
    p.setStrings(kOfxImageEffectPropClipPreferencesSlaveParam, {});
    p.setStrings(kOfxImageEffectPropNoSpatialAwareness, {"false"}, false, 1);
    p.setStrings(kOfxPluginPropFilePath, {bundlePath}, true, 1);
}

void initClipDescriptor(ClipObj& c, const std::string& name) {
    PropertySet& p = c.props;
    c.name = name;
    p.acceptsUnknown = true;
    p.setStrings(kOfxPropType, {kOfxTypeClip}, true, 1);
    p.setStrings(kOfxPropName, {name}, true, 1);
    setLabels(p, name);
    p.setStrings(kOfxImageEffectPropSupportedComponents, {});
    p.setInts(kOfxImageEffectPropTemporalClipAccess, {0}, false, 1);
    p.setInts(kOfxImageClipPropOptional, {0}, false, 1);
    p.setStrings(kOfxImageClipPropFieldExtraction, {kOfxImageFieldDoubled}, false, 1);
    p.setInts(kOfxImageClipPropIsMask, {0}, false, 1);
    p.setInts(kOfxImageEffectPropSupportsTiles, {1}, false, 1);
}

namespace {

void numericRange(PropertySet& p, ParamKind kind, int n) {
    const bool ints = isIntegerKind(kind);
    std::vector<int> imin(n, kOfxFlagInfiniteMin), imax(n, kOfxFlagInfiniteMax);
    std::vector<double> dmin(n, -1.7976931348623157e308), dmax(n, 1.7976931348623157e308);
    if (kind == ParamKind::RGB || kind == ParamKind::RGBA) {
        dmin.assign(n, 0.0);
        dmax.assign(n, 1.0);
    }
    for (const char* name : {kOfxParamPropMin, kOfxParamPropDisplayMin}) {
        if (ints) p.setInts(name, imin, false, n);
        else p.setDoubles(name, dmin, false, n);
    }
    for (const char* name : {kOfxParamPropMax, kOfxParamPropDisplayMax}) {
        if (ints) p.setInts(name, imax, false, n);
        else p.setDoubles(name, dmax, false, n);
    }
}

}  // namespace

void initParamDescriptor(ParamObj& param, const std::string& type, const std::string& name) {
    PropertySet& p = param.props;
    param.name = name;
    param.type = type;
    param.kind = kindFromType(type);
    p.acceptsUnknown = true;
    p.setStrings(kOfxPropType, {kOfxTypeParameter}, true, 1);
    p.setStrings(kOfxPropName, {name}, true, 1);
    p.setStrings(kOfxParamPropType, {type}, true, 1);
    setLabels(p, name);
    p.setStrings(kOfxParamPropScriptName, {name}, false, 1);
    p.setStrings(kOfxParamPropHint, {""}, false, 1);
    p.setStrings(kOfxParamPropParent, {""}, false, 1);
    p.setInts(kOfxParamPropSecret, {0}, false, 1);
    p.setInts(kOfxParamPropEnabled, {1}, false, 1);
    p.setPointers(kOfxParamPropDataPtr, {nullptr}, false, 1);
    const ParamKind k = param.kind;
    const int n = componentCount(k);
    if (hasValue(k)) {
        p.setInts(kOfxParamPropAnimates, {k == ParamKind::String || k == ParamKind::Custom ? 0 : 1},
                  false, 1);
        p.setInts(kOfxParamPropPersistant, {1}, false, 1);
        p.setInts(kOfxParamPropEvaluateOnChange, {1}, false, 1);
        p.setInts(kOfxParamPropPluginMayWrite, {0}, false, 1);
        p.setStrings(kOfxParamPropCacheInvalidation, {kOfxParamInvalidateValueChange}, false, 1);
        p.setInts(kOfxParamPropCanUndo, {1}, false, 1);
    }
    if (n > 0) {
        if (isIntegerKind(k)) p.setInts(kOfxParamPropDefault, std::vector<int>(n, 0), false, n);
        else p.setDoubles(kOfxParamPropDefault, std::vector<double>(n, 0.0), false, n);
    }
    if (k == ParamKind::Double || k == ParamKind::Double2D || k == ParamKind::Double3D ||
        k == ParamKind::Integer || k == ParamKind::Integer2D || k == ParamKind::Integer3D ||
        k == ParamKind::RGB || k == ParamKind::RGBA) {
        numericRange(p, k, n);
    }
    if (k == ParamKind::Double || k == ParamKind::Double2D || k == ParamKind::Double3D) {
        p.setDoubles(kOfxParamPropIncrement, {1.0}, false, 1);
        p.setInts(kOfxParamPropDigits, {2}, false, 1);
        p.setStrings(kOfxParamPropDoubleType, {kOfxParamDoubleTypePlain}, false, 1);
    }
    if (k == ParamKind::Choice) {
        p.setStrings(kOfxParamPropChoiceOption, {});
        p.setStrings(kOfxParamPropChoiceLabelOption, {});
    }
    if (k == ParamKind::String || k == ParamKind::Custom) {
        p.setStrings(kOfxParamPropDefault, {""}, false, 1);
    }
    if (k == ParamKind::String) {
        p.setStrings(kOfxParamPropStringMode, {kOfxParamStringIsSingleLine}, false, 1);
        p.setInts(kOfxParamPropStringFilePathExists, {1}, false, 1);
    }
    if (k == ParamKind::Group) p.setInts(kOfxParamPropGroupOpen, {1}, false, 1);
    if (k == ParamKind::Page) p.setStrings(kOfxParamPropPageChild, {});
    if (k == ParamKind::Parametric) {
        p.setInts(kOfxParamPropAnimates, {1}, false, 1);
        p.setInts(kOfxParamPropPersistant, {1}, false, 1);
        p.setInts(kOfxParamPropEvaluateOnChange, {1}, false, 1);
        p.setInts(kOfxParamPropParametricDimension, {1}, false, 1);
        p.setDoubles(kOfxParamPropParametricUIColour, {});
        p.setPointers(kOfxParamPropParametricInteractBackground, {nullptr}, false, 1);
        p.setDoubles(kOfxParamPropParametricRange, {0.0, 1.0}, false, 2);
    }
}

}  // namespace ofxhost
