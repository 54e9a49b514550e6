#include "cli/plugin_choice.h"

#include <algorithm>

namespace varnok {

namespace {

std::string joined(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& s : items) out += (out.empty() ? "" : ", ") + s;
    return out;
}

bool ok(int st) { return st == ofxhost::kStatusOK || st == ofxhost::kStatusReplyDefault; }

}  // namespace

std::unique_ptr<ofxhost::Plugin> loadChosenPlugin(const std::string& path, const std::string& id,
                                                  const ofxhost::HostDescription& host, std::string* error) {
    std::string reason;
    const std::vector<std::string> ids = ofxhost::Plugin::listPlugins(path, &reason);
    if (ids.empty()) {
        *error = "cannot load the plug-in: " + (reason.empty() ? path + " holds no plug-in" : reason);
        return nullptr;
    }
    if (id.empty() && ids.size() > 1) {
        *error = path + " holds " + std::to_string(ids.size()) + " plug-ins; choose one with --plugin-id: " + joined(ids);
        return nullptr;
    }
    if (!id.empty() && std::find(ids.begin(), ids.end(), id) == ids.end()) {
        *error = path + " holds no plug-in " + id + "; it holds: " + joined(ids);
        return nullptr;
    }
    auto plugin = ofxhost::Plugin::load(path, id, &reason, host);
    if (!plugin) *error = "cannot load the plug-in: " + reason;
    return plugin;
}

const std::vector<std::string>& contextWords() {
    static const std::vector<std::string> words = {"filter", "general", "generator", "transition", "paint"};
    return words;
}

std::string contextFromWord(const std::string& word) {
    static const char* const names[] = {ofxhost::kContextFilter, ofxhost::kContextGeneral,
                                        ofxhost::kContextGenerator, ofxhost::kContextTransition,
                                        ofxhost::kContextPaint};
    const auto& words = contextWords();
    for (size_t i = 0; i < words.size(); ++i)
        if (words[i] == word) return names[i];
    return "";
}

std::string contextWord(const std::string& context) {
    for (const std::string& w : contextWords())
        if (contextFromWord(w) == context) return w;
    return context;
}

std::string chooseContext(const ofxhost::Plugin& plugin, const std::string& word, std::string* error) {
    const std::vector<std::string> supported = plugin.supportedContexts();
    auto has = [&](const std::string& c) { return std::find(supported.begin(), supported.end(), c) != supported.end(); };
    if (!word.empty()) {
        const std::string wanted = contextFromWord(word);
        if (has(wanted)) return wanted;
        std::vector<std::string> words;
        for (const std::string& c : supported) words.push_back(contextWord(c));
        *error = plugin.identifier() + " has no " + word + " context; it has: " + joined(words);
        return "";
    }
    for (const std::string& w : contextWords())
        if (has(contextFromWord(w))) return contextFromWord(w);
    std::vector<std::string> words;
    for (const std::string& c : supported) words.push_back(contextWord(c));
    *error = plugin.identifier() + " offers no context varnok hosts (" +
             (words.empty() ? std::string("none declared") : joined(words)) + ")";
    return "";
}

std::string actionFailure(const ofxhost::Plugin& plugin, const std::string& actionLabel, int status,
                          const std::string& where) {
    std::string text = actionLabel + " failed" + where + ": " + ofxhost::statusName(status);
    const std::vector<std::string> messages = plugin.messages();
    for (auto it = messages.rbegin(); it != messages.rend(); ++it) {
        const size_t colon = it->find(": ");
        if (colon == std::string::npos) continue;
        const std::string type = it->substr(0, colon);
        if (type == "OfxMessageError" || type == "OfxMessageFatal" || type == "OfxMessageWarning") {
            text += "; the plug-in says: " + it->substr(colon + 2);
            break;
        }
    }
    const std::vector<std::string> missing = plugin.missingSuites();
    if (!missing.empty()) text += "; it asked for suites varnok lacks: " + joined(missing);
    return text;
}

bool describeIn(ofxhost::Plugin& plugin, const std::string& context, std::string* error) {
    const int st = plugin.describeInContext(context);
    if (ok(st)) return true;
    *error = actionFailure(plugin, "describe-in-context (" + contextWord(context) + ")", st);
    return false;
}

}  // namespace varnok
