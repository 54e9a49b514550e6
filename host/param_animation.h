// A parameter's stored value and keyframes, and how it reads at any time.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "host/ofx_host.h"

namespace ofxhost {

struct AnimatedValue {
    ParamValue value;                    // used while there are no keys
    std::map<double, ParamValue> keys;   // by time
};

// Whether the kind interpolates between keys (doubles and integers) or holds
// the earlier key's value (booleans, choices, strings).
bool interpolates(ParamKind kind);
bool isIntegerKind(ParamKind kind);
// Number of numeric components of the kind; 0 for text kinds and groups.
int componentCount(ParamKind kind);
bool hasValue(ParamKind kind);
ParamKind kindFromType(const std::string& ofxType);

// Linear between keys, constant before the first and after the last; integer
// kinds round the blend half away from zero.
ParamValue valueAt(const AnimatedValue& v, ParamKind kind, double time);
// Slope at `time` (0 outside keys and for non-interpolating kinds), per component.
std::vector<double> derivativeAt(const AnimatedValue& v, ParamKind kind, double time);
// Exact integral of the piecewise-linear curve over [t1, t2], per component.
std::vector<double> integralOver(const AnimatedValue& v, ParamKind kind, double t1, double t2);

}  // namespace ofxhost
