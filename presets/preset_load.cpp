#include "presets/preset_load.h"

#include "presets/number_text.h"
#include "presets/preset_catalogue.h"
#include "presets/preset_controls.h"

namespace ormel {
namespace {

// A file's value, held to the control's range as the effect would hold it.
class HeldWrites {
public:
    explicit HeldWrites(ParamAccess& params) : params_(params), catalogue_(paramCatalogue()) {}
    void setValue(const std::string& name, const PresetValue& v) {
        params_.setValue(name, heldToRange(catalogue_, name, v));
    }
    PresetValue value(const std::string& name) const { return params_.value(name); }

private:
    ParamAccess& params_;
    const std::vector<ParamSpec> catalogue_;
};

void applyKey(HeldWrites& params, const PresetMap& map, const PresetKey& key) {
    const auto found = map.find(key.name);
    const bool present = found != map.end();
    switch (key.kind) {
        case ValueKind::Choice:
            params.setValue(key.name, present ? choiceValue(parseLeadingInt(found->second))
                                              : choiceValue(params.value(key.name).integer));
            break;
        case ValueKind::Integer:
            params.setValue(key.name, present ? integerValue(parseLeadingInt(found->second))
                                              : integerValue(params.value(key.name).integer));
            break;
        case ValueKind::Double:
            params.setValue(key.name, present ? doubleValue(parseLeadingDouble(found->second))
                                              : doubleValue(params.value(key.name).number));
            break;
        case ValueKind::Boolean:
            params.setValue(key.name, boolValue(parseBool(map, key.name, params.value(key.name).flag)));
            break;
        case ValueKind::Rgb: {
            double r = 0.0, g = 0.0, b = 0.0;
            if (parseRgb(map, key.name, r, g, b)) params.setValue(key.name, rgbValue(r, g, b));
            break;
        }
        case ValueKind::Text:
            break;
    }
}

}  // namespace

void applyPresetMap(ParamAccess& params, const PresetMap& map) {
    std::string name = params.value(kCustomPresetNameParam).text;
    const auto found = map.find("presetName");
    if (found != map.end()) name = found->second;
    params.setValue(kCustomPresetNameParam, textValue(name));
    HeldWrites held(params);
    for (const PresetKey& key : presetKeys()) applyKey(held, map, key);
}

bool loadPreset(ParamAccess& params, const std::string& path) {
    const PresetMap map = readPresetFile(path);
    if (map.empty()) return false;
    applyPresetMap(params, map);
    return true;
}

}  // namespace ormel
