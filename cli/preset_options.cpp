#include "cli/preset_options.h"

#include <algorithm>
#include <cctype>

namespace varnok {
namespace {

bool sameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

bool changed(ofxhost::Instance& instance, const std::string& name, double time, std::string* error) {
    const int st = instance.instanceChanged(name, time);
    if (st == ofxhost::kStatusOK || st == ofxhost::kStatusReplyDefault) return true;
    *error = "the plug-in failed on a change of " + name + ": " + ofxhost::statusName(st);
    return false;
}

}  // namespace

const ofxhost::ParamInfo* builtinPresetChoice(const std::vector<ofxhost::ParamInfo>& params) {
    for (const auto& p : params)
        if (p.name == "builtinPreset" && p.kind == ofxhost::ParamKind::Choice) return &p;
    return nullptr;
}

bool findBuiltinPreset(const std::vector<ofxhost::ParamInfo>& params, const std::string& text, int* index,
                       std::string* error) {
    const ofxhost::ParamInfo* choice = builtinPresetChoice(params);
    if (!choice) {
        *error = "the plug-in has no built-in looks (no builtinPreset choice)";
        return false;
    }
    const int count = static_cast<int>(choice->options.size());
    const bool digits = !text.empty() && text.size() < 6 &&
                        std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
    if (digits && std::stoi(text) < count) {
        *index = std::stoi(text);
        return true;
    }
    for (int i = 0; i < count; ++i) {
        if (sameIgnoringCase(choice->options[static_cast<size_t>(i)], text)) {
            *index = i;
            return true;
        }
    }
    *error = "--preset expects a look's number (0-" + std::to_string(count - 1) + ") or name, got \"" + text +
             "\"; `varnok presets` lists them";
    return false;
}

bool applyBuiltinPresetOption(ofxhost::Instance& instance, const std::vector<ofxhost::ParamInfo>& params,
                              const std::string& text, double time, std::string* error) {
    int index = 0;
    if (!findBuiltinPreset(params, text, &index, error)) return false;
    if (!instance.setValue("builtinPreset", ofxhost::ParamValue::number(index))) {
        *error = "cannot set builtinPreset to " + std::to_string(index);
        return false;
    }
    return changed(instance, "builtinPreset", time, error);
}

bool pressButtons(ofxhost::Instance& instance, const std::vector<ofxhost::ParamInfo>& params,
                  const std::vector<std::string>& buttons, double time, std::string* error) {
    for (const std::string& name : buttons) {
        const bool isButton = std::any_of(params.begin(), params.end(), [&](const ofxhost::ParamInfo& p) {
            return p.name == name && p.kind == ofxhost::ParamKind::PushButton;
        });
        if (!isButton) {
            std::string known;
            for (const auto& p : params)
                if (p.kind == ofxhost::ParamKind::PushButton) known += (known.empty() ? "" : ", ") + p.name;
            *error = "--press expects a push button (" + known + "), got \"" + name + "\"";
            return false;
        }
        if (!changed(instance, name, time, error)) return false;
    }
    return true;
}

}  // namespace varnok
