// Describe-time parameter handles: labels, parent, defaults, ranges, options.
// Each setter writes one standard property on the host's descriptor.
#pragma once

#include <string>

#include "ofxParam.h"
#include "openfx/support/ofx_enums.h"
#include "openfx/support/ofx_property_set.h"

namespace OFX {

class GroupParamDescriptor;

class ParamDescriptor : public LabelledDescriptor {
public:
    ParamDescriptor(const std::string& name, OfxPropertySetHandle props);
    virtual ~ParamDescriptor() = default;
    ParamDescriptor(const ParamDescriptor&) = delete;
    ParamDescriptor& operator=(const ParamDescriptor&) = delete;

    const std::string& getName() const { return name_; }

    void setHint(const std::string& hint);
    void setParent(const GroupParamDescriptor& group);

protected:
    std::string name_;
};

// Default, range and display range of a one-value numeric parameter.
template <typename T>
class NumericParamDescriptor : public ParamDescriptor {
public:
    using ParamDescriptor::ParamDescriptor;
    void setDefault(T v);
    void setRange(T minimum, T maximum);
    void setDisplayRange(T minimum, T maximum);
};

extern template class NumericParamDescriptor<double>;
extern template class NumericParamDescriptor<int>;

class DoubleParamDescriptor : public NumericParamDescriptor<double> {
public:
    using NumericParamDescriptor::NumericParamDescriptor;
    void setIncrement(double v);
};

class IntParamDescriptor : public NumericParamDescriptor<int> {
public:
    using NumericParamDescriptor::NumericParamDescriptor;
};

class BooleanParamDescriptor : public ParamDescriptor {
public:
    using ParamDescriptor::ParamDescriptor;
    void setDefault(bool v);
};

class ChoiceParamDescriptor : public ParamDescriptor {
public:
    using ParamDescriptor::ParamDescriptor;
    // Appends after the options already set; an empty hint sets no label option.
    void appendOption(const std::string& option, const std::string& hint = "");
    int getNOptions() const;
    void setDefault(int index);
};

class RGBParamDescriptor : public ParamDescriptor {
public:
    using ParamDescriptor::ParamDescriptor;
    void setDefault(double r, double g, double b);
    void setRange(double rMin, double gMin, double bMin, double rMax, double gMax, double bMax);
    void setDisplayRange(double rMin, double gMin, double bMin, double rMax, double gMax,
                         double bMax);
};

class StringParamDescriptor : public ParamDescriptor {
public:
    using ParamDescriptor::ParamDescriptor;
    void setDefault(const std::string& v);
    void setStringType(StringTypeEnum type);
};

class PushButtonParamDescriptor : public ParamDescriptor {
public:
    using ParamDescriptor::ParamDescriptor;
};

class GroupParamDescriptor : public ParamDescriptor {
public:
    using ParamDescriptor::ParamDescriptor;
    void setOpen(bool open);
};

class PageParamDescriptor : public ParamDescriptor {
public:
    using ParamDescriptor::ParamDescriptor;
    // Appends `child` to the page's children.
    void addChild(const ParamDescriptor& child);
};

}  // namespace OFX
