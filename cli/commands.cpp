#include "cli/commands.h"

#include <algorithm>
#include <cstdio>

namespace varnok {

int fail(const std::string& message, int code) {
    std::fprintf(stderr, "varnok: %s\n", message.c_str());
    return code;
}

std::unique_ptr<ofxhost::Plugin> loadDescribedPlugin(const CliOptions& o, std::string* context, std::string* error) {
    std::string loadError;
    auto plugin = ofxhost::Plugin::load(pluginPath(o), "", &loadError);
    if (!plugin) {
        *error = "cannot load the plug-in: " + loadError;
        return nullptr;
    }
    *context = ofxhost::kContextFilter;
    const auto contexts = plugin->supportedContexts();
    if (!contexts.empty() && std::find(contexts.begin(), contexts.end(), *context) == contexts.end())
        *context = contexts.front();
    const int st = plugin->describeInContext(*context);
    if (st != ofxhost::kStatusOK && st != ofxhost::kStatusReplyDefault) {
        *error = "describeInContext failed: " + ofxhost::statusName(st);
        return nullptr;
    }
    return plugin;
}

}  // namespace varnok
