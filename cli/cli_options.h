// The varnok command line.
#pragma once

#include <string>
#include <vector>

#include "media/frame_rate.h"
#include "cli/host_options.h"
#include "cli/option_values.h"
#include "cli/track_formats.h"

namespace varnok {

struct CliOptions {
    std::string command;              // render, track, params, presets, demo, join, help
    std::string input;
    std::string output;
    bool hasFrames = false;
    int firstFrame = 0, lastFrame = 0;
    std::vector<std::string> sets;    // NAME=VALUE / NAME@FRAME=VALUE
    std::string plugin;               // --plugin
    std::string pluginId;             // --plugin-id: which plug-in of the bundle
    std::string context;              // --context: filter, general, generator, transition, paint ("" picks)
    std::vector<std::string> inputs;  // --input CLIP=PATH: footage for clips other than the main one
    int width = 0, height = 0;        // --size WxH: the frame of a render with no INPUT
    bool quiet = false;
    bool json = false;
    bool stats = false;
    double fps = 0.0;                 // --fps for sequences; 0 keeps the input's
    FrameRate rate;                   // --fps exactly (N, N/D or a name); invalid keeps the input's
    std::string codec;                // --codec: the video codec, "" for the container's
    std::string quality;              // --quality: CRF or profile, "" for the codec's
    std::string audio;                // --audio FILE: the sound to carry
    bool noAudio = false;             // --no-audio
    std::string timecode;             // --timecode HH:MM:SS:FF of the first rendered frame
    int demoFrames = 90;
    std::string preset;               // --preset: a built-in look, by number or name
    std::vector<std::string> presses; // --press: push buttons, in order
    std::string trackFormat;          // track --format: csv, json, ae, chan ("" from the extension)
    int trackId = -1;                 // track --id, for the one-track formats: the label of each frame
    int trackNumber = -1;             // track --track: a persistent track, for the one-track formats
    int revive = 8;                   // track --revive: frames an object may be missed and keep its number
    std::string pathsPicture;         // track --paths: picture of every persistent track's path
    TrackStates trackStates;          // track --states: the rows written, by state
    long cacheMb = -1;                // --cache-mb: float frames kept; -1 takes defaultCacheMegabytes()
    int threads = 0;                  // --threads: threads lent to the plug-in; 0 means one per processor
    int chunkIndex = -1, chunkCount = 0;   // --chunk I/N: render only the I-th of N parts (see chunk_plan.h)
    HostOptions host;                 // --render-scale, --no-temporal-host, --max-frame-mb
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
