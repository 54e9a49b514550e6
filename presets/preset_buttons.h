// What a change of one of the preset controls does: apply a look, or save and
// load slot and export files.
#pragma once

#include <string>

#include "presets/param_access.h"

namespace ormel {

// True for the controls that act: builtinPreset and the four buttons.
bool isPresetTrigger(const std::string& name);

// Acts on builtinPreset and the four buttons; any other name does nothing.
// `time` is the host time of the change, at which saved values are sampled.
// Returns true when the name was one of those controls.
bool presetParamChanged(ParamAccess& params, const std::string& name, double time);

}  // namespace ormel
