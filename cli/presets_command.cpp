#include <cstdio>

#include "cli/commands.h"
#include "cli/preset_options.h"

namespace varnok {

// The built-in looks as numbered in the plug-in's builtinPreset choice.
int runPresetsCommand(const CliOptions& o) {
    std::string error;
    auto plugin = ofxhost::Plugin::load(pluginPath(o), "", &error);
    if (!plugin) {
        std::fprintf(stderr, "varnok: cannot load the plug-in: %s\n", error.c_str());
        return 1;
    }
    const int st = plugin->describeInContext(ofxhost::kContextFilter);
    if (st != ofxhost::kStatusOK && st != ofxhost::kStatusReplyDefault) {
        std::fprintf(stderr, "varnok: describeInContext failed: %s\n", ofxhost::statusName(st).c_str());
        return 1;
    }
    const ofxhost::ParamInfo* choice = builtinPresetChoice(plugin->params(ofxhost::kContextFilter));
    if (!choice) {
        std::fprintf(stderr, "varnok: the plug-in has no built-in looks (no builtinPreset choice)\n");
        return 1;
    }
    for (size_t i = 0; i < choice->options.size(); ++i) std::printf("%2zu  %s\n", i, choice->options[i].c_str());
    return 0;
}

}  // namespace varnok
