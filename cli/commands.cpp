#include "cli/commands.h"

#include <cstdio>

#include "cli/plugin_choice.h"

namespace varnok {

int fail(const std::string& message, int code) {
    std::fprintf(stderr, "varnok: %s\n", message.c_str());
    return code;
}

std::unique_ptr<ofxhost::Plugin> loadDescribedPlugin(const CliOptions& o, std::string* context, std::string* error) {
    auto plugin = loadChosenPlugin(pluginPath(o), o.pluginId, {}, error);
    if (!plugin) return nullptr;
    *context = chooseContext(*plugin, o.context, error);
    if (context->empty() || !describeIn(*plugin, *context, error)) return nullptr;
    return plugin;
}

}  // namespace varnok
