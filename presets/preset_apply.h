// Writing the base and the built-in looks into parameters.
#pragma once

#include "presets/param_access.h"

namespace ormel {

// Every preset parameter back to its default, drawTrails off, renderEngine first.
void applyPresetBase(ParamAccess& params);

// The base, then, for 0..10, the look's name into customPresetName and its own
// values in order. Any other index applies the base alone.
void applyBuiltinPreset(ParamAccess& params, int index);

}  // namespace ormel
