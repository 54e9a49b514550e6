#include "openfx/support/ofx_property_set.h"

#include "openfx/support/ofx_exceptions.h"
#include "openfx/support/ofx_suites.h"

namespace OFX {
namespace {

void check(OfxStatus status, bool throwOnFailure = true) {
    if (status != kOfxStatOK && throwOnFailure) throwSuiteStatusException(status);
}

}  // namespace

void PropertySet::propSetInt(const char* name, int value, int index, bool throwOnFailure) {
    check(Private::propertySuite().propSetInt(handle_, name, index, value), throwOnFailure);
}

void PropertySet::propSetDouble(const char* name, double value, int index, bool throwOnFailure) {
    check(Private::propertySuite().propSetDouble(handle_, name, index, value), throwOnFailure);
}

void PropertySet::propSetString(const char* name, const std::string& value, int index,
                                bool throwOnFailure) {
    check(Private::propertySuite().propSetString(handle_, name, index, value.c_str()),
          throwOnFailure);
}

void PropertySet::propSetPointer(const char* name, void* value, int index, bool throwOnFailure) {
    check(Private::propertySuite().propSetPointer(handle_, name, index, value), throwOnFailure);
}

int PropertySet::propGetInt(const char* name, int index) const {
    int v = 0;
    check(Private::propertySuite().propGetInt(handle_, name, index, &v));
    return v;
}

double PropertySet::propGetDouble(const char* name, int index) const {
    double v = 0.0;
    check(Private::propertySuite().propGetDouble(handle_, name, index, &v));
    return v;
}

std::string PropertySet::propGetString(const char* name, int index) const {
    char* v = nullptr;
    check(Private::propertySuite().propGetString(handle_, name, index, &v));
    return v != nullptr ? std::string(v) : std::string();
}

void* PropertySet::propGetPointer(const char* name, int index) const {
    void* v = nullptr;
    check(Private::propertySuite().propGetPointer(handle_, name, index, &v));
    return v;
}

int PropertySet::propGetDimension(const char* name) const {
    int n = 0;
    check(Private::propertySuite().propGetDimension(handle_, name, &n));
    return n;
}

namespace {

// Reads one value, leaving `out` alone unless the host gives it.
template <typename T>
bool tryGet(OfxPropertySetHandle handle,
            OfxStatus (*OfxPropertySuiteV1::*get)(OfxPropertySetHandle, const char*, int, T*),
            const char* name, int index, T& out) {
    T v{};
    if (handle == nullptr) return false;
    if ((Private::propertySuite().*get)(handle, name, index, &v) != kOfxStatOK) return false;
    out = v;
    return true;
}

}  // namespace

bool PropertySet::tryGetInt(const char* name, int index, int& out) const {
    return tryGet(handle_, &OfxPropertySuiteV1::propGetInt, name, index, out);
}

bool PropertySet::tryGetDouble(const char* name, int index, double& out) const {
    return tryGet(handle_, &OfxPropertySuiteV1::propGetDouble, name, index, out);
}

bool PropertySet::tryGetString(const char* name, int index, std::string& out) const {
    char* v = nullptr;
    if (!tryGet(handle_, &OfxPropertySuiteV1::propGetString, name, index, v)) return false;
    out = v != nullptr ? v : "";
    return true;
}

bool PropertySet::tryGetPointer(const char* name, int index, void*& out) const {
    return tryGet(handle_, &OfxPropertySuiteV1::propGetPointer, name, index, out);
}

void PropertySet::propSetBool(const char* name, bool value, int index, bool throwOnFailure) {
    propSetInt(name, value ? 1 : 0, index, throwOnFailure);
}

void PropertySet::propAppendString(const char* name, const std::string& value) {
    propSetString(name, value, propGetDimension(name));
}

void LabelledDescriptor::setLabel(const std::string& label) {
    props_.propSetString(kOfxPropLabel, label);
}

void LabelledDescriptor::setLabels(const std::string& label, const std::string& shortLabel,
                                   const std::string& longLabel) {
    props_.propSetString(kOfxPropLabel, label);
    props_.propSetString(kOfxPropShortLabel, shortLabel, 0, false);
    props_.propSetString(kOfxPropLongLabel, longLabel, 0, false);
}

}  // namespace OFX
