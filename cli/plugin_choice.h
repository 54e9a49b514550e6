// Which plug-in of a bundle, and which of its contexts, a command works with,
// and how a failed action is told to the user.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/ofx_host.h"

namespace varnok {

// Loads `id` from the bundle at `path`; with no id, the bundle's only
// image-effect plug-in. Null with `*error` naming the ids to choose from
// when the bundle holds several, or none by that id.
std::unique_ptr<ofxhost::Plugin> loadChosenPlugin(const std::string& path, const std::string& id,
                                                  const ofxhost::HostDescription& host, std::string* error);

// "filter", "general", "generator", "transition", "paint": the contexts
// --context takes, in the order the default is picked from.
const std::vector<std::string>& contextWords();
// "OfxImageEffectContextFilter" for "filter"; "" for a word not in the list.
std::string contextFromWord(const std::string& word);
// "filter" for "OfxImageEffectContextFilter"; other names as they are.
std::string contextWord(const std::string& context);

// `word` when the plug-in supports it, else the first of contextWords() it
// supports; "" with `*error` when neither.
std::string chooseContext(const ofxhost::Plugin& plugin, const std::string& word, std::string* error);

// "ACTION failed: kOfxStat...", then what the plug-in said (its latest error
// or warning message) and the suites it asked for that varnok lacks.
// `where` follows the action's name (" at frame 3").
std::string actionFailure(const ofxhost::Plugin& plugin, const std::string& actionLabel, int status,
                          const std::string& where = "");

// Describes the plug-in in `context`; false with the failure in `*error`.
bool describeIn(ofxhost::Plugin& plugin, const std::string& context, std::string* error);

}  // namespace varnok
