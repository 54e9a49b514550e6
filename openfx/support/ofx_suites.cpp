#include "openfx/support/ofx_suites.h"

#include "openfx/support/ofx_exceptions.h"

namespace OFX {

Suites& suites() {
    static Suites s;
    return s;
}

bool hostHasTemporalClipAccess() {
    const Suites& s = suites();
    if (s.host == nullptr || s.host->host == nullptr || s.property == nullptr) return true;
    int v = 1;
    if (s.property->propGetInt(s.host->host, kOfxImageEffectPropTemporalClipAccess, 0, &v) != kOfxStatOK) return true;
    return v != 0;
}

namespace Private {
namespace {

template <class T>
const T* fetch(OfxHost* host, const char* name, int version) {
    if (host == nullptr || host->fetchSuite == nullptr) return nullptr;
    return static_cast<const T*>(host->fetchSuite(host->host, name, version));
}

}  // namespace

void setHost(OfxHost* host) {
    Suites& s = suites();
    if (s.host != host) s = Suites{};
    s.host = host;
}

OfxStatus fetchSuites() {
    Suites& s = suites();
    OfxHost* host = s.host;
    const auto* property = fetch<OfxPropertySuiteV1>(host, kOfxPropertySuite, 1);
    const auto* imageEffect = fetch<OfxImageEffectSuiteV1>(host, kOfxImageEffectSuite, 1);
    const auto* parameter = fetch<OfxParameterSuiteV1>(host, kOfxParameterSuite, 1);
    if (property == nullptr || imageEffect == nullptr || parameter == nullptr) {
        s.property = nullptr;
        s.imageEffect = nullptr;
        s.parameter = nullptr;
        return kOfxStatErrMissingHostFeature;
    }
    s.property = property;
    s.imageEffect = imageEffect;
    s.parameter = parameter;
    s.memory = fetch<OfxMemorySuiteV1>(host, kOfxMemorySuite, 1);
    s.multiThread = fetch<OfxMultiThreadSuiteV1>(host, kOfxMultiThreadSuite, 1);
    s.message = fetch<OfxMessageSuiteV1>(host, kOfxMessageSuite, 1);
    s.message2 = fetch<OfxMessageSuiteV2>(host, kOfxMessageSuite, 2);
    return kOfxStatOK;
}

const OfxPropertySuiteV1& propertySuite() {
    if (suites().property == nullptr) throwSuiteStatusException(kOfxStatErrMissingHostFeature);
    return *suites().property;
}

const OfxImageEffectSuiteV1& imageEffectSuite() {
    if (suites().imageEffect == nullptr) throwSuiteStatusException(kOfxStatErrMissingHostFeature);
    return *suites().imageEffect;
}

const OfxParameterSuiteV1& parameterSuite() {
    if (suites().parameter == nullptr) throwSuiteStatusException(kOfxStatErrMissingHostFeature);
    return *suites().parameter;
}

}  // namespace Private
}  // namespace OFX
