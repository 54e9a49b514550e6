// Every control the effect shows, as one table: what the host sees (names,
// kinds, French labels, defaults, ranges and options, in the order they are
// declared), the Settings field each fills and how it is sampled, whether
// detection reads it, and which value leaves the source as it is. Describe,
// sampling, the detection-cache key, the identity test, preset keys and the
// defaults are all read from here. No OpenFX dependency, so the preset code
// can read defaults and keys too.
#pragma once

#include <array>
#include <string>
#include <variant>
#include <vector>

#include "engine/types.h"

namespace ormel {

enum class ParamKind { Double, Integer, Boolean, Choice, Rgb, String, PushButton };

enum class StringMode { SingleLine, FilePath };

// How a sampled value becomes its field.
enum class Sampling {
    None,          // no field: preset controls, or read by the sampling code itself
    Plain,         // as the host gives it
    HudSize,       // x hudScale x render scale, in float
    HudRounded,    // integer x hudScale x render scale, rounded half away from zero
    HudTextSize,   // as HudRounded, at least 1
    RenderLength,  // x render scale, in float
    RenderCount,   // integer x render scale, rounded; one that was on stays at least 1
    RenderArea,    // as RenderCount with the square of the render scale
    Own,           // the sampling code has its own rule for this field
};

// The value at which a control leaves the source picture as it is.
enum class Passthrough {
    Ignored,      // not looked at by the identity test
    WhenOff,      // a switch that is off
    AtMostZero,   // an amount at or below zero (NaN never counts as off)
    AtZero,       // an amount of exactly zero (signed amounts)
    FirstOption,  // a choice at its first option
    AtLeastOne,   // an opacity at or above one
};

// The Settings member a parameter fills, or none.
using SettingsField =
    std::variant<std::monostate, float Settings::*, int32_t Settings::*, bool Settings::*, Pixel Settings::*,
                 RenderEngine Settings::*, OutputMode Settings::*, PointShape Settings::*, BoxCorner Settings::*,
                 ConnectionMode Settings::*, LineCurve Settings::*, LineMotif Settings::*, LabelText Settings::*,
                 AsciiMode Settings::*, SortScope Settings::*, SortDirection Settings::*>;

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

    SettingsField field;  // the Settings member it fills
    Sampling sampling = Sampling::None;
    bool detection = false;  // detection reads it, so it is part of the detection-cache key
    Passthrough passthrough = Passthrough::Ignored;
    // A switch that must be on for this value to matter to the identity test.
    std::string passthroughGate;
};

struct GroupSpec {
    std::string name;
    std::string label;
    bool setsOpen = false;  // false: the host's default open state applies
    bool open = true;       // only meaningful when setsOpen
};

// The one page holding every non-group parameter.
inline const char* pageName() { return "Réglages"; }

// The groups, in order of definition.
std::vector<GroupSpec> groupCatalogue();

// The parameters in order of definition. Built afresh on each call because
// the default of `presetPath` depends on HOME at the moment of description.
std::vector<ParamSpec> paramCatalogue();

// The same table made once, for readers that never look at `presetPath`'s
// default (sampling, the identity test, the detection-cache key).
const std::vector<ParamSpec>& paramTable();

// Settings fields no parameter fills: the sampling code computes them from
// other controls and the time.
std::vector<SettingsField> computedFields();

// Settings with every field at its parameter's default as the engine takes
// it (before the HUD factor and the render scale); fields the sampling code
// computes keep the engine's neutral values (full-resolution detection, no
// earlier frames, frame 0). Settings{} equals it.
Settings defaultSettings();

// The entry called `name`, or nullptr; `catalogue` must outlive the result.
const ParamSpec* findParam(const std::vector<ParamSpec>& catalogue, const std::string& name);

// True for the controls of the `presets` group, which are never sampled.
bool isPresetControl(const ParamSpec& spec);

// HOME (or a fixed fallback when unset or empty) + "/Documents/Tesmar/Varnok/Presets".
// Does not create the folder.
std::string presetDirectory();

}  // namespace ormel
