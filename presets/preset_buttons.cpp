#include "presets/preset_buttons.h"

#include <algorithm>

#include "presets/builtin_looks.h"
#include "presets/preset_apply.h"
#include "presets/preset_controls.h"
#include "presets/preset_load.h"
#include "presets/preset_save.h"
#include "presets/preset_slots.h"

namespace ormel {
namespace {

// Hosts may hand over indices from another version or without option checks.
int currentSlot(const ParamAccess& params) {
    return std::clamp(params.value(kCustomPresetSlotParam).integer, 0, kCustomSlotCount - 1);
}

std::string currentName(const ParamAccess& params) {
    return currentCustomPresetName(params.value(kCustomPresetNameParam).text, currentSlot(params));
}

void saveToSlot(ParamAccess& params, double time) {
    savePreset(params, customPresetPath(currentSlot(params)), time, currentName(params));
}

}  // namespace

bool isPresetTrigger(const std::string& name) {
    return name == kBuiltinPresetParam || name == kSaveCustomPresetParam || name == kLoadCustomPresetParam ||
           name == kSavePresetParam || name == kLoadPresetParam;
}

bool presetParamChanged(ParamAccess& params, const std::string& name, double time) {
    if (name == kBuiltinPresetParam) {
        const int index = std::clamp(params.value(kBuiltinPresetParam).integer, 0, kBuiltinLookCount - 1);
        applyBuiltinPreset(params, index);
    } else if (name == kSaveCustomPresetParam) {
        saveToSlot(params, time);
    } else if (name == kLoadCustomPresetParam) {
        loadPreset(params, customPresetPath(currentSlot(params)));
    } else if (name == kSavePresetParam) {
        const std::string path = params.value(kPresetPathParam).text;
        if (path.empty()) return true;
        savePreset(params, path, time, currentName(params));
        saveToSlot(params, time);
    } else if (name == kLoadPresetParam) {
        const std::string path = params.value(kPresetPathParam).text;
        if (path.empty()) return true;
        if (loadPreset(params, path)) saveToSlot(params, time);
    } else {
        return false;
    }
    return true;
}

}  // namespace ormel
