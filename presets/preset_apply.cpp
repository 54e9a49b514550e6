#include "presets/preset_apply.h"

#include "presets/builtin_looks.h"
#include "presets/preset_catalogue.h"
#include "presets/preset_controls.h"

namespace ormel {

void applyPresetBase(ParamAccess& params) {
    for (const auto& [name, value] : presetBaseValues()) params.setValue(name, value);
}

void applyBuiltinPreset(ParamAccess& params, int index) {
    applyPresetBase(params);
    if (index < 0 || index >= kBuiltinLookCount) return;
    const BuiltinLook look = builtinLooks()[static_cast<std::size_t>(index)];
    params.setValue(kCustomPresetNameParam, textValue(look.name));
    const std::vector<ParamSpec> catalogue = paramCatalogue();
    for (const auto& [name, value] : look.writes) params.setValue(name, heldToRange(catalogue, name, value));
}

}  // namespace ormel
