// The host record and the suites fetched from it, shared by the whole layer.
#pragma once

#include "ofxCore.h"
#include "ofxImageEffect.h"
#include "ofxMemory.h"
#include "ofxMessage.h"
#include "ofxMultiThread.h"
#include "ofxParam.h"
#include "ofxProperty.h"

namespace OFX {

struct Suites {
    OfxHost* host = nullptr;
    const OfxPropertySuiteV1* property = nullptr;
    const OfxImageEffectSuiteV1* imageEffect = nullptr;
    const OfxParameterSuiteV1* parameter = nullptr;
    const OfxMemorySuiteV1* memory = nullptr;            // optional
    const OfxMultiThreadSuiteV1* multiThread = nullptr;  // optional
    const OfxMessageSuiteV1* message = nullptr;          // optional
    const OfxMessageSuiteV2* message2 = nullptr;         // optional: persistent messages
};

// The process-wide record; suites are null until fetchSuites succeeds.
Suites& suites();

// What the host's description says of temporal clip access: false when the
// host declares it cannot give frames at other times. A host that does not
// say is taken at its word for the plug-in's own declaration (true).
bool hostHasTemporalClipAccess();

namespace Private {

// Given to the host through the plug-in record.
void setHost(OfxHost* host);

// Fetches every suite through the host's fetchSuite. kOfxStatOK, or
// kOfxStatErrMissingHostFeature when a required suite is missing (the
// required ones stay null then, so no action runs on half a host).
OfxStatus fetchSuites();

// The property, image-effect and parameter suites, or throws
// Exception::Suite(kOfxStatErrMissingHostFeature).
const OfxPropertySuiteV1& propertySuite();
const OfxImageEffectSuiteV1& imageEffectSuite();
const OfxParameterSuiteV1& parameterSuite();

}  // namespace Private
}  // namespace OFX
