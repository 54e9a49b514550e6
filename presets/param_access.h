// The seam between preset operations and wherever parameters live: the plug-in
// implements it over its host parameter handles, tests over a plain map.
#pragma once

#include <string>

#include "presets/preset_value.h"

namespace ormel {

class ParamAccess {
public:
    virtual ~ParamAccess() = default;
    // Current (not time-keyed) value of the named parameter.
    virtual PresetValue value(const std::string& name) const = 0;
    // Value at a host time, so animated parameters save as seen at that moment.
    virtual PresetValue valueAt(const std::string& name, double time) const = 0;
    // Plain, not time-keyed, write.
    virtual void setValue(const std::string& name, const PresetValue& v) = 0;
};

}  // namespace ormel
