// The effect as described to the host: its properties, clips and parameters.
// Owns every clip and parameter descriptor it hands out.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ofxImageEffect.h"
#include "openfx/support/ofx_clip.h"
#include "openfx/support/ofx_enums.h"
#include "openfx/support/ofx_param_descriptors.h"
#include "openfx/support/ofx_property_set.h"

namespace OFX {

class ImageEffectDescriptor : public LabelledDescriptor {
public:
    explicit ImageEffectDescriptor(OfxImageEffectHandle handle);
    ~ImageEffectDescriptor();
    ImageEffectDescriptor(const ImageEffectDescriptor&) = delete;
    ImageEffectDescriptor& operator=(const ImageEffectDescriptor&) = delete;

    OfxImageEffectHandle getHandle() const { return handle_; }

    void setPluginGrouping(const std::string& grouping);
    void setPluginDescription(const std::string& description);
    void addSupportedContext(ContextEnum context);
    void addSupportedBitDepth(BitDepthEnum depth);
    void setSingleInstance(bool v);
    void setHostFrameThreading(bool v);
    void setSupportsMultiResolution(bool v);
    void setSupportsTiles(bool v);
    void setTemporalClipAccess(bool v);
    void setRenderTwiceAlways(bool v);
    void setSupportsMultipleClipDepths(bool v);
    void setSupportsMultipleClipPARs(bool v);
    // A string property in the standard: "true" or "false".
    void setNoSpatialAwareness(bool v);

    // Null when the host refuses the definition.
    ClipDescriptor* defineClip(const std::string& name);
    DoubleParamDescriptor* defineDoubleParam(const std::string& name);
    IntParamDescriptor* defineIntParam(const std::string& name);
    BooleanParamDescriptor* defineBooleanParam(const std::string& name);
    ChoiceParamDescriptor* defineChoiceParam(const std::string& name);
    RGBParamDescriptor* defineRGBParam(const std::string& name);
    StringParamDescriptor* defineStringParam(const std::string& name);
    PushButtonParamDescriptor* definePushButtonParam(const std::string& name);
    GroupParamDescriptor* defineGroupParam(const std::string& name);
    PageParamDescriptor* definePageParam(const std::string& name);

private:
    template <class T>
    T* defineParam(const std::string& name, const char* type);

    OfxImageEffectHandle handle_;
    OfxParamSetHandle paramSet_ = nullptr;
    std::vector<std::unique_ptr<ClipDescriptor>> clips_;
    std::vector<std::unique_ptr<ParamDescriptor>> params_;
};

}  // namespace OFX
