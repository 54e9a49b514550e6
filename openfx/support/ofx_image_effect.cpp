#include "openfx/support/ofx_image_effect.h"

#include "openfx/support/ofx_exceptions.h"
#include "openfx/support/ofx_suites.h"

namespace OFX {
namespace {

// A fetch the host reports as done must still have given a handle.
template <typename Handle>
void checkFetched(OfxStatus st, Handle handle) {
    if (st != kOfxStatOK) throwSuiteStatusException(st);
    if (handle == nullptr) throwSuiteStatusException(kOfxStatErrBadHandle);
}

}  // namespace

void FramesNeededSetter::setFramesNeeded(const Clip& clip, const OfxRangeD& range) {
    ranges_[clip.name()].push_back(range);
}

ImageEffect::ImageEffect(OfxImageEffectHandle handle) : handle_(handle) {
    OfxPropertySetHandle props = nullptr;
    OfxStatus st = Private::imageEffectSuite().getPropertySet(handle, &props);
    if (st != kOfxStatOK) throwSuiteStatusException(st);
    props_ = PropertySet(props);
    st = Private::imageEffectSuite().getParamSet(handle, &paramSet_);
    if (st != kOfxStatOK) throwSuiteStatusException(st);
    std::string context;
    if (props_.tryGetString(kOfxImageEffectPropContext, 0, context)) context_ = contextFromName(context);
}

ImageEffect::~ImageEffect() = default;

Clip* ImageEffect::fetchClip(const std::string& name) {
    auto found = clips_.find(name);
    if (found != clips_.end()) return found->second.get();
    OfxImageClipHandle clip = nullptr;
    OfxPropertySetHandle props = nullptr;
    const OfxStatus st =
        Private::imageEffectSuite().clipGetHandle(handle_, name.c_str(), &clip, &props);
    checkFetched(st, clip);
    if (props == nullptr) Private::imageEffectSuite().clipGetPropertySet(clip, &props);
    auto& slot = clips_[name];
    slot = std::make_unique<Clip>(name, clip, props);
    return slot.get();
}

template <class T>
T* ImageEffect::fetchParam(const std::string& name, const char* type) {
    auto found = params_.find(name);
    if (found != params_.end()) {
        T* typed = dynamic_cast<T*>(found->second.get());
        if (typed == nullptr) throwSuiteStatusException(kOfxStatErrUnknown);
        return typed;
    }
    OfxParamHandle param = nullptr;
    OfxPropertySetHandle props = nullptr;
    const OfxStatus st =
        Private::parameterSuite().paramGetHandle(paramSet_, name.c_str(), &param, &props);
    checkFetched(st, param);
    // A parameter of another kind would be read with the wrong variadic types.
    if (props != nullptr) {
        std::string actual;
        if (PropertySet(props).tryGetString(kOfxParamPropType, 0, actual) && actual != type)
            throwSuiteStatusException(kOfxStatErrUnknown);
    }
    auto owned = std::make_unique<T>(name, param);
    T* raw = owned.get();
    params_[name] = std::move(owned);
    return raw;
}

DoubleParam* ImageEffect::fetchDoubleParam(const std::string& name) {
    return fetchParam<DoubleParam>(name, kOfxParamTypeDouble);
}
IntParam* ImageEffect::fetchIntParam(const std::string& name) {
    return fetchParam<IntParam>(name, kOfxParamTypeInteger);
}
BooleanParam* ImageEffect::fetchBooleanParam(const std::string& name) {
    return fetchParam<BooleanParam>(name, kOfxParamTypeBoolean);
}
ChoiceParam* ImageEffect::fetchChoiceParam(const std::string& name) {
    return fetchParam<ChoiceParam>(name, kOfxParamTypeChoice);
}
RGBParam* ImageEffect::fetchRGBParam(const std::string& name) {
    return fetchParam<RGBParam>(name, kOfxParamTypeRGB);
}
StringParam* ImageEffect::fetchStringParam(const std::string& name) {
    return fetchParam<StringParam>(name, kOfxParamTypeString);
}
PushButtonParam* ImageEffect::fetchPushButtonParam(const std::string& name) {
    return fetchParam<PushButtonParam>(name, kOfxParamTypePushButton);
}

bool ImageEffect::abort() const { return Private::imageEffectSuite().abort(handle_) != 0; }

bool ImageEffect::isIdentity(const IsIdentityArguments&, Clip*&, double&) { return false; }

void ImageEffect::getFramesNeeded(const FramesNeededArguments&, FramesNeededSetter&) {}

void ImageEffect::getClipPreferences(ClipPreferencesSetter&) {}

void ImageEffect::changedParam(const InstanceChangedArgs&, const std::string&) {}

void ImageEffect::changedClip(const InstanceChangedArgs&, const std::string&) {}

void ImageEffect::endSequenceRender(const EndSequenceRenderArguments&) {}

void ImageEffect::logMessage(const std::string& text) const {
    const OfxMessageSuiteV1* suite = suites().message;
    if (suite != nullptr && suite->message != nullptr)
        suite->message(handle_, kOfxMessageLog, nullptr, "%s", text.c_str());
}

void ImageEffect::persistentWarning(const std::string& text) const {
    const OfxMessageSuiteV2* suite = suites().message2;
    if (suite != nullptr && suite->setPersistentMessage != nullptr &&
        suite->setPersistentMessage(handle_, kOfxMessageWarning, nullptr, "%s", text.c_str()) == kOfxStatOK)
        return;
    logMessage(text);
}

void ImageEffect::clearPersistentMessage() const {
    const OfxMessageSuiteV2* suite = suites().message2;
    if (suite != nullptr && suite->clearPersistentMessage != nullptr) suite->clearPersistentMessage(handle_);
}

}  // namespace OFX
