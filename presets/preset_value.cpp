#include "presets/preset_value.h"

#include <utility>

namespace ormel {

namespace {

// A value of `kind` with only its own field set.
template <class Field, class Value>
PresetValue tagged(ValueKind kind, Field PresetValue::*field, Value v) {
    PresetValue out;
    out.kind = kind;
    out.*field = std::move(v);
    return out;
}

}  // namespace

PresetValue doubleValue(double v) { return tagged(ValueKind::Double, &PresetValue::number, v); }
PresetValue integerValue(int v) { return tagged(ValueKind::Integer, &PresetValue::integer, v); }
PresetValue choiceValue(int index) { return tagged(ValueKind::Choice, &PresetValue::integer, index); }
PresetValue boolValue(bool v) { return tagged(ValueKind::Boolean, &PresetValue::flag, v); }
PresetValue textValue(std::string v) { return tagged(ValueKind::Text, &PresetValue::text, std::move(v)); }

PresetValue rgbValue(double r, double g, double b) {
    return tagged(ValueKind::Rgb, &PresetValue::rgb, std::array<double, 3>{r, g, b});
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
