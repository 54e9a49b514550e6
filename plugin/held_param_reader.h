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

// The declared ranges by parameter name, made once.
class ParamRanges {
public:
    explicit ParamRanges(std::vector<ParamSpec> catalogue);
    ParamRanges(const ParamRanges&) = delete;
    ParamRanges& operator=(const ParamRanges&) = delete;
    // The entry called `name`; throws std::out_of_range for an unknown name.
    const ParamSpec& spec(const std::string& name) const;
    const std::vector<ParamSpec>& catalogue() const { return catalogue_; }

private:
    const std::vector<ParamSpec> catalogue_;
    std::unordered_map<std::string, const ParamSpec*> byName_;
};

class HeldParamReader : public ParamReader {
public:
    // `inner` and `ranges` must outlive the reader.
    HeldParamReader(const ParamReader& inner, const ParamRanges& ranges) : inner_(inner), ranges_(ranges) {}

    double getDouble(const std::string& name) const override;
    int getInt(const std::string& name) const override;
    bool getBool(const std::string& name) const override;
    int getChoice(const std::string& name) const override;
    std::array<double, 3> getRgb(const std::string& name) const override;

private:
    const ParamSpec& spec(const std::string& name) const { return ranges_.spec(name); }

    const ParamReader& inner_;
    const ParamRanges& ranges_;
};

}  // namespace ormel
