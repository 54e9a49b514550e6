// Parameter values held in memory, read through the plug-in's sampling as a
// host's parameters would be.
#pragma once

#include <array>
#include <string>

#include "plugin/settings_sampling.h"
#include "tests/presets/memory_params.h"

namespace ormel {

class MemoryReader : public ParamReader {
public:
    explicit MemoryReader(const MemoryParams& params) : params_(params) {}
    double getDouble(const std::string& n) const override { return params_.value(n).number; }
    int getInt(const std::string& n) const override { return params_.value(n).integer; }
    bool getBool(const std::string& n) const override { return params_.value(n).flag; }
    int getChoice(const std::string& n) const override { return params_.value(n).integer; }
    std::array<double, 3> getRgb(const std::string& n) const override { return params_.value(n).rgb; }

private:
    const MemoryParams& params_;
};

}  // namespace ormel
