#include "host/param_animation.h"

#include <cmath>

namespace ofxhost {

bool interpolates(ParamKind k) {
    switch (k) {
        case ParamKind::Double: case ParamKind::Integer: case ParamKind::RGB: case ParamKind::RGBA:
        case ParamKind::Double2D: case ParamKind::Integer2D: case ParamKind::Double3D:
        case ParamKind::Integer3D:
            return true;
        default:
            return false;
    }
}

bool isIntegerKind(ParamKind k) {
    return k == ParamKind::Integer || k == ParamKind::Integer2D || k == ParamKind::Integer3D ||
           k == ParamKind::Boolean || k == ParamKind::Choice;
}

int componentCount(ParamKind k) {
    switch (k) {
        case ParamKind::Double: case ParamKind::Integer: case ParamKind::Boolean:
        case ParamKind::Choice:
            return 1;
        case ParamKind::Double2D: case ParamKind::Integer2D: return 2;
        case ParamKind::RGB: case ParamKind::Double3D: case ParamKind::Integer3D: return 3;
        case ParamKind::RGBA: return 4;
        default: return 0;
    }
}

bool hasValue(ParamKind k) {
    return componentCount(k) > 0 || k == ParamKind::String || k == ParamKind::Custom;
}

ParamKind kindFromType(const std::string& t) {
    static const std::map<std::string, ParamKind> kinds = {
        {"OfxParamTypeDouble", ParamKind::Double},       {"OfxParamTypeInteger", ParamKind::Integer},
        {"OfxParamTypeBoolean", ParamKind::Boolean},     {"OfxParamTypeChoice", ParamKind::Choice},
        {"OfxParamTypeRGB", ParamKind::RGB},             {"OfxParamTypeRGBA", ParamKind::RGBA},
        {"OfxParamTypeDouble2D", ParamKind::Double2D},   {"OfxParamTypeInteger2D", ParamKind::Integer2D},
        {"OfxParamTypeDouble3D", ParamKind::Double3D},   {"OfxParamTypeInteger3D", ParamKind::Integer3D},
        {"OfxParamTypeString", ParamKind::String},       {"OfxParamTypeCustom", ParamKind::Custom},
        {"OfxParamTypePushButton", ParamKind::PushButton}, {"OfxParamTypeGroup", ParamKind::Group},
        {"OfxParamTypePage", ParamKind::Page},           {"OfxParamTypeParametric", ParamKind::Parametric},
    };
    auto it = kinds.find(t);
    return it == kinds.end() ? ParamKind::ParametricUnknown : it->second;
}

namespace {

double roundHalfAway(double v) { return std::round(v); }

ParamValue blend(const ParamValue& a, const ParamValue& b, double f, ParamKind kind) {
    ParamValue out = a;
    const size_t n = std::min(a.numbers.size(), b.numbers.size());
    for (size_t i = 0; i < n; ++i) {
        double v = a.numbers[i] + (b.numbers[i] - a.numbers[i]) * f;
        if (isIntegerKind(kind)) v = roundHalfAway(v);
        out.numbers[i] = v;
    }
    return out;
}

}  // namespace

ParamValue valueAt(const AnimatedValue& v, ParamKind kind, double time) {
    if (v.keys.empty()) return v.value;
    if (std::isnan(time)) return v.keys.begin()->second;
    auto after = v.keys.lower_bound(time);
    if (after == v.keys.end()) return std::prev(after)->second;
    if (after->first == time || after == v.keys.begin()) return after->second;
    auto before = std::prev(after);
    if (!interpolates(kind)) return before->second;
    const double f = (time - before->first) / (after->first - before->first);
    return blend(before->second, after->second, f, kind);
}

std::vector<double> derivativeAt(const AnimatedValue& v, ParamKind kind, double time) {
    std::vector<double> d(static_cast<size_t>(componentCount(kind)), 0.0);
    if (!interpolates(kind) || v.keys.size() < 2 || std::isnan(time)) return d;
    auto after = v.keys.upper_bound(time);
    if (after == v.keys.end() || after == v.keys.begin()) return d;
    auto before = std::prev(after);
    const double dt = after->first - before->first;
    for (size_t i = 0; i < d.size() && i < before->second.numbers.size() &&
                       i < after->second.numbers.size(); ++i)
        d[i] = (after->second.numbers[i] - before->second.numbers[i]) / dt;
    return d;
}

std::vector<double> integralOver(const AnimatedValue& v, ParamKind kind, double t1, double t2) {
    const size_t n = static_cast<size_t>(componentCount(kind));
    std::vector<double> sum(n, 0.0);
    if (!std::isfinite(t1) || !std::isfinite(t2) || t1 == t2) return sum;
    double sign = 1.0;
    if (t2 < t1) {
        std::swap(t1, t2);
        sign = -1.0;
    }
    // Break points: the ends and every key between them; the curve is linear
    // (or, for holding kinds, constant from the left) on each piece.
    std::vector<double> cuts{t1};
    for (auto it = v.keys.upper_bound(t1); it != v.keys.end() && it->first < t2; ++it)
        cuts.push_back(it->first);
    cuts.push_back(t2);
    for (size_t c = 0; c + 1 < cuts.size(); ++c) {
        const double a = cuts[c], b = cuts[c + 1];
        const ParamValue va = valueAt(v, kind, a);
        const ParamValue vb = interpolates(kind) ? valueAt(v, kind, b) : va;
        for (size_t i = 0; i < n && i < va.numbers.size() && i < vb.numbers.size(); ++i)
            sum[i] += 0.5 * (va.numbers[i] + vb.numbers[i]) * (b - a);
    }
    for (double& s : sum) s *= sign;
    return sum;
}

}  // namespace ofxhost
