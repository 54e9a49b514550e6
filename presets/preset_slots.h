// The twenty custom slot files and their default names.
#pragma once

#include <string>

namespace ormel {

constexpr int kCustomSlotCount = 20;

// Two-digit slot number: clamp(slot, 0, 19) + 1, with a leading "0" when the
// unclamped slot is at most 8 ("01" for slot 0 or any negative slot, "20" above 19).
std::string slotNumberText(int slot);

// directory + "/Custom NN.qelvar".
std::string customPresetPath(const std::string& directory, int slot);
// The same inside the per-user preset folder.
std::string customPresetPath(int slot);

// The typed name, or "Preset perso NN" for the slot when the name is empty.
std::string currentCustomPresetName(const std::string& typedName, int slot);

}  // namespace ormel
