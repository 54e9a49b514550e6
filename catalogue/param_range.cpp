#include "catalogue/param_range.h"

#include <cmath>

namespace ormel {
namespace {

double clampOrDefault(double v, double lo, double hi, double def) {
    if (std::isnan(v)) return def;
    if (v < lo) return lo;
    if (v > hi) return hi;
    return v;
}

}  // namespace

double heldToRange(const ParamSpec& spec, double value) {
    switch (spec.kind) {
        case ParamKind::Double:
        case ParamKind::Integer:
            return clampOrDefault(value, spec.minimum, spec.maximum, spec.defaultValue);
        case ParamKind::Choice: {
            const double last = spec.options.empty() ? 0.0 : static_cast<double>(spec.options.size() - 1);
            return clampOrDefault(value, 0.0, last, spec.defaultValue);
        }
        case ParamKind::Boolean:
            return std::isnan(value) ? spec.defaultValue : (value != 0.0 ? 1.0 : 0.0);
        default:
            return value;
    }
}

std::array<double, 3> heldToRange(const ParamSpec& spec, const std::array<double, 3>& rgb) {
    std::array<double, 3> out{};
    for (int i = 0; i < 3; ++i) out[i] = clampOrDefault(rgb[i], 0.0, 1.0, spec.defaultRgb[i]);
    return out;
}

}  // namespace ormel
