#include "openfx/support/ofx_param_descriptors.h"

namespace OFX {

ParamDescriptor::ParamDescriptor(const std::string& name, OfxPropertySetHandle props)
    : name_(name), props_(props) {}

void ParamDescriptor::setLabel(const std::string& label) {
    props_.propSetString(kOfxPropLabel, label);
}

void ParamDescriptor::setLabels(const std::string& label, const std::string& shortLabel,
                                const std::string& longLabel) {
    props_.propSetString(kOfxPropLabel, label);
    props_.propSetString(kOfxPropShortLabel, shortLabel, 0, false);
    props_.propSetString(kOfxPropLongLabel, longLabel, 0, false);
}

void ParamDescriptor::setHint(const std::string& hint) {
    props_.propSetString(kOfxParamPropHint, hint, 0, false);
}

void ParamDescriptor::setParent(const GroupParamDescriptor& group) {
    props_.propSetString(kOfxParamPropParent, group.getName());
}

void DoubleParamDescriptor::setDefault(double v) { props_.propSetDouble(kOfxParamPropDefault, v); }

void DoubleParamDescriptor::setRange(double minimum, double maximum) {
    props_.propSetDouble(kOfxParamPropMin, minimum);
    props_.propSetDouble(kOfxParamPropMax, maximum);
}

void DoubleParamDescriptor::setDisplayRange(double minimum, double maximum) {
    props_.propSetDouble(kOfxParamPropDisplayMin, minimum);
    props_.propSetDouble(kOfxParamPropDisplayMax, maximum);
}

void DoubleParamDescriptor::setIncrement(double v) {
    props_.propSetDouble(kOfxParamPropIncrement, v);
}

void IntParamDescriptor::setDefault(int v) { props_.propSetInt(kOfxParamPropDefault, v); }

void IntParamDescriptor::setRange(int minimum, int maximum) {
    props_.propSetInt(kOfxParamPropMin, minimum);
    props_.propSetInt(kOfxParamPropMax, maximum);
}

void IntParamDescriptor::setDisplayRange(int minimum, int maximum) {
    props_.propSetInt(kOfxParamPropDisplayMin, minimum);
    props_.propSetInt(kOfxParamPropDisplayMax, maximum);
}

void BooleanParamDescriptor::setDefault(bool v) {
    props_.propSetInt(kOfxParamPropDefault, v ? 1 : 0);
}

void ChoiceParamDescriptor::appendOption(const std::string& option, const std::string& hint) {
    const int index = getNOptions();
    props_.propSetString(kOfxParamPropChoiceOption, option, index);
    if (!hint.empty()) props_.propSetString(kOfxParamPropChoiceLabelOption, hint, index, false);
}

int ChoiceParamDescriptor::getNOptions() const {
    return props_.propGetDimension(kOfxParamPropChoiceOption);
}

void ChoiceParamDescriptor::setDefault(int index) {
    props_.propSetInt(kOfxParamPropDefault, index);
}

void RGBParamDescriptor::setDefault(double r, double g, double b) {
    props_.propSetDouble(kOfxParamPropDefault, r, 0);
    props_.propSetDouble(kOfxParamPropDefault, g, 1);
    props_.propSetDouble(kOfxParamPropDefault, b, 2);
}

void RGBParamDescriptor::setRange(double rMin, double gMin, double bMin, double rMax, double gMax,
                                  double bMax) {
    props_.propSetDouble(kOfxParamPropMin, rMin, 0);
    props_.propSetDouble(kOfxParamPropMin, gMin, 1);
    props_.propSetDouble(kOfxParamPropMin, bMin, 2);
    props_.propSetDouble(kOfxParamPropMax, rMax, 0);
    props_.propSetDouble(kOfxParamPropMax, gMax, 1);
    props_.propSetDouble(kOfxParamPropMax, bMax, 2);
}

void RGBParamDescriptor::setDisplayRange(double rMin, double gMin, double bMin, double rMax,
                                         double gMax, double bMax) {
    props_.propSetDouble(kOfxParamPropDisplayMin, rMin, 0);
    props_.propSetDouble(kOfxParamPropDisplayMin, gMin, 1);
    props_.propSetDouble(kOfxParamPropDisplayMin, bMin, 2);
    props_.propSetDouble(kOfxParamPropDisplayMax, rMax, 0);
    props_.propSetDouble(kOfxParamPropDisplayMax, gMax, 1);
    props_.propSetDouble(kOfxParamPropDisplayMax, bMax, 2);
}

void StringParamDescriptor::setDefault(const std::string& v) {
    props_.propSetString(kOfxParamPropDefault, v);
}

void StringParamDescriptor::setStringType(StringTypeEnum type) {
    props_.propSetString(kOfxParamPropStringMode, stringTypeName(type));
}

void GroupParamDescriptor::setOpen(bool open) {
    props_.propSetInt(kOfxParamPropGroupOpen, open ? 1 : 0, 0, false);
}

void PageParamDescriptor::addChild(const ParamDescriptor& child) {
    const int index = props_.propGetDimension(kOfxParamPropPageChild);
    props_.propSetString(kOfxParamPropPageChild, child.getName(), index);
}

}  // namespace OFX
