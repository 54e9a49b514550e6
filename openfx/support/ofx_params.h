// Instance-side parameter handles: current value, value at a time, and
// writing a value back. Owned by the ImageEffect that fetched them.
#pragma once

#include <string>

#include "ofxParam.h"

namespace OFX {

class Param {
public:
    Param(const std::string& name, OfxParamHandle handle) : name_(name), handle_(handle) {}
    virtual ~Param() = default;
    Param(const Param&) = delete;
    Param& operator=(const Param&) = delete;

    const std::string& getName() const { return name_; }
    OfxParamHandle getHandle() const { return handle_; }

protected:
    std::string name_;
    OfxParamHandle handle_;
};

// A parameter holding one value of type T. Integer, boolean and choice
// parameters all travel through the suite as int.
template <typename T>
class ValueParam : public Param {
public:
    using Param::Param;
    void getValue(T& v) const { v = getValue(); }
    T getValue() const;
    void getValueAtTime(double t, T& v) const { v = getValueAtTime(t); }
    T getValueAtTime(double t) const;
    void setValue(T v);
};

extern template class ValueParam<double>;
extern template class ValueParam<int>;
extern template class ValueParam<bool>;

class DoubleParam : public ValueParam<double> {
public:
    using ValueParam::ValueParam;
};

class IntParam : public ValueParam<int> {
public:
    using ValueParam::ValueParam;
};

class BooleanParam : public ValueParam<bool> {
public:
    using ValueParam::ValueParam;
};

// The value is the option index, counted from 0.
class ChoiceParam : public ValueParam<int> {
public:
    using ValueParam::ValueParam;
};

class RGBParam : public Param {
public:
    using Param::Param;
    void getValue(double& r, double& g, double& b) const;
    void getValueAtTime(double t, double& r, double& g, double& b) const;
    void setValue(double r, double g, double b);
};

class StringParam : public Param {
public:
    using Param::Param;
    void getValue(std::string& v) const;
    std::string getValue() const;
    void getValueAtTime(double t, std::string& v) const;
    void setValue(const std::string& v);
};

class PushButtonParam : public Param {
public:
    using Param::Param;
};

}  // namespace OFX
