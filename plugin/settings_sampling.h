// Turning parameter values at one time into the engine's Settings record:
// host types converted, sizes scaled by the HUD factor, fast preview and
// temporal tracking folded into the fields they govern.
#pragma once

#include <array>
#include <string>

#include "engine/types.h"

namespace ormel {

// Values of the parameters at the time being sampled, by parameter name, as
// the host types them (choices as option index).
class ParamReader {
public:
    virtual ~ParamReader() = default;
    virtual double getDouble(const std::string& name) const = 0;
    virtual int getInt(const std::string& name) const = 0;
    virtual bool getBool(const std::string& name) const = 0;
    virtual int getChoice(const std::string& name) const = 0;
    virtual std::array<double, 3> getRgb(const std::string& name) const = 0;
};

// Reads every non-preset parameter; `time` gives frameNumber.
// `renderScale` is the host's render scale (below 1 in proxy and preview
// modes, where the images are that much smaller): every setting measured in
// pixels is multiplied by it, so the picture is the full render made
// smaller. At 1 nothing changes by a bit.
Settings sampleSettings(const ParamReader& reader, double time, double renderScale = 1.0);

// True when every control that can change the picture is at the value that
// leaves the source as it is (a switch off, an amount at zero, ...), so the
// host may skip the effect. A NaN amount never counts as off.
bool leavesSourceUnchanged(const ParamReader& reader);

}  // namespace ormel
