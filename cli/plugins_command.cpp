// varnok plugins BUNDLE: what a bundle offers, as a host sees it.
#include <cstdio>

#include "cli/clip_inputs.h"
#include "cli/commands.h"
#include "cli/json_text.h"
#include "cli/plugin_choice.h"

namespace varnok {

namespace {

struct ContextFacts {
    std::string word;
    std::string failure;   // describe-in-context failed: ...
    std::vector<ClipFacts> clips;
};

struct PluginFacts {
    std::string id, version, label, failure;
    std::vector<ContextFacts> contexts;
};

std::string shortComponent(const std::string& c) {
    const std::string prefix = "OfxImageComponent";
    return c.rfind(prefix, 0) == 0 ? c.substr(prefix.size()) : c;
}

PluginFacts factsOf(const std::string& bundle, const std::string& id) {
    PluginFacts f;
    f.id = id;
    std::string error;
    auto plugin = ofxhost::Plugin::load(bundle, id, &error);
    if (!plugin) {
        f.failure = error;
        return f;
    }
    f.version = std::to_string(plugin->versionMajor()) + "." + std::to_string(plugin->versionMinor());
    const auto label = plugin->effectProperties().find("OfxPropLabel");
    if (label != plugin->effectProperties().end() && !label->second.values.empty()) f.label = label->second.values[0];
    for (const std::string& context : plugin->supportedContexts()) {
        ContextFacts c;
        c.word = contextWord(context);
        if (describeIn(*plugin, context, &c.failure)) {
            for (const ofxhost::ClipInfo& clip : plugin->clips(context)) c.clips.push_back(clipFacts(clip));
        }
        f.contexts.push_back(std::move(c));
    }
    return f;
}

std::string componentsText(const std::vector<std::string>& components, const char* separator) {
    std::string out;
    for (const std::string& c : components) out += (out.empty() ? "" : separator) + shortComponent(c);
    return out;
}

void printText(const PluginFacts& f) {
    if (!f.failure.empty()) {
        std::printf("%s\n  cannot load: %s\n", f.id.c_str(), f.failure.c_str());
        return;
    }
    std::printf("%s  version %s  \"%s\"\n", f.id.c_str(), f.version.c_str(), f.label.c_str());
    for (const ContextFacts& c : f.contexts) {
        std::printf("  %s\n", c.word.c_str());
        if (!c.failure.empty()) std::printf("    %s\n", c.failure.c_str());
        for (const ClipFacts& clip : c.clips)
            std::printf("    %-12s %s%s%s\n", clip.name.c_str(), clip.optional ? "optional " : "",
                        clip.mask ? "mask " : "", componentsText(clip.components, ", ").c_str());
    }
}

std::string jsonOf(const PluginFacts& f) {
    std::string out = "{\"id\": " + jsonString(f.id);
    if (!f.failure.empty()) return out + ", \"error\": " + jsonString(f.failure) + "}";
    out += ", \"version\": " + jsonString(f.version) + ", \"label\": " + jsonString(f.label) + ", \"contexts\": [";
    for (size_t i = 0; i < f.contexts.size(); ++i) {
        const ContextFacts& c = f.contexts[i];
        out += std::string(i ? ", " : "") + "{\"name\": " + jsonString(c.word);
        if (!c.failure.empty()) out += ", \"error\": " + jsonString(c.failure);
        out += ", \"clips\": [";
        for (size_t k = 0; k < c.clips.size(); ++k) {
            const ClipFacts& clip = c.clips[k];
            std::vector<std::string> components;
            for (const std::string& s : clip.components) components.push_back(shortComponent(s));
            out += std::string(k ? ", " : "") + "{\"name\": " + jsonString(clip.name) +
                   ", \"optional\": " + (clip.optional ? "true" : "false") + ", \"mask\": " +
                   (clip.mask ? "true" : "false") + ", \"components\": " + jsonStrings(components) + "}";
        }
        out += "]}";
    }
    return out + "]}";
}

}  // namespace

int runPluginsCommand(const CliOptions& o) {
    std::string error;
    const std::vector<std::string> ids = ofxhost::Plugin::listPlugins(o.plugin, &error);
    if (ids.empty()) return fail(error.empty() ? o.plugin + " holds no plug-in" : error);
    bool allLoaded = true;
    if (o.json) std::printf("[");
    for (size_t i = 0; i < ids.size(); ++i) {
        const PluginFacts f = factsOf(o.plugin, ids[i]);
        allLoaded = allLoaded && f.failure.empty();
        if (o.json) std::printf("%s%s", i ? ",\n " : "", jsonOf(f).c_str());
        else printText(f);
    }
    if (o.json) std::printf("]\n");
    return allLoaded ? 0 : 1;
}

}  // namespace varnok
