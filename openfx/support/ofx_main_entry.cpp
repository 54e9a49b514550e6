#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "openfx/support/ofx_exceptions.h"
#include "openfx/support/ofx_image_effect.h"
#include "openfx/support/ofx_image_effect_descriptor.h"
#include "openfx/support/ofx_plugin_factory.h"
#include "openfx/support/ofx_suites.h"

namespace OFX {
namespace Private {
namespace {

OfxImageEffectHandle effectHandle(const void* handle) {
    return static_cast<OfxImageEffectHandle>(const_cast<void*>(handle));
}

PropertySet effectProps(OfxImageEffectHandle effect) {
    OfxPropertySetHandle props = nullptr;
    const OfxStatus st = imageEffectSuite().getPropertySet(effect, &props);
    if (st != kOfxStatOK) throwSuiteStatusException(st);
    return PropertySet(props);
}

ImageEffect* instanceOf(const void* handle) {
    void* data = nullptr;
    if (handle == nullptr || !effectProps(effectHandle(handle)).tryGetPointer(kOfxPropInstanceData, 0, data) ||
        data == nullptr)
        throwSuiteStatusException(kOfxStatErrBadHandle);
    return static_cast<ImageEffect*>(data);
}

void readCommon(const PropertySet& in, OfxPointD& scale, OfxRectI& window, FieldEnum& field) {
    in.tryGetDouble(kOfxImageEffectPropRenderScale, 0, scale.x);
    in.tryGetDouble(kOfxImageEffectPropRenderScale, 1, scale.y);
    in.tryGetInt(kOfxImageEffectPropRenderWindow, 0, window.x1);
    in.tryGetInt(kOfxImageEffectPropRenderWindow, 1, window.y1);
    in.tryGetInt(kOfxImageEffectPropRenderWindow, 2, window.x2);
    in.tryGetInt(kOfxImageEffectPropRenderWindow, 3, window.y2);
    std::string f;
    if (in.tryGetString(kOfxImageEffectPropFieldToRender, 0, f)) field = fieldFromName(f);
}

OfxStatus render(const void* handle, const PropertySet& in) {
    RenderArguments args;
    args.time = in.propGetDouble(kOfxPropTime);
    readCommon(in, args.renderScale, args.renderWindow, args.fieldToRender);
    int v = 0;
    if (in.tryGetInt(kOfxImageEffectPropSequentialRenderStatus, 0, v)) args.sequentialRenderStatus = v != 0;
    v = 0;
    if (in.tryGetInt(kOfxImageEffectPropInteractiveRenderStatus, 0, v)) args.interactiveRenderStatus = v != 0;
    instanceOf(handle)->render(args);
    return kOfxStatOK;
}

OfxStatus isIdentity(const void* handle, const PropertySet& in, PropertySet out) {
    IsIdentityArguments args;
    args.time = in.propGetDouble(kOfxPropTime);
    readCommon(in, args.renderScale, args.renderWindow, args.fieldToRender);
    Clip* clip = nullptr;
    double time = args.time;
    if (!instanceOf(handle)->isIdentity(args, clip, time) || clip == nullptr)
        return kOfxStatReplyDefault;
    out.propSetString(kOfxPropName, clip->name());
    out.propSetDouble(kOfxPropTime, time);
    return kOfxStatOK;
}

OfxStatus framesNeeded(const void* handle, const PropertySet& in, PropertySet out) {
    FramesNeededArguments args;
    args.time = in.propGetDouble(kOfxPropTime);
    FramesNeededSetter setter;
    instanceOf(handle)->getFramesNeeded(args, setter);
    if (setter.ranges().empty()) return kOfxStatReplyDefault;
    for (const auto& entry : setter.ranges()) {
        const std::string prop = std::string(kOfxImageClipPropFrameRange_) + entry.first;
        int index = 0;
        for (const OfxRangeD& r : entry.second) {
            out.propSetDouble(prop.c_str(), r.min, index++);
            out.propSetDouble(prop.c_str(), r.max, index++);
        }
    }
    return kOfxStatOK;
}

OfxStatus clipPreferences(const void* handle, PropertySet out) {
    ClipPreferencesSetter setter;
    instanceOf(handle)->getClipPreferences(setter);
    if (setter.outputPremultiplication().empty()) return kOfxStatReplyDefault;
    out.propSetString(kOfxImageEffectPropPreMultiplication, setter.outputPremultiplication());
    return kOfxStatOK;
}

OfxStatus endSequenceRender(const void* handle, const PropertySet& in) {
    EndSequenceRenderArguments args;
    in.tryGetDouble(kOfxImageEffectPropFrameRange, 0, args.frameRange.min);
    in.tryGetDouble(kOfxImageEffectPropFrameRange, 1, args.frameRange.max);
    int v = 0;
    if (in.tryGetInt(kOfxPropIsInteractive, 0, v)) args.interactive = v != 0;
    instanceOf(handle)->endSequenceRender(args);
    return kOfxStatOK;
}

OfxStatus instanceChanged(const void* handle, const PropertySet& in) {
    InstanceChangedArgs args;
    args.time = in.propGetDouble(kOfxPropTime);
    std::string reason;
    if (in.tryGetString(kOfxPropChangeReason, 0, reason)) args.reason = changeReasonFromName(reason);
    in.tryGetDouble(kOfxImageEffectPropRenderScale, 0, args.renderScale.x);
    in.tryGetDouble(kOfxImageEffectPropRenderScale, 1, args.renderScale.y);
    const std::string type = in.propGetString(kOfxPropType);
    const std::string name = in.propGetString(kOfxPropName);
    ImageEffect* effect = instanceOf(handle);
    if (type == kOfxTypeParameter) effect->changedParam(args, name);
    else if (type == kOfxTypeClip) effect->changedClip(args, name);
    return kOfxStatOK;
}

OfxStatus createInstance(PluginFactory& factory, const void* handle) {
    OfxImageEffectHandle effect = effectHandle(handle);
    PropertySet props = effectProps(effect);
    std::string context;
    props.tryGetString(kOfxImageEffectPropContext, 0, context);
    ImageEffect* instance = factory.createInstance(effect, contextFromName(context));
    if (instance == nullptr) return kOfxStatFailed;
    try {
        props.propSetPointer(kOfxPropInstanceData, instance);
    } catch (...) {
        delete instance;
        throw;
    }
    return kOfxStatOK;
}

OfxStatus destroyInstance(const void* handle) {
    ImageEffect* instance = instanceOf(handle);
    effectProps(effectHandle(handle)).propSetPointer(kOfxPropInstanceData, nullptr, 0, false);
    delete instance;
    return kOfxStatOK;
}

OfxStatus dispatch(PluginFactory& factory, const char* action, const void* handle,
                   OfxPropertySetHandle inArgs, OfxPropertySetHandle outArgs) {
    const std::string a = action;
    if (a == kOfxActionLoad) {
        const OfxStatus st = fetchSuites();
        if (st != kOfxStatOK) return st;
        factory.load();
        return kOfxStatOK;
    }
    // Every other action needs the suites; a host that skipped load (or
    // lacks a required suite) gets a clean refusal instead of a crash.
    if (suites().property == nullptr && fetchSuites() != kOfxStatOK)
        return kOfxStatErrMissingHostFeature;
    const PropertySet in(inArgs);
    const PropertySet out(outArgs);

    if (a == kOfxActionUnload) {
        factory.unload();
        return kOfxStatOK;
    }
    if (a == kOfxActionDescribe) {
        if (handle == nullptr) return kOfxStatErrBadHandle;
        ImageEffectDescriptor desc(effectHandle(handle));
        factory.describe(desc);
        return kOfxStatOK;
    }
    if (a == kOfxImageEffectActionDescribeInContext) {
        if (handle == nullptr) return kOfxStatErrBadHandle;
        const ContextEnum context = contextFromName(in.propGetString(kOfxImageEffectPropContext));
        ImageEffectDescriptor desc(effectHandle(handle));
        factory.describeInContext(desc, context);
        return kOfxStatOK;
    }
    if (a == kOfxActionCreateInstance) return createInstance(factory, handle);
    if (a == kOfxActionDestroyInstance) return destroyInstance(handle);
    if (a == kOfxImageEffectActionRender) return render(handle, in);
    if (a == kOfxImageEffectActionIsIdentity) return isIdentity(handle, in, out);
    if (a == kOfxImageEffectActionGetFramesNeeded) return framesNeeded(handle, in, out);
    if (a == kOfxImageEffectActionGetClipPreferences) return clipPreferences(handle, out);
    if (a == kOfxImageEffectActionEndSequenceRender) return endSequenceRender(handle, in);
    if (a == kOfxActionInstanceChanged) return instanceChanged(handle, in);
    return kOfxStatReplyDefault;
}

}  // namespace

OfxStatus mainEntry(PluginFactory* factory, const char* action, const void* handle,
                    OfxPropertySetHandle inArgs, OfxPropertySetHandle outArgs) {
    if (factory == nullptr || action == nullptr) return kOfxStatFailed;
    try {
        return dispatch(*factory, action, handle, inArgs, outArgs);
    } catch (const Exception::Suite& e) {
        return e.status();
    } catch (const std::bad_alloc&) {
        return kOfxStatErrMemory;
    } catch (...) {
        return kOfxStatFailed;
    }
}

}  // namespace Private
}  // namespace OFX
