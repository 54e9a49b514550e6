// Built-in looks and the preset buttons from the command line, driven through
// the plug-in's own parameters the way a host's user drives them.
#pragma once

#include <string>
#include <vector>

#include "host/ofx_host.h"

namespace varnok {

// The plug-in's builtinPreset choice, or null when it has none.
const ofxhost::ParamInfo* builtinPresetChoice(const std::vector<ofxhost::ParamInfo>& params);

// The index of the look named `text` (its option text in builtinPreset, letter
// case ignored) or numbered `text`. False with `*error` listing the looks.
bool findBuiltinPreset(const std::vector<ofxhost::ParamInfo>& params, const std::string& text, int* index,
                       std::string* error);

// Picks the look `text` in builtinPreset and reports the change at `time`.
bool applyBuiltinPresetOption(ofxhost::Instance& instance, const std::vector<ofxhost::ParamInfo>& params,
                              const std::string& text, double time, std::string* error);

// Reports a press of each push button, in order, at `time`.
bool pressButtons(ofxhost::Instance& instance, const std::vector<ofxhost::ParamInfo>& params,
                  const std::vector<std::string>& buttons, double time, std::string* error);

}  // namespace varnok
