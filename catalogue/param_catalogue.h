// Every control the effect shows, as plain data: names, kinds, French labels,
// defaults, ranges and options, in the order they are declared to the host.
// No OpenFX dependency, so the preset code can read defaults and keys too.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace ormel {

enum class ParamKind { Double, Integer, Boolean, Choice, Rgb, String, PushButton };

enum class StringMode { SingleLine, FilePath };

struct ParamSpec {
    std::string name;    // script name, Settings field and preset key
    ParamKind kind = ParamKind::Double;
    std::string label;   // used as label, short label and long label alike
    std::string group;   // name of the parent group
    // Default of a double, integer, boolean (0 or 1) or choice (option index).
    double defaultValue = 0.0;
    std::array<double, 3> defaultRgb = {0.0, 0.0, 0.0};
    std::string defaultText;  // strings only
    // Doubles and integers; RGB colours use 0..1 for both spans.
    double minimum = 0.0;
    double maximum = 0.0;
    double displayMinimum = 0.0;
    double displayMaximum = 0.0;
    double increment = 0.0;  // doubles only; integers set none
    std::vector<std::string> options;  // choices only, index order
    StringMode stringMode = StringMode::SingleLine;
};

struct GroupSpec {
    std::string name;
    std::string label;
    bool setsOpen = false;  // false: the host's default open state applies
    bool open = true;       // only meaningful when setsOpen
};

constexpr int kParamCount = 128;
constexpr int kGroupCount = 14;

// The one page holding every non-group parameter.
inline const char* pageName() { return "Réglages"; }

// The 14 groups, in order of definition.
std::vector<GroupSpec> groupCatalogue();

// The 128 parameters in order of definition. Built afresh on each call because
// the default of `presetPath` depends on HOME at the moment of description.
std::vector<ParamSpec> paramCatalogue();

// The entry called `name`, or nullptr; `catalogue` must outlive the result.
const ParamSpec* findParam(const std::vector<ParamSpec>& catalogue, const std::string& name);

// True for the eight controls of the `presets` group, which are never sampled.
bool isPresetControl(const ParamSpec& spec);

// HOME (or a fixed fallback when unset or empty) + "/Documents/Tesmar/Varnok/Presets".
// Does not create the folder.
std::string presetDirectory();

}  // namespace ormel
