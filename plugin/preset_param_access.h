// The preset operations' view of an effect instance: parameters read and
// written by name through the instance's host handles.
#pragma once

#include <map>
#include <string>

#include "openfx/support/ofx_support.h"
#include "catalogue/param_catalogue.h"
#include "presets/param_access.h"

class PresetParamAccess : public ormel::ParamAccess {
public:
    explicit PresetParamAccess(OFX::ImageEffect& effect);

    ormel::PresetValue value(const std::string& name) const override;
    ormel::PresetValue valueAt(const std::string& name, double time) const override;
    void setValue(const std::string& name, const ormel::PresetValue& v) override;

private:
    ormel::ParamKind kindOf(const std::string& name) const;

    // Fetching by name hands back the handles the instance already holds.
    OFX::ImageEffect* effect_;
    std::map<std::string, ormel::ParamKind> kinds_;
};
