#include "presets/preset_catalogue.h"

#include <algorithm>

#include "catalogue/param_catalogue.h"
#include "catalogue/param_range.h"

namespace ormel {
namespace {

ValueKind valueKind(ParamKind kind) {
    switch (kind) {
        case ParamKind::Double: return ValueKind::Double;
        case ParamKind::Integer: return ValueKind::Integer;
        case ParamKind::Boolean: return ValueKind::Boolean;
        case ParamKind::Choice: return ValueKind::Choice;
        case ParamKind::Rgb: return ValueKind::Rgb;
        case ParamKind::String:
        case ParamKind::PushButton: break;
    }
    return ValueKind::Text;
}

// Preset parameters in file order: hudScale moves from its own group to just
// after sourceOpacity; seed is already defined last of all.
std::vector<const ParamSpec*> presetSpecs(const std::vector<ParamSpec>& catalogue) {
    std::vector<const ParamSpec*> specs;
    const ParamSpec* hudScale = nullptr;
    for (const ParamSpec& spec : catalogue) {
        if (isPresetControl(spec)) continue;
        if (spec.name == "hudScale") {
            hudScale = &spec;
            continue;
        }
        specs.push_back(&spec);
        if (spec.name == "sourceOpacity" && hudScale != nullptr) specs.push_back(hudScale);
    }
    return specs;
}

}  // namespace

PresetValue catalogueDefault(const ParamSpec& spec) {
    // Catalogue defaults of integers and choices are whole numbers held in a double.
    switch (spec.kind) {
        case ParamKind::Double: return doubleValue(spec.defaultValue);
        case ParamKind::Integer: return integerValue(static_cast<int>(spec.defaultValue));
        case ParamKind::Choice: return choiceValue(static_cast<int>(spec.defaultValue));
        case ParamKind::Boolean: return boolValue(spec.defaultValue != 0.0);
        case ParamKind::Rgb: return rgbValue(spec.defaultRgb[0], spec.defaultRgb[1], spec.defaultRgb[2]);
        case ParamKind::String:
        case ParamKind::PushButton: break;
    }
    return textValue(spec.defaultText);
}

std::vector<PresetKey> presetKeys() {
    const std::vector<ParamSpec> catalogue = paramCatalogue();
    std::vector<PresetKey> keys;
    for (const ParamSpec* spec : presetSpecs(catalogue)) keys.push_back({spec->name, valueKind(spec->kind)});
    return keys;
}

std::vector<std::pair<std::string, PresetValue>> presetBaseValues() {
    const std::vector<ParamSpec> catalogue = paramCatalogue();
    std::vector<std::pair<std::string, PresetValue>> base;
    for (const ParamSpec* spec : presetSpecs(catalogue)) {
        // Trails are hidden in every look that does not ask for them.
        base.emplace_back(spec->name, spec->name == "drawTrails" ? boolValue(false) : catalogueDefault(*spec));
    }
    return base;
}

std::string presetFolder() { return presetDirectory(); }

PresetValue heldToRange(const std::vector<ParamSpec>& catalogue, const std::string& name, PresetValue value) {
    const ParamSpec* spec = findParam(catalogue, name);
    if (spec == nullptr) return value;
    switch (value.kind) {
        case ValueKind::Double: value.number = heldToRange(*spec, value.number); break;
        case ValueKind::Integer:
        case ValueKind::Choice:
            value.integer = static_cast<int>(heldToRange(*spec, static_cast<double>(value.integer)));
            break;
        case ValueKind::Rgb: value.rgb = heldToRange(*spec, value.rgb); break;
        case ValueKind::Boolean:
        case ValueKind::Text: break;
    }
    return value;
}

}  // namespace ormel
