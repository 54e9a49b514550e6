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

class DoubleParam : public Param {
public:
    using Param::Param;
    void getValue(double& v) const;
    double getValue() const;
    void getValueAtTime(double t, double& v) const;
    double getValueAtTime(double t) const;
    void setValue(double v);
};

class IntParam : public Param {
public:
    using Param::Param;
    void getValue(int& v) const;
    int getValue() const;
    void getValueAtTime(double t, int& v) const;
    int getValueAtTime(double t) const;
    void setValue(int v);
};

class BooleanParam : public Param {
public:
    using Param::Param;
    void getValue(bool& v) const;
    bool getValue() const;
    void getValueAtTime(double t, bool& v) const;
    bool getValueAtTime(double t) const;
    void setValue(bool v);
};

// The value is the option index, counted from 0.
class ChoiceParam : public Param {
public:
    using Param::Param;
    void getValue(int& v) const;
    int getValue() const;
    void getValueAtTime(double t, int& v) const;
    int getValueAtTime(double t) const;
    void setValue(int v);
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
