// `varnok --version` and `varnok COMMAND --help`.
#pragma once

#include <string>

namespace varnok {

// The usage of one command: its lines of the usage text, what it does and,
// for render and track, the notes on their options. "" for an unknown command.
std::string commandUsage(const std::string& command);

// The program's version, the plug-in's as a host sees it and the bundle it
// comes from (`plugin`, as varnok would pick it; `id` picks one of several).
// 0, or 1 with the reason on stderr when the bundle does not load.
int printVersions(const std::string& plugin, const std::string& id = "");

}  // namespace varnok
