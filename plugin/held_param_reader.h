// Parameter values as the effect uses them: whatever the host returns, held
// to the range the parameter was declared with (NaN becomes the default), so
// a host that does not hold values, or an expression that leaves the range,
// gives the picture of the nearest value the control allows.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "catalogue/param_catalogue.h"
#include "plugin/settings_sampling.h"

namespace ormel {

class HeldParamReader : public ParamReader {
public:
    // `inner` and `catalogue` must outlive the reader.
    HeldParamReader(const ParamReader& inner, const std::vector<ParamSpec>& catalogue);

    double getDouble(const std::string& name) const override;
    int getInt(const std::string& name) const override;
    bool getBool(const std::string& name) const override;
    int getChoice(const std::string& name) const override;
    std::array<double, 3> getRgb(const std::string& name) const override;

private:
    const ParamSpec& spec(const std::string& name) const;

    const ParamReader& inner_;
    std::unordered_map<std::string, const ParamSpec*> specs_;
};

}  // namespace ormel
