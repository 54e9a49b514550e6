// The one plug-in factory: describes the effect and makes its instances.
#pragma once

#include "openfx/support/ofx_support.h"

class VarnokFactory : public OFX::PluginFactoryHelper<VarnokFactory> {
public:
    VarnokFactory();
    void load() override {}
    void unload() override {}
    void describe(OFX::ImageEffectDescriptor& desc) override;
    void describeInContext(OFX::ImageEffectDescriptor& desc, OFX::ContextEnum context) override;
    OFX::ImageEffect* createInstance(OfxImageEffectHandle handle, OFX::ContextEnum context) override;
};
