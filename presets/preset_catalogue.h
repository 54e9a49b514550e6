// What presets need from the parameter catalogue: the preset keys in file
// order with their kinds, the base values, and the preset folder.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "catalogue/param_catalogue.h"
#include "presets/preset_value.h"

namespace ormel {

struct PresetKey {
    std::string name;
    ValueKind kind = ValueKind::Double;
};

// Every parameter outside the presets group, in catalogue order except that
// hudScale follows sourceOpacity and seed comes last.
std::vector<PresetKey> presetKeys();

// Each preset key with its catalogue default, in key order, except drawTrails off.
std::vector<std::pair<std::string, PresetValue>> presetBaseValues();

// A catalogue entry's default as a preset value (text for strings and buttons).
PresetValue catalogueDefault(const ParamSpec& spec);

// `value` held to the declared range of the parameter called `name` in
// `catalogue`, as every value the effect reads is; kinds without a range and
// names not in the catalogue pass unchanged.
PresetValue heldToRange(const std::vector<ParamSpec>& catalogue, const std::string& name, PresetValue value);

// The per-user preset folder (HOME + "/Documents/Tesmar/Varnok/Presets").
std::string presetFolder();

}  // namespace ormel
