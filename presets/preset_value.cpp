#include "presets/preset_value.h"

#include <utility>

namespace ormel {

PresetValue doubleValue(double v) {
    PresetValue out;
    out.kind = ValueKind::Double;
    out.number = v;
    return out;
}

PresetValue integerValue(int v) {
    PresetValue out;
    out.kind = ValueKind::Integer;
    out.integer = v;
    return out;
}

PresetValue choiceValue(int index) {
    PresetValue out;
    out.kind = ValueKind::Choice;
    out.integer = index;
    return out;
}

PresetValue boolValue(bool v) {
    PresetValue out;
    out.kind = ValueKind::Boolean;
    out.flag = v;
    return out;
}

PresetValue rgbValue(double r, double g, double b) {
    PresetValue out;
    out.kind = ValueKind::Rgb;
    out.rgb = {r, g, b};
    return out;
}

PresetValue textValue(std::string v) {
    PresetValue out;
    out.kind = ValueKind::Text;
    out.text = std::move(v);
    return out;
}

// Compares only the field the kind uses, so stray data in the others never matters.
bool operator==(const PresetValue& a, const PresetValue& b) {
    if (a.kind != b.kind) return false;
    switch (a.kind) {
        case ValueKind::Double: return a.number == b.number;
        case ValueKind::Integer:
        case ValueKind::Choice: return a.integer == b.integer;
        case ValueKind::Boolean: return a.flag == b.flag;
        case ValueKind::Rgb: return a.rgb == b.rgb;
        case ValueKind::Text: return a.text == b.text;
    }
    return false;
}

}  // namespace ormel
