// A property suite over plain maps, enough for the support layer's own tests.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "ofxProperty.h"

namespace fake_ofx {

struct PropertyStore {
    std::map<std::string, std::vector<int>> ints;
    std::map<std::string, std::vector<double>> doubles;
    std::map<std::string, std::vector<std::string>> strings;
    std::map<std::string, std::vector<void*>> pointers;

    OfxPropertySetHandle handle() { return reinterpret_cast<OfxPropertySetHandle>(this); }
};

const OfxPropertySuiteV1* propertySuite();

}  // namespace fake_ofx
