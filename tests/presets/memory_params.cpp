#include "tests/presets/memory_params.h"

#include <stdexcept>

#include "presets/preset_catalogue.h"

namespace ormel {

MemoryParams::MemoryParams() {
    for (const ParamSpec& spec : paramCatalogue()) {
        if (spec.kind != ParamKind::PushButton) values[spec.name] = catalogueDefault(spec);
    }
}

// Unknown names throw so a misspelt key in the code under test fails loudly.
PresetValue MemoryParams::value(const std::string& name) const {
    const auto it = values.find(name);
    if (it == values.end()) throw std::out_of_range("no parameter " + name);
    return it->second;
}

PresetValue MemoryParams::valueAt(const std::string& name, double time) const {
    const auto keyed = keyed_.find(name);
    if (keyed != keyed_.end()) {
        const auto at = keyed->second.find(time);
        if (at != keyed->second.end()) return at->second;
    }
    return value(name);
}

void MemoryParams::setValue(const std::string& name, const PresetValue& v) {
    const auto it = values.find(name);
    if (it == values.end()) throw std::out_of_range("no parameter " + name);
    if (it->second.kind != v.kind) throw std::invalid_argument("wrong kind for " + name);
    it->second = v;
    writes.push_back(name);
}

void MemoryParams::setKeyed(const std::string& name, double time, const PresetValue& v) {
    keyed_[name][time] = v;
}

}  // namespace ormel
