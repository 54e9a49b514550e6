// Where varnok finds the Varnok bundle when neither --plugin nor
// $VARNOK_PLUGIN names one.
#pragma once

#include <string>

namespace varnok {

// The bundle installed with this program, in the OpenFX plug-in folder of its
// install prefix (/usr/bin/varnok: /usr/OFX/Plugins/Varnok.ofx.bundle), when
// it is there; else the bundle of the build tree this program was built in.
std::string defaultPluginPath();

}  // namespace varnok
