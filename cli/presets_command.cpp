#include <cstdio>

#include "cli/commands.h"
#include "cli/preset_options.h"

namespace varnok {

// The built-in looks as numbered in the plug-in's builtinPreset choice.
int runPresetsCommand(const CliOptions& o) {
    std::string context, error;
    const auto plugin = loadDescribedPlugin(o, &context, &error);
    if (!plugin) return fail(error);
    const ofxhost::ParamInfo* choice = builtinPresetChoice(plugin->params(context));
    if (!choice) return fail("the plug-in has no built-in looks (no builtinPreset choice)");
    for (size_t i = 0; i < choice->options.size(); ++i) std::printf("%2zu  %s\n", i, choice->options[i].c_str());
    return 0;
}

}  // namespace varnok
