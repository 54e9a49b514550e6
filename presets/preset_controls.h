// Names of the presets group's own parameters.
#pragma once

namespace ormel {

constexpr const char* kBuiltinPresetParam = "builtinPreset";
constexpr const char* kCustomPresetSlotParam = "customPresetSlot";
constexpr const char* kCustomPresetNameParam = "customPresetName";
constexpr const char* kSaveCustomPresetParam = "saveCustomPreset";
constexpr const char* kLoadCustomPresetParam = "loadCustomPreset";
constexpr const char* kPresetPathParam = "presetPath";
constexpr const char* kSavePresetParam = "savePreset";
constexpr const char* kLoadPresetParam = "loadPreset";

}  // namespace ormel
