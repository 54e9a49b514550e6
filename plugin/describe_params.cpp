#include "plugin/describe_params.h"

#include <map>
#include <string>

#include "catalogue/param_catalogue.h"

namespace {

using OFX::GroupParamDescriptor;
using ormel::ParamKind;
using ormel::ParamSpec;

void labelAndParent(OFX::ParamDescriptor& d, const std::string& label,
                    const GroupParamDescriptor* group) {
    d.setLabels(label, label, label);
    if (group != nullptr) d.setParent(*group);
}

void setupDouble(OFX::DoubleParamDescriptor& d, const std::string& label,
                 const GroupParamDescriptor* group, double def, double minimum, double maximum,
                 double displayMinimum, double displayMaximum, double increment) {
    labelAndParent(d, label, group);
    d.setDefault(def);
    d.setRange(minimum, maximum);
    d.setDisplayRange(displayMinimum, displayMaximum);
    d.setIncrement(increment);
}

void setupInt(OFX::IntParamDescriptor& d, const std::string& label,
              const GroupParamDescriptor* group, int def, int minimum, int maximum,
              int displayMinimum, int displayMaximum) {
    labelAndParent(d, label, group);
    d.setDefault(def);
    d.setRange(minimum, maximum);
    d.setDisplayRange(displayMinimum, displayMaximum);
}

void setupBool(OFX::BooleanParamDescriptor& d, const std::string& label,
               const GroupParamDescriptor* group, bool def) {
    labelAndParent(d, label, group);
    d.setDefault(def);
}

void setupRgb(OFX::RGBParamDescriptor& d, const std::string& label,
              const GroupParamDescriptor* group, double r, double g, double b) {
    labelAndParent(d, label, group);
    d.setDefault(r, g, b);
    d.setRange(0.0, 0.0, 0.0, 1.0, 1.0, 1.0);
    d.setDisplayRange(0.0, 0.0, 0.0, 1.0, 1.0, 1.0);
}

// The catalogue holds whole numbers for integer controls; the cast is exact.
int whole(double v) { return static_cast<int>(v); }

OFX::ParamDescriptor* define(OFX::ImageEffectDescriptor& desc, const ParamSpec& s,
                             const GroupParamDescriptor* group) {
    switch (s.kind) {
        case ParamKind::Double: {
            auto* d = desc.defineDoubleParam(s.name);
            if (d) setupDouble(*d, s.label, group, s.defaultValue, s.minimum, s.maximum,
                               s.displayMinimum, s.displayMaximum, s.increment);
            return d;
        }
        case ParamKind::Integer: {
            auto* d = desc.defineIntParam(s.name);
            if (d) setupInt(*d, s.label, group, whole(s.defaultValue), whole(s.minimum),
                            whole(s.maximum), whole(s.displayMinimum), whole(s.displayMaximum));
            return d;
        }
        case ParamKind::Boolean: {
            auto* d = desc.defineBooleanParam(s.name);
            if (d) setupBool(*d, s.label, group, s.defaultValue != 0.0);
            return d;
        }
        case ParamKind::Choice: {
            auto* d = desc.defineChoiceParam(s.name);
            if (d) {
                labelAndParent(*d, s.label, group);
                for (const std::string& option : s.options) d->appendOption(option, "");
                d->setDefault(whole(s.defaultValue));
            }
            return d;
        }
        case ParamKind::Rgb: {
            auto* d = desc.defineRGBParam(s.name);
            if (d) setupRgb(*d, s.label, group, s.defaultRgb[0], s.defaultRgb[1], s.defaultRgb[2]);
            return d;
        }
        case ParamKind::String: {
            auto* d = desc.defineStringParam(s.name);
            if (d) {
                labelAndParent(*d, s.label, group);
                d->setDefault(s.defaultText);
                d->setStringType(s.stringMode == ormel::StringMode::FilePath
                                     ? OFX::eStringTypeFilePath
                                     : OFX::eStringTypeSingleLine);
            }
            return d;
        }
        case ParamKind::PushButton: {
            auto* d = desc.definePushButtonParam(s.name);
            if (d) labelAndParent(*d, s.label, group);
            return d;
        }
    }
    return nullptr;
}

}  // namespace

void describeParams(OFX::ImageEffectDescriptor& desc) {
    OFX::PageParamDescriptor* page = desc.definePageParam(ormel::pageName());

    std::map<std::string, GroupParamDescriptor*> groups;
    for (const ormel::GroupSpec& g : ormel::groupCatalogue()) {
        GroupParamDescriptor* d = desc.defineGroupParam(g.name);
        if (d == nullptr) continue;
        d->setLabels(g.label, g.label, g.label);
        if (g.setsOpen) d->setOpen(g.open);
        groups[g.name] = d;
    }

    for (const ParamSpec& s : ormel::paramCatalogue()) {
        const auto found = groups.find(s.group);
        OFX::ParamDescriptor* d = define(desc, s, found != groups.end() ? found->second : nullptr);
        if (page != nullptr && d != nullptr) page->addChild(*d);
    }
}
