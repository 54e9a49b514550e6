#include "openfx/support/ofx_params.h"

#include "openfx/support/ofx_exceptions.h"
#include "openfx/support/ofx_suites.h"

namespace OFX {
namespace {

void check(OfxStatus status) {
    if (status != kOfxStatOK) throwSuiteStatusException(status);
}

const OfxParameterSuiteV1& suite() { return Private::parameterSuite(); }

// What a value of type T travels through the suite as.
template <typename T>
struct Wire {
    using type = T;
};
template <>
struct Wire<bool> {
    using type = int;
};

}  // namespace

template <typename T>
T ValueParam<T>::getValue() const {
    typename Wire<T>::type v{};
    check(suite().paramGetValue(handle_, &v));
    return static_cast<T>(v);
}

template <typename T>
T ValueParam<T>::getValueAtTime(double t) const {
    typename Wire<T>::type v{};
    check(suite().paramGetValueAtTime(handle_, t, &v));
    return static_cast<T>(v);
}

template <typename T>
void ValueParam<T>::setValue(T v) {
    check(suite().paramSetValue(handle_, static_cast<typename Wire<T>::type>(v)));
}

template class ValueParam<double>;
template class ValueParam<int>;
template class ValueParam<bool>;

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
