#include "host/instance_renewal.h"

#include "host/plugin_state.h"

namespace ofxhost {

void renewPluginInstance(InstanceState& s) {
    if (!s.plugin) return;
    forgetImagesOf(&s);
    s.images.clear();
    s.plugin->call(kOfxActionDestroyInstance, s.effect.get(), nullptr, nullptr);
    const int st = s.plugin->call(kOfxActionCreateInstance, s.effect.get(), nullptr, nullptr);
    if (st != kOfxStatOK && st != kOfxStatReplyDefault) {
        s.plugin = nullptr;   // no destroy action for an instance never made
        return;
    }
    s.preferencesDirty = true;   // a new instance is asked again
}

}  // namespace ofxhost
