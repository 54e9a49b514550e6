// The parametric parameter suite: curves of control points that a plug-in
// evaluates at positions of its choosing. This host keeps one shape per curve
// for the whole clip (it says it has no parametric animation), so times are
// accepted and not consulted.
#include <algorithm>
#include <cmath>

#include "host/host_objects.h"
#include "openfx/include/ofxParametricParam.h"

namespace ofxhost {

namespace {

using Curve = std::vector<std::pair<double, double>>;

ParamObj* asParametric(OfxParamHandle h) {
    if (!isHandle(h, HandleKind::Param)) return nullptr;
    ParamObj* p = reinterpret_cast<ParamObj*>(h);
    return p->kind == ParamKind::Parametric ? p : nullptr;
}

// The curve `index` of the parameter, made to exist up to its dimension.
Curve* curveOf(OfxParamHandle h, int index, OfxStatus* st) {
    ParamObj* p = asParametric(h);
    if (!p) {
        *st = kOfxStatErrBadHandle;
        return nullptr;
    }
    const int dimension = p->props.getInt(kOfxParamPropParametricDimension, 0, 1);
    if (index < 0 || index >= dimension) {
        *st = kOfxStatErrBadIndex;
        return nullptr;
    }
    if (p->curves.size() < static_cast<size_t>(dimension)) p->curves.resize(static_cast<size_t>(dimension));
    *st = kOfxStatOK;
    return &p->curves[static_cast<size_t>(index)];
}

// Cubic Hermite through the points with Catmull-Rom slopes (one-sided at the
// ends), flat beyond the first and last point. No points: the identity, the
// standard's default curve.
double evaluate(const Curve& c, double x) {
    if (c.empty()) return x;
    if (x <= c.front().first) return c.front().second;
    if (x >= c.back().first) return c.back().second;
    const size_t i = static_cast<size_t>(
        std::upper_bound(c.begin(), c.end(), x, [](double v, const auto& p) { return v < p.first; }) - c.begin() - 1);
    const auto slope = [&](size_t k) {
        const size_t a = k == 0 ? 0 : k - 1, b = std::min(k + 1, c.size() - 1);
        const double dx = c[b].first - c[a].first;
        return dx > 0 ? (c[b].second - c[a].second) / dx : 0.0;
    };
    const double x0 = c[i].first, x1 = c[i + 1].first, h = x1 - x0;
    if (!(h > 0)) return c[i + 1].second;
    const double t = (x - x0) / h, t2 = t * t, t3 = t2 * t;
    return (2 * t3 - 3 * t2 + 1) * c[i].second + (t3 - 2 * t2 + t) * h * slope(i) +
           (-2 * t3 + 3 * t2) * c[i + 1].second + (t3 - t2) * h * slope(i + 1);
}

void sortByPosition(Curve& c) {
    std::stable_sort(c.begin(), c.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
}

OfxStatus getValue(OfxParamHandle h, int index, OfxTime, double position, double* out) {
    OfxStatus st;
    const Curve* c = curveOf(h, index, &st);
    if (!c) return st;
    if (!out) return kOfxStatErrValue;
    *out = evaluate(*c, position);
    return kOfxStatOK;
}

OfxStatus getCount(OfxParamHandle h, int index, double, int* out) {
    OfxStatus st;
    const Curve* c = curveOf(h, index, &st);
    if (!c) return st;
    if (!out) return kOfxStatErrValue;
    *out = static_cast<int>(c->size());
    return kOfxStatOK;
}

OfxStatus getNth(OfxParamHandle h, int index, double, int nth, double* key, double* value) {
    OfxStatus st;
    const Curve* c = curveOf(h, index, &st);
    if (!c) return st;
    if (nth < 0 || static_cast<size_t>(nth) >= c->size()) return kOfxStatErrBadIndex;
    if (key) *key = (*c)[static_cast<size_t>(nth)].first;
    if (value) *value = (*c)[static_cast<size_t>(nth)].second;
    return kOfxStatOK;
}

OfxStatus setNth(OfxParamHandle h, int index, double, int nth, double key, double value, bool) {
    OfxStatus st;
    Curve* c = curveOf(h, index, &st);
    if (!c) return st;
    if (nth < 0 || static_cast<size_t>(nth) >= c->size()) return kOfxStatErrBadIndex;
    if (!std::isfinite(key) || !std::isfinite(value)) return kOfxStatErrValue;
    (*c)[static_cast<size_t>(nth)] = {key, value};
    sortByPosition(*c);
    return kOfxStatOK;
}

OfxStatus addPoint(OfxParamHandle h, int index, double, double key, double value, bool) {
    OfxStatus st;
    Curve* c = curveOf(h, index, &st);
    if (!c) return st;
    if (!std::isfinite(key) || !std::isfinite(value)) return kOfxStatErrValue;
    // A point at a position already held replaces it: a curve is a function.
    for (auto& p : *c)
        if (p.first == key) {
            p.second = value;
            return kOfxStatOK;
        }
    c->push_back({key, value});
    sortByPosition(*c);
    return kOfxStatOK;
}

OfxStatus deleteNth(OfxParamHandle h, int index, int nth) {
    OfxStatus st;
    Curve* c = curveOf(h, index, &st);
    if (!c) return st;
    if (nth < 0 || static_cast<size_t>(nth) >= c->size()) return kOfxStatErrBadIndex;
    c->erase(c->begin() + nth);
    return kOfxStatOK;
}

OfxStatus deleteAll(OfxParamHandle h, int index) {
    OfxStatus st;
    Curve* c = curveOf(h, index, &st);
    if (!c) return st;
    c->clear();
    return kOfxStatOK;
}

const OfxParametricParameterSuiteV1 kParametric = {getValue, getCount, getNth, setNth, addPoint, deleteNth, deleteAll};

}  // namespace

const void* parametricSuite() { return &kParametric; }

}  // namespace ofxhost
