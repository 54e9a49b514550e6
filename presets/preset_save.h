// Writing preset files.
#pragma once

#include <string>

#include "presets/param_access.h"

namespace ormel {

// The whole file: header, name line (when the name is not empty), then the
// key=value lines with each value sampled at `time`.
std::string formatPresetFile(const ParamAccess& params, double time, const std::string& name);

// Creates missing parent folders, then replaces the file at `path` in one step:
// a failed write leaves any earlier file as it was. False when nothing was saved.
bool savePreset(const ParamAccess& params, const std::string& path, double time,
                const std::string& name);

}  // namespace ormel
