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

bool PropertySet::tryGetInt(const char* name, int index, int& out) const {
    int v = 0;
    if (handle_ == nullptr) return false;
    if (Private::propertySuite().propGetInt(handle_, name, index, &v) != kOfxStatOK) return false;
    out = v;
    return true;
}

bool PropertySet::tryGetDouble(const char* name, int index, double& out) const {
    double v = 0.0;
    if (handle_ == nullptr) return false;
    if (Private::propertySuite().propGetDouble(handle_, name, index, &v) != kOfxStatOK) return false;
    out = v;
    return true;
}

bool PropertySet::tryGetString(const char* name, int index, std::string& out) const {
    char* v = nullptr;
    if (handle_ == nullptr) return false;
    if (Private::propertySuite().propGetString(handle_, name, index, &v) != kOfxStatOK) return false;
    out = v != nullptr ? v : "";
    return true;
}

bool PropertySet::tryGetPointer(const char* name, int index, void*& out) const {
    void* v = nullptr;
    if (handle_ == nullptr) return false;
    if (Private::propertySuite().propGetPointer(handle_, name, index, &v) != kOfxStatOK) return false;
    out = v;
    return true;
}

}  // namespace OFX
