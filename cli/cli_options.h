// The varnok command line.
#pragma once

#include <string>
#include <vector>

namespace varnok {

struct CliOptions {
    std::string command;              // render, track, params, presets, demo, help
    std::string input;
    std::string output;
    bool hasFrames = false;
    int firstFrame = 0, lastFrame = 0;
    std::vector<std::string> sets;    // NAME=VALUE / NAME@FRAME=VALUE
    std::string plugin;               // --plugin
    bool quiet = false;
    bool json = false;
    bool stats = false;
    double fps = 0.0;                 // --fps for sequences; 0 keeps the input's
    int demoFrames = 90;
    std::string preset;               // --preset: a built-in look, by number or name
    std::vector<std::string> presses; // --press: push buttons, in order
    std::string trackFormat;          // track --format: csv, json, ae, chan ("" from the extension)
    int trackId = -1;                 // track --id, for the one-track formats
    long cacheMb = -1;                // --cache-mb: float frames kept; -1 takes defaultCacheMegabytes()
    int threads = 0;                  // --threads: threads lent to the plug-in; 0 means one per processor
};

// Enough for 64 earlier 1080p float frames, the current one and a spare
// (2088 MB), but never more than a quarter of the machine's physical memory.
long defaultCacheMegabytes();

// False with `*error` set on a malformed command line.
bool parseCommandLine(int argc, char** argv, CliOptions* out, std::string* error);
const char* usageText();

// --plugin, else $VARNOK_PLUGIN, else defaultPluginPath().
std::string pluginPath(const CliOptions& options);

}  // namespace varnok
