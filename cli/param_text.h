// Parameter values written as text on the command line: "NAME=VALUE" and
// "NAME@FRAME=VALUE", checked against what the plug-in described.
#pragma once

#include <string>
#include <vector>

#include "host/ofx_host.h"

namespace varnok {

struct Assignment {
    std::string name;
    bool keyed = false;
    double frame = 0.0;
    std::string value;
};

bool parseAssignment(const std::string& text, Assignment* out, std::string* error);

// Doubles, integers, booleans (true/false/1/0/on/off/yes/no), choices by index
// or exact option text, colours "r,g,b" (or "r,g,b,a"), strings as they are.
// Out-of-range values are refused with the range in the message.
bool valueFromText(const ofxhost::ParamInfo& param, const std::string& text, ofxhost::ParamValue* out,
                   std::string* error);

size_t editDistance(const std::string& a, const std::string& b);
// Up to three described names close to `name`, closest first.
std::vector<std::string> closeNames(const std::string& name, const std::vector<ofxhost::ParamInfo>& params);

// Applies every assignment to the instance; the first problem stops it.
bool applyAssignments(ofxhost::Instance& instance, const std::vector<ofxhost::ParamInfo>& params,
                      const std::vector<Assignment>& assignments, std::string* error);

// "%g"-like text of a number, for messages and listings.
std::string numberText(double v);

}  // namespace varnok
