// One effect instance. Derived classes override the actions they handle; the
// rest keep the host's default behaviour. Clips and parameters fetched from
// it are owned by it and live as long as the instance.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "ofxImageEffect.h"
#include "openfx/support/ofx_action_args.h"
#include "openfx/support/ofx_clip.h"
#include "openfx/support/ofx_enums.h"
#include "openfx/support/ofx_params.h"
#include "openfx/support/ofx_property_set.h"

namespace OFX {

class ImageEffect {
public:
    explicit ImageEffect(OfxImageEffectHandle handle);
    virtual ~ImageEffect();
    ImageEffect(const ImageEffect&) = delete;
    ImageEffect& operator=(const ImageEffect&) = delete;

    OfxImageEffectHandle getHandle() const { return handle_; }
    PropertySet& getPropertySet() { return props_; }
    ContextEnum getContext() const { return context_; }

    // Each fetch throws Exception::Suite when the host has no such clip or
    // parameter; asking twice gives the same object.
    Clip* fetchClip(const std::string& name);
    DoubleParam* fetchDoubleParam(const std::string& name);
    IntParam* fetchIntParam(const std::string& name);
    BooleanParam* fetchBooleanParam(const std::string& name);
    ChoiceParam* fetchChoiceParam(const std::string& name);
    RGBParam* fetchRGBParam(const std::string& name);
    StringParam* fetchStringParam(const std::string& name);
    PushButtonParam* fetchPushButtonParam(const std::string& name);

    // True when the host asks the current render to stop.
    bool abort() const;
    // A line for the host's log (never shown as a dialog); nothing when the
    // host offers no message suite.
    void logMessage(const std::string& text) const;
    // A warning that stays on the instance where the host keeps such
    // messages (message suite V2), else a log line.
    void persistentWarning(const std::string& text) const;
    // Takes the instance's persistent message away, where the host keeps one.
    void clearPersistentMessage() const;

    virtual void render(const RenderArguments& args) = 0;
    // True to pass `identityClip` at `identityTime` through unchanged.
    virtual bool isIdentity(const IsIdentityArguments& args, Clip*& identityClip,
                            double& identityTime);
    virtual void getFramesNeeded(const FramesNeededArguments& args, FramesNeededSetter& frames);
    virtual void getClipPreferences(ClipPreferencesSetter& preferences);
    virtual void changedParam(const InstanceChangedArgs& args, const std::string& paramName);
    virtual void changedClip(const InstanceChangedArgs& args, const std::string& clipName);
    virtual void endSequenceRender(const EndSequenceRenderArguments& args);

private:
    template <class T>
    T* fetchParam(const std::string& name, const char* type);

    OfxImageEffectHandle handle_;
    PropertySet props_;
    OfxParamSetHandle paramSet_ = nullptr;
    ContextEnum context_ = eContextNone;
    std::map<std::string, std::unique_ptr<Clip>> clips_;
    std::map<std::string, std::unique_ptr<Param>> params_;
};

}  // namespace OFX
