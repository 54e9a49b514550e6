// How varnok behaves as a host, beyond what it renders: as an editing host
// without temporal clip access, in a proxy mode, and how large a frame it
// takes on at all.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cli/option_values.h"

namespace ofxhost {
class Plugin;
struct HostDescription;
}

namespace varnok {

struct HostOptions {
    bool noTemporalHost = false;   // --no-temporal-host
    bool likeMlt = false;          // --host-like mlt
    double renderScale = 1.0;      // --render-scale
    long maxFrameMb = -1;          // --max-frame-mb; -1 takes defaultMaxFrameMegabytes()
};

// Takes `arg` when it is one of these options, reading its value through
// `value` (false when the command line ends there).
OptionParse parseHostOption(const std::string& arg, const std::function<bool(std::string*)>& value,
                            HostOptions* options, std::string* error);

// The usage lines of these options, for the usage text.
#define VARNOK_HOST_OPTIONS_USAGE                                                              \
    "--render-scale S renders as a host's proxy mode does: the input made S times smaller\n"   \
    "(0.01 to 1), every pixel-sized setting of the effect scaled to match, and the output\n"   \
    "at that size.\n"                                                                          \
    "--no-temporal-host acts as an editing host without temporal clip access: the effect\n"   \
    "gets no earlier frames and says so.\n"                                                    \
    "--host-like mlt acts as the free editors built on MLT do: no earlier frames, a new\n"    \
    "instance of the effect for every frame, a new image label on every fetch, no\n"          \
    "parameter-change calls; frames rendered in order show what such an editor shows.\n"      \
    "--max-frame-mb N refuses, before decoding, a frame whose float RGBA copy needs more\n"    \
    "than N MB (of 1,000,000 bytes; default: half of physical memory).\n"

// What the plug-in is told of the host these options make.
ofxhost::HostDescription hostDescription(const HostOptions& options);

// Half of physical memory, in megabytes of 1,000,000 bytes.
long defaultMaxFrameMegabytes();

// False, with the one line to show in `*error`, when a width x height frame
// would need more than the limit as float RGBA. Decides from the size alone,
// before anything is decoded.
bool frameFitsLimit(const std::string& name, int width, int height, const HostOptions& options,
                    std::string* error);

// What the plug-in asked the user to know (warnings and errors it posted),
// one line each, for the end of a run.
std::vector<std::string> pluginNotices(const ofxhost::Plugin& plugin);

}  // namespace varnok
