// Loading preset files into parameters.
#pragma once

#include <string>

#include "presets/param_access.h"
#include "presets/preset_file_read.h"

namespace ormel {

// Writes the name and every preset key from `map`; keys missing from it write
// back the current value (colours are left alone). The map must not be empty.
void applyPresetMap(ParamAccess& params, const PresetMap& map);

// True when the file gave at least one key=value pair and its values were
// applied; false (nothing written) for a missing, unreadable or empty file.
bool loadPreset(ParamAccess& params, const std::string& path);

}  // namespace ormel
