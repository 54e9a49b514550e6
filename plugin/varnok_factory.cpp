#include "plugin/varnok_factory.h"

#include "plugin/describe_params.h"
#include "plugin/varnok_plugin.h"

VarnokFactory::VarnokFactory()
    : OFX::PluginFactoryHelper<VarnokFactory>("com.tesmar.VarnokOFX", VARNOK_VERSION_MAJOR, VARNOK_VERSION_MINOR) {}

void VarnokFactory::describe(OFX::ImageEffectDescriptor& desc) {
    desc.setLabels("Varnok", "Varnok", "Varnok");
    desc.setPluginGrouping("Tesmar");
    desc.setPluginDescription(
        "Color-region tracker that detects target-color blobs and renders Vantor-style HUD "
        "overlays, lines, labels, trails, glow and CRT treatments.");
    desc.addSupportedContext(OFX::eContextFilter);
    desc.addSupportedContext(OFX::eContextGeneral);
    desc.addSupportedBitDepth(OFX::eBitDepthFloat);
    desc.setSingleInstance(false);
    desc.setHostFrameThreading(false);
    desc.setSupportsMultiResolution(false);
    desc.setSupportsTiles(false);
    desc.setTemporalClipAccess(true);
    desc.setRenderTwiceAlways(false);
    desc.setSupportsMultipleClipPARs(false);
    desc.setNoSpatialAwareness(false);
}

void VarnokFactory::describeInContext(OFX::ImageEffectDescriptor& desc, OFX::ContextEnum) {
    OFX::ClipDescriptor* source = desc.defineClip(kOfxImageEffectSimpleSourceClipName);
    if (source == nullptr) OFX::throwSuiteStatusException(kOfxStatFailed);
    source->addSupportedComponent(OFX::ePixelComponentRGBA);
    source->setTemporalClipAccess(true);
    source->setSupportsTiles(false);
    source->setIsMask(false);

    OFX::ClipDescriptor* output = desc.defineClip(kOfxImageEffectOutputClipName);
    if (output == nullptr) OFX::throwSuiteStatusException(kOfxStatFailed);
    output->addSupportedComponent(OFX::ePixelComponentRGBA);
    output->setSupportsTiles(false);

    describeParams(desc);
}

OFX::ImageEffect* VarnokFactory::createInstance(OfxImageEffectHandle handle, OFX::ContextEnum) {
    return new VarnokPlugin(handle);
}

namespace OFX {
namespace Plugin {

void getPluginIDs(PluginFactoryArray& ids) {
    static VarnokFactory factory;
    ids.push_back(&factory);
}

}  // namespace Plugin
}  // namespace OFX
