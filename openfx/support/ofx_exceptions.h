// Host status codes travelling as C++ exceptions. The main entry catches them
// and hands the status back to the host.
#pragma once

#include <exception>

#include "ofxCore.h"

namespace OFX {
namespace Exception {

class Suite : public std::exception {
public:
    explicit Suite(OfxStatus status) : status_(status) {}
    OfxStatus status() const { return status_; }
    const char* what() const noexcept override;

private:
    OfxStatus status_;
};

}  // namespace Exception

// "kOfxStatFailed" and so on; "kOfxStat?" for codes outside the standard set.
const char* statusName(OfxStatus status);

[[noreturn]] void throwSuiteStatusException(OfxStatus status);

}  // namespace OFX
