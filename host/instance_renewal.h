// A host that makes a fresh instance of the effect for every frame it
// renders, as MLT's OpenFX module does.
#pragma once

#include "host/host_objects.h"

namespace ofxhost {

// Destroys the plug-in's instance and creates it again on the same handle,
// which keeps the parameter values and clips the host holds. When the
// plug-in refuses the new instance, `s` is left without a plug-in and its
// actions fail from then on.
void renewPluginInstance(InstanceState& s);

}  // namespace ofxhost
