#include "openfx/support/ofx_image_effect_descriptor.h"

#include "openfx/support/ofx_suites.h"

namespace OFX {

ImageEffectDescriptor::ImageEffectDescriptor(OfxImageEffectHandle handle) : handle_(handle) {
    OfxPropertySetHandle props = nullptr;
    Private::imageEffectSuite().getPropertySet(handle, &props);
    props_ = PropertySet(props);
    Private::imageEffectSuite().getParamSet(handle, &paramSet_);
}

ImageEffectDescriptor::~ImageEffectDescriptor() = default;

void ImageEffectDescriptor::setPluginGrouping(const std::string& grouping) {
    props_.propSetString(kOfxImageEffectPluginPropGrouping, grouping);
}

void ImageEffectDescriptor::setPluginDescription(const std::string& description) {
    props_.propSetString(kOfxPropPluginDescription, description, 0, false);
}

void ImageEffectDescriptor::addSupportedContext(ContextEnum context) {
    props_.propAppendString(kOfxImageEffectPropSupportedContexts, contextName(context));
}

void ImageEffectDescriptor::addSupportedBitDepth(BitDepthEnum depth) {
    props_.propAppendString(kOfxImageEffectPropSupportedPixelDepths, bitDepthName(depth));
}

// Behaviour flags: a host that does not know one simply ignores it.
void ImageEffectDescriptor::setSingleInstance(bool v) {
    props_.propSetBool(kOfxImageEffectPluginPropSingleInstance, v, 0, false);
}
void ImageEffectDescriptor::setHostFrameThreading(bool v) {
    props_.propSetBool(kOfxImageEffectPluginPropHostFrameThreading, v, 0, false);
}
void ImageEffectDescriptor::setSupportsMultiResolution(bool v) {
    props_.propSetBool(kOfxImageEffectPropSupportsMultiResolution, v, 0, false);
}
void ImageEffectDescriptor::setSupportsTiles(bool v) {
    props_.propSetBool(kOfxImageEffectPropSupportsTiles, v, 0, false);
}
void ImageEffectDescriptor::setTemporalClipAccess(bool v) {
    props_.propSetBool(kOfxImageEffectPropTemporalClipAccess, v, 0, false);
}
void ImageEffectDescriptor::setRenderTwiceAlways(bool v) {
    props_.propSetBool(kOfxImageEffectPluginPropFieldRenderTwiceAlways, v, 0, false);
}
void ImageEffectDescriptor::setSupportsMultipleClipDepths(bool v) {
    props_.propSetBool(kOfxImageEffectPropSupportsMultipleClipDepths, v, 0, false);
}
void ImageEffectDescriptor::setSupportsMultipleClipPARs(bool v) {
    props_.propSetBool(kOfxImageEffectPropSupportsMultipleClipPARs, v, 0, false);
}
void ImageEffectDescriptor::setNoSpatialAwareness(bool v) {
    props_.propSetString(kOfxImageEffectPropNoSpatialAwareness, v ? "true" : "false", 0, false);
}

ClipDescriptor* ImageEffectDescriptor::defineClip(const std::string& name) {
    OfxPropertySetHandle props = nullptr;
    if (Private::imageEffectSuite().clipDefine(handle_, name.c_str(), &props) != kOfxStatOK ||
        props == nullptr)
        return nullptr;
    clips_.push_back(std::make_unique<ClipDescriptor>(name, props));
    return clips_.back().get();
}

template <class T>
T* ImageEffectDescriptor::defineParam(const std::string& name, const char* type) {
    OfxPropertySetHandle props = nullptr;
    if (paramSet_ == nullptr ||
        Private::parameterSuite().paramDefine(paramSet_, type, name.c_str(), &props) != kOfxStatOK ||
        props == nullptr)
        return nullptr;
    auto owned = std::make_unique<T>(name, props);
    T* raw = owned.get();
    params_.push_back(std::move(owned));
    return raw;
}

DoubleParamDescriptor* ImageEffectDescriptor::defineDoubleParam(const std::string& name) {
    return defineParam<DoubleParamDescriptor>(name, kOfxParamTypeDouble);
}
IntParamDescriptor* ImageEffectDescriptor::defineIntParam(const std::string& name) {
    return defineParam<IntParamDescriptor>(name, kOfxParamTypeInteger);
}
BooleanParamDescriptor* ImageEffectDescriptor::defineBooleanParam(const std::string& name) {
    return defineParam<BooleanParamDescriptor>(name, kOfxParamTypeBoolean);
}
ChoiceParamDescriptor* ImageEffectDescriptor::defineChoiceParam(const std::string& name) {
    return defineParam<ChoiceParamDescriptor>(name, kOfxParamTypeChoice);
}
RGBParamDescriptor* ImageEffectDescriptor::defineRGBParam(const std::string& name) {
    return defineParam<RGBParamDescriptor>(name, kOfxParamTypeRGB);
}
StringParamDescriptor* ImageEffectDescriptor::defineStringParam(const std::string& name) {
    return defineParam<StringParamDescriptor>(name, kOfxParamTypeString);
}
PushButtonParamDescriptor* ImageEffectDescriptor::definePushButtonParam(const std::string& name) {
    return defineParam<PushButtonParamDescriptor>(name, kOfxParamTypePushButton);
}
GroupParamDescriptor* ImageEffectDescriptor::defineGroupParam(const std::string& name) {
    return defineParam<GroupParamDescriptor>(name, kOfxParamTypeGroup);
}
PageParamDescriptor* ImageEffectDescriptor::definePageParam(const std::string& name) {
    return defineParam<PageParamDescriptor>(name, kOfxParamTypePage);
}

}  // namespace OFX
