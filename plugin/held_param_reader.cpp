#include "plugin/held_param_reader.h"

#include <stdexcept>
#include <utility>

#include "catalogue/param_range.h"

namespace ormel {

ParamRanges::ParamRanges(std::vector<ParamSpec> catalogue) : catalogue_(std::move(catalogue)) {
    for (const ParamSpec& s : catalogue_) byName_[s.name] = &s;
}

const ParamSpec& ParamRanges::spec(const std::string& name) const {
    const auto it = byName_.find(name);
    if (it == byName_.end()) throw std::out_of_range("no parameter " + name);
    return *it->second;
}

double HeldParamReader::getDouble(const std::string& name) const {
    return heldToRange(spec(name), inner_.getDouble(name));
}

// The range's ends are whole numbers, so the held value converts exactly.
int HeldParamReader::getInt(const std::string& name) const {
    return static_cast<int>(heldToRange(spec(name), static_cast<double>(inner_.getInt(name))));
}

bool HeldParamReader::getBool(const std::string& name) const { return inner_.getBool(name); }

int HeldParamReader::getChoice(const std::string& name) const {
    return static_cast<int>(heldToRange(spec(name), static_cast<double>(inner_.getChoice(name))));
}

std::array<double, 3> HeldParamReader::getRgb(const std::string& name) const {
    return heldToRange(spec(name), inner_.getRgb(name));
}

}  // namespace ormel
