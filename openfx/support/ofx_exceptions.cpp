#include "openfx/support/ofx_exceptions.h"

#include "ofxImageEffect.h"

namespace OFX {

const char* statusName(OfxStatus status) {
    switch (status) {
        case kOfxStatOK: return "kOfxStatOK";
        case kOfxStatFailed: return "kOfxStatFailed";
        case kOfxStatErrFatal: return "kOfxStatErrFatal";
        case kOfxStatErrUnknown: return "kOfxStatErrUnknown";
        case kOfxStatErrMissingHostFeature: return "kOfxStatErrMissingHostFeature";
        case kOfxStatErrUnsupported: return "kOfxStatErrUnsupported";
        case kOfxStatErrExists: return "kOfxStatErrExists";
        case kOfxStatErrFormat: return "kOfxStatErrFormat";
        case kOfxStatErrMemory: return "kOfxStatErrMemory";
        case kOfxStatErrBadHandle: return "kOfxStatErrBadHandle";
        case kOfxStatErrBadIndex: return "kOfxStatErrBadIndex";
        case kOfxStatErrValue: return "kOfxStatErrValue";
        case kOfxStatReplyYes: return "kOfxStatReplyYes";
        case kOfxStatReplyNo: return "kOfxStatReplyNo";
        case kOfxStatReplyDefault: return "kOfxStatReplyDefault";
        case kOfxStatErrImageFormat: return "kOfxStatErrImageFormat";
        default: return "kOfxStat?";
    }
}

const char* Exception::Suite::what() const noexcept { return statusName(status_); }

void throwSuiteStatusException(OfxStatus status) { throw Exception::Suite(status); }

}  // namespace OFX
