#include "openfx/support/ofx_params.h"

#include "openfx/support/ofx_exceptions.h"
#include "openfx/support/ofx_suites.h"

namespace OFX {
namespace {

void check(OfxStatus status) {
    if (status != kOfxStatOK) throwSuiteStatusException(status);
}

const OfxParameterSuiteV1& suite() { return Private::parameterSuite(); }

// Integer-valued kinds (integer, boolean, choice) all travel as int.
int getInt(OfxParamHandle h) {
    int v = 0;
    check(suite().paramGetValue(h, &v));
    return v;
}

int getIntAt(OfxParamHandle h, double t) {
    int v = 0;
    check(suite().paramGetValueAtTime(h, t, &v));
    return v;
}

}  // namespace

void DoubleParam::getValue(double& v) const { check(suite().paramGetValue(handle_, &v)); }
double DoubleParam::getValue() const {
    double v = 0.0;
    getValue(v);
    return v;
}
void DoubleParam::getValueAtTime(double t, double& v) const {
    check(suite().paramGetValueAtTime(handle_, t, &v));
}
double DoubleParam::getValueAtTime(double t) const {
    double v = 0.0;
    getValueAtTime(t, v);
    return v;
}
void DoubleParam::setValue(double v) { check(suite().paramSetValue(handle_, v)); }

void IntParam::getValue(int& v) const { v = getInt(handle_); }
int IntParam::getValue() const { return getInt(handle_); }
void IntParam::getValueAtTime(double t, int& v) const { v = getIntAt(handle_, t); }
int IntParam::getValueAtTime(double t) const { return getIntAt(handle_, t); }
void IntParam::setValue(int v) { check(suite().paramSetValue(handle_, v)); }

void BooleanParam::getValue(bool& v) const { v = getInt(handle_) != 0; }
bool BooleanParam::getValue() const { return getInt(handle_) != 0; }
void BooleanParam::getValueAtTime(double t, bool& v) const { v = getIntAt(handle_, t) != 0; }
bool BooleanParam::getValueAtTime(double t) const { return getIntAt(handle_, t) != 0; }
void BooleanParam::setValue(bool v) { check(suite().paramSetValue(handle_, v ? 1 : 0)); }

void ChoiceParam::getValue(int& v) const { v = getInt(handle_); }
int ChoiceParam::getValue() const { return getInt(handle_); }
void ChoiceParam::getValueAtTime(double t, int& v) const { v = getIntAt(handle_, t); }
int ChoiceParam::getValueAtTime(double t) const { return getIntAt(handle_, t); }
void ChoiceParam::setValue(int v) { check(suite().paramSetValue(handle_, v)); }

void RGBParam::getValue(double& r, double& g, double& b) const {
    check(suite().paramGetValue(handle_, &r, &g, &b));
}
void RGBParam::getValueAtTime(double t, double& r, double& g, double& b) const {
    check(suite().paramGetValueAtTime(handle_, t, &r, &g, &b));
}
void RGBParam::setValue(double r, double g, double b) {
    check(suite().paramSetValue(handle_, r, g, b));
}

void StringParam::getValue(std::string& v) const {
    char* s = nullptr;
    check(suite().paramGetValue(handle_, &s));
    v = s != nullptr ? s : "";
}
std::string StringParam::getValue() const {
    std::string v;
    getValue(v);
    return v;
}
void StringParam::getValueAtTime(double t, std::string& v) const {
    char* s = nullptr;
    check(suite().paramGetValueAtTime(handle_, t, &s));
    v = s != nullptr ? s : "";
}
void StringParam::setValue(const std::string& v) {
    check(suite().paramSetValue(handle_, v.c_str()));
}

}  // namespace OFX
