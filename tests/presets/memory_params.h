// Parameters held in a map, starting at the catalogue defaults, with a log of
// every write, so preset operations can be checked without a host.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "catalogue/param_catalogue.h"
#include "presets/param_access.h"

namespace ormel {

class MemoryParams : public ParamAccess {
public:
    MemoryParams();

    PresetValue value(const std::string& name) const override;
    PresetValue valueAt(const std::string& name, double time) const override;
    void setValue(const std::string& name, const PresetValue& v) override;

    // Makes valueAt(name, time) differ from the current value at that one time.
    void setKeyed(const std::string& name, double time, const PresetValue& v);

    std::map<std::string, PresetValue> values;
    std::vector<std::string> writes;  // names in the order they were written

private:
    std::map<std::string, std::map<double, PresetValue>> keyed_;
};

}  // namespace ormel
