#include "openfx/support/ofx_param_descriptors.h"

namespace OFX {

ParamDescriptor::ParamDescriptor(const std::string& name, OfxPropertySetHandle props)
    : LabelledDescriptor(props), name_(name) {}

void ParamDescriptor::setHint(const std::string& hint) {
    props_.propSetString(kOfxParamPropHint, hint, 0, false);
}

void ParamDescriptor::setParent(const GroupParamDescriptor& group) {
    props_.propSetString(kOfxParamPropParent, group.getName());
}

namespace {

void setNumber(PropertySet& props, const char* name, double v) { props.propSetDouble(name, v); }
void setNumber(PropertySet& props, const char* name, int v) { props.propSetInt(name, v); }

void setRGB(PropertySet& props, const char* name, double r, double g, double b) {
    props.propSetDouble(name, r, 0);
    props.propSetDouble(name, g, 1);
    props.propSetDouble(name, b, 2);
}

}  // namespace

template <typename T>
void NumericParamDescriptor<T>::setDefault(T v) {
    setNumber(props_, kOfxParamPropDefault, v);
}

template <typename T>
void NumericParamDescriptor<T>::setRange(T minimum, T maximum) {
    setNumber(props_, kOfxParamPropMin, minimum);
    setNumber(props_, kOfxParamPropMax, maximum);
}

template <typename T>
void NumericParamDescriptor<T>::setDisplayRange(T minimum, T maximum) {
    setNumber(props_, kOfxParamPropDisplayMin, minimum);
    setNumber(props_, kOfxParamPropDisplayMax, maximum);
}

template class NumericParamDescriptor<double>;
template class NumericParamDescriptor<int>;

void DoubleParamDescriptor::setIncrement(double v) {
    props_.propSetDouble(kOfxParamPropIncrement, v);
}

void BooleanParamDescriptor::setDefault(bool v) {
    props_.propSetBool(kOfxParamPropDefault, v);
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
    setRGB(props_, kOfxParamPropDefault, r, g, b);
}

void RGBParamDescriptor::setRange(double rMin, double gMin, double bMin, double rMax, double gMax,
                                  double bMax) {
    setRGB(props_, kOfxParamPropMin, rMin, gMin, bMin);
    setRGB(props_, kOfxParamPropMax, rMax, gMax, bMax);
}

void RGBParamDescriptor::setDisplayRange(double rMin, double gMin, double bMin, double rMax,
                                         double gMax, double bMax) {
    setRGB(props_, kOfxParamPropDisplayMin, rMin, gMin, bMin);
    setRGB(props_, kOfxParamPropDisplayMax, rMax, gMax, bMax);
}

void StringParamDescriptor::setDefault(const std::string& v) {
    props_.propSetString(kOfxParamPropDefault, v);
}

void StringParamDescriptor::setStringType(StringTypeEnum type) {
    props_.propSetString(kOfxParamPropStringMode, stringTypeName(type));
}

void GroupParamDescriptor::setOpen(bool open) {
    props_.propSetBool(kOfxParamPropGroupOpen, open, 0, false);
}

void PageParamDescriptor::addChild(const ParamDescriptor& child) {
    props_.propAppendString(kOfxParamPropPageChild, child.getName());
}

}  // namespace OFX
