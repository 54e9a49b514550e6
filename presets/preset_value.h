// One parameter value as a preset sees it, independent of any host API.
#pragma once

#include <array>
#include <string>

namespace ormel {

enum class ValueKind { Double, Integer, Boolean, Choice, Rgb, Text };

// A tagged value: only the field matching `kind` is meaningful.
// Choices keep their option index in `integer`.
struct PresetValue {
    ValueKind kind = ValueKind::Double;
    double number = 0.0;
    int integer = 0;
    bool flag = false;
    std::array<double, 3> rgb{0.0, 0.0, 0.0};
    std::string text;
};

PresetValue doubleValue(double v);
PresetValue integerValue(int v);
PresetValue choiceValue(int index);
PresetValue boolValue(bool v);
PresetValue rgbValue(double r, double g, double b);
PresetValue textValue(std::string v);

bool operator==(const PresetValue& a, const PresetValue& b);
inline bool operator!=(const PresetValue& a, const PresetValue& b) { return !(a == b); }

}  // namespace ormel
