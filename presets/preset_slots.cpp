#include "presets/preset_slots.h"

#include <algorithm>

#include "presets/preset_catalogue.h"

namespace ormel {

std::string slotNumberText(int slot) {
    const int number = std::clamp(slot, 0, kCustomSlotCount - 1) + 1;
    return (slot <= 8 ? "0" : "") + std::to_string(number);
}

std::string customPresetPath(const std::string& directory, int slot) {
    return directory + "/Custom " + slotNumberText(slot) + ".qelvar";
}

std::string customPresetPath(int slot) { return customPresetPath(presetFolder(), slot); }

std::string currentCustomPresetName(const std::string& typedName, int slot) {
    if (!typedName.empty()) return typedName;
    return "Preset perso " + slotNumberText(slot);
}

}  // namespace ormel
