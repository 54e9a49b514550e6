// Settling the pixel depth and components each clip is presented in, the
// way hosts do: defaults from the footage and what the plug-in declared,
// then the plug-in's clip-preferences action may ask for others.
#pragma once

#include <string>

#include "host/host_objects.h"

namespace ofxhost {

bool depthFromName(const std::string& name, BitDepth* depth);
bool componentsFromName(const std::string& name, Components* components);

// Runs the clip-preferences action and stores each clip's depth and
// components; the action's status (kOfxStatReplyDefault when the plug-in
// keeps the host's defaults).
int negotiateClipPreferences(InstanceState& s);

// The layout images of `c` are handed in: its own, with the negotiated depth
// and components unless the layout asks for its format to be imposed.
ImageLayout presentedLayout(const ClipObj& c);

}  // namespace ofxhost
