// The eleven ready-made looks: each a display name and the parameter writes
// made on top of the common base.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "presets/preset_value.h"

namespace ormel {

constexpr int kBuiltinLookCount = 11;

struct BuiltinLook {
    std::string name;  // also the builtinPreset option text
    std::vector<std::pair<std::string, PresetValue>> writes;  // in order
};

std::vector<BuiltinLook> builtinLooks();

}  // namespace ormel
