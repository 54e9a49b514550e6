#include "plugin/preset_param_access.h"

namespace {

using ormel::ParamKind;
using ormel::PresetValue;

}  // namespace

PresetParamAccess::PresetParamAccess(OFX::ImageEffect& effect) : effect_(&effect) {
    for (const ormel::ParamSpec& spec : ormel::paramCatalogue()) kinds_[spec.name] = spec.kind;
}

ParamKind PresetParamAccess::kindOf(const std::string& name) const {
    const auto found = kinds_.find(name);
    // Only the catalogue's names reach here; anything else is a programming slip.
    if (found == kinds_.end()) OFX::throwSuiteStatusException(kOfxStatErrUnknown);
    return found->second;
}

PresetValue PresetParamAccess::value(const std::string& name) const {
    switch (kindOf(name)) {
        case ParamKind::Double: return ormel::doubleValue(effect_->fetchDoubleParam(name)->getValue());
        case ParamKind::Integer: return ormel::integerValue(effect_->fetchIntParam(name)->getValue());
        case ParamKind::Boolean: return ormel::boolValue(effect_->fetchBooleanParam(name)->getValue());
        case ParamKind::Choice: return ormel::choiceValue(effect_->fetchChoiceParam(name)->getValue());
        case ParamKind::Rgb: {
            double r = 0.0, g = 0.0, b = 0.0;
            effect_->fetchRGBParam(name)->getValue(r, g, b);
            return ormel::rgbValue(r, g, b);
        }
        case ParamKind::String: return ormel::textValue(effect_->fetchStringParam(name)->getValue());
        case ParamKind::PushButton: break;
    }
    return ormel::textValue("");
}

PresetValue PresetParamAccess::valueAt(const std::string& name, double time) const {
    switch (kindOf(name)) {
        case ParamKind::Double:
            return ormel::doubleValue(effect_->fetchDoubleParam(name)->getValueAtTime(time));
        case ParamKind::Integer:
            return ormel::integerValue(effect_->fetchIntParam(name)->getValueAtTime(time));
        case ParamKind::Boolean:
            return ormel::boolValue(effect_->fetchBooleanParam(name)->getValueAtTime(time));
        case ParamKind::Choice:
            return ormel::choiceValue(effect_->fetchChoiceParam(name)->getValueAtTime(time));
        case ParamKind::Rgb: {
            double r = 0.0, g = 0.0, b = 0.0;
            effect_->fetchRGBParam(name)->getValueAtTime(time, r, g, b);
            return ormel::rgbValue(r, g, b);
        }
        case ParamKind::String: {
            std::string text;
            effect_->fetchStringParam(name)->getValueAtTime(time, text);
            return ormel::textValue(text);
        }
        case ParamKind::PushButton: break;
    }
    return ormel::textValue("");
}

void PresetParamAccess::setValue(const std::string& name, const PresetValue& v) {
    switch (kindOf(name)) {
        case ParamKind::Double: effect_->fetchDoubleParam(name)->setValue(v.number); break;
        case ParamKind::Integer: effect_->fetchIntParam(name)->setValue(v.integer); break;
        case ParamKind::Boolean: effect_->fetchBooleanParam(name)->setValue(v.flag); break;
        case ParamKind::Choice: effect_->fetchChoiceParam(name)->setValue(v.integer); break;
        case ParamKind::Rgb: effect_->fetchRGBParam(name)->setValue(v.rgb[0], v.rgb[1], v.rgb[2]); break;
        case ParamKind::String: effect_->fetchStringParam(name)->setValue(v.text); break;
        case ParamKind::PushButton: break;
    }
}
