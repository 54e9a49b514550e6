#include "cli/cli_options.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "cli/chunk_plan.h"
#include "cli/plugin_choice.h"
#include "cli/plugin_location.h"

namespace varnok {

const char* usageText() {
    return "usage:\n"
           "  varnok render [INPUT] -o OUTPUT [--frames A-B] [--set NAME=VALUE]... [--plugin BUNDLE]\n"
           "                [--plugin-id ID] [--context C] [--input CLIP=PATH]... [--size WxH]\n"
           "                [--fps N] [--quiet] [--stats] [--preset LOOK] [--press BUTTON]...\n"
           "                [--cache-mb N] [--threads N] [--codec C] [--quality N] [--audio FILE]\n"
           "                [--no-audio] [--timecode HH:MM:SS:FF] [--chunk I/N]\n"
           "                [--render-scale S] [--no-temporal-host] [--host-like mlt] [--max-frame-mb N]\n"
           "  varnok track INPUT -o OUT.csv|OUT.json|OUT.txt|OUT.chan [--format csv|json|ae|chan]\n"
           "                [--track N | --id N] [--revive N] [--states LIST] [--paths PATHS.png]\n"
           "                and the options of render\n"
           "  varnok params [--json] [--plugin BUNDLE] [--plugin-id ID] [--context C]\n"
           "  varnok presets [--plugin BUNDLE] [--plugin-id ID]\n"
           "  varnok plugins BUNDLE [--json]\n"
           "  varnok demo [-o DIR] [--frames-count N] [--plugin BUNDLE] [--quiet]\n"
           "  varnok join OUTPUT.mp4\n"
           "  varnok slurm render INPUT -o OUTPUT --chunks N [render options] [--partition P]\n"
           "                [--time T] [--wait] [--dry-run]\n"
           "\n"
           "INPUT and OUTPUT: image sequences (name.%04d.png, name.####.exr), single images,\n"
           "or videos (mp4, mov, mkv, webm). --set NAME@FRAME=VALUE sets a keyframe.\n"
           "--preset picks a built-in look (number or name, see `varnok presets`) before the\n"
           "--set values; --press then reports each push button (saveCustomPreset, savePreset,\n"
           "loadPreset, loadCustomPreset) at the first frame, e.g. with --set presetPath=FILE.\n"
           "The plug-in is --plugin, else $VARNOK_PLUGIN, else the bundle installed with varnok\n"
           "(/usr/bin/varnok: /usr/OFX/Plugins/Varnok.ofx.bundle), else the one built with it.\n"
           "--cache-mb N keeps up to N MB of frames converted to float for the earlier frames\n"
           "the effect reads again (default: enough for 64 earlier 1080p frames and the current\n"
           "one, 2088 MB, but at most a quarter of physical memory; 0 converts every fetch\n"
           "afresh).\n"
           "track writes, per frame, the tracks the effect draws with the same settings: x from\n"
           "the left and y from the top in footage pixels (csv, json; ae is After Effects\n"
           "keyframe data for one track, pasted onto Position), except chan, a Nuke file for\n"
           "one track whose y counts up from the bottom as Nuke does. Ids are the labels' own,\n"
           "fresh in every frame; track numbers stay with an object over the whole range\n"
           "(--track N picks one, --revive N frames an object may be missed and keep its number,\n"
           "default 8). Rows are seen, merged (region shared) or predicted (missed); --states\n"
           "seen,merged,predicted picks which are written (default all). --paths draws every\n"
           "track's path over the middle frame.\n"
           "--threads N sets how many threads the plug-in may use through the host's\n"
           "multithread suite (and varnok for its own frame conversions); default: every processor.\n"
           "--fps takes N, N/D or 23.976, 29.97, 59.94 (the /1001 rates); without it a video keeps\n"
           "its own exact rate, a sequence is 24 fps. --codec h264|h265|prores|prores4444|dnxhr|ffv1|vp9\n"
           "(default: prores in mov, vp9 in webm, h264 otherwise); --quality is the CRF, or the\n"
           "profile for prores and dnxhr. A video's sound and timecode are carried, cut to the\n"
           "rendered frames; --audio FILE takes the sound from FILE, --no-audio drops it, and\n"
           "--timecode sets the first rendered frame's timecode.\n"
           "--chunk I/N renders the I-th of N contiguous parts of the frames (from 0), a video\n"
           "into OUT.part-IIII-of-NNNN.mp4 beside OUTPUT; `varnok join OUTPUT` checks the parts\n"
           "and joins them without re-encoding. `varnok slurm render` submits the N chunks as a\n"
           "Slurm job array (and the join as a job after it); --dry-run prints the scripts.\n"
           "Any OpenFX plug-in: `varnok plugins BUNDLE` lists a bundle's plug-ins, their contexts\n"
           "and clips; --plugin-id picks one (needed when the bundle holds several). --context\n"
           "filter|general|generator|transition|paint (default: the first the plug-in supports,\n"
           "in that order). INPUT feeds the main clip (Source, else the first one not optional);\n"
           "--input CLIP=PATH feeds any other. A transition's Transition runs from 0 to 1 over\n"
           "the frames unless --set gives it. With no INPUT (a generator, or an optional main\n"
           "clip) --size WxH and --frames A-B set the frames, --fps their rate. The output is\n"
           "the plug-in's region of definition at each frame, written whole; one beyond\n"
           "--max-frame-mb, or unbounded, is cut to the frame. A sequence's frames may differ\n"
           "in size; a video takes the first frame's and refuses others.\n"
           VARNOK_HOST_OPTIONS_USAGE;
}

namespace {

bool parseInt(const std::string& s, int* out) {
    long v = 0;
    if (!parseWholeNumber(s, -1000000000L, 1000000000L, &v)) return false;
    *out = static_cast<int>(v);
    return true;
}

// "A-B", "A" or with negative numbers "-5--1".
bool parseRange(const std::string& s, int* a, int* b) {
    const size_t dash = s.find('-', 1);
    if (dash == std::string::npos) {
        if (!parseInt(s, a)) return false;
        *b = *a;
        return true;
    }
    return parseInt(s.substr(0, dash), a) && parseInt(s.substr(dash + 1), b) && *a <= *b;
}

using O = CliOptions;
const PlainOption<O> kPlainOptions[] = {
    textOption("-o", &O::output),          textOption("--output", &O::output),
    listOption("--set", &O::sets),         textOption("--preset", &O::preset),
    listOption("--press", &O::presses),    textOption("--plugin", &O::plugin),
    textOption("--plugin-id", &O::pluginId), textOption("--context", &O::context),
    listOption("--input", &O::inputs),
    textOption("--codec", &O::codec),      textOption("--quality", &O::quality),
    textOption("--audio", &O::audio),      switchOption("--no-audio", &O::noAudio),
    textOption("--timecode", &O::timecode), textOption("--format", &O::trackFormat),
    textOption("--paths", &O::pathsPicture), switchOption("--quiet", &O::quiet),
    switchOption("-q", &O::quiet),         switchOption("--json", &O::json),
    switchOption("--stats", &O::stats),
};

struct WholeOption {
    const char* name;
    long lo, hi;
    const char* expects;
    int O::*field;
};
const WholeOption kWholeOptions[] = {
    {"--id", 1, 1000000000, "a track id (1 or more)", &O::trackId},
    {"--track", 1, 1000000000, "a track number (1 or more)", &O::trackNumber},
    {"--revive", 0, 100000, "a number of frames (0 or more)", &O::revive},
    {"--frames-count", 1, 10000, "a number of frames between 1 and 10000", &O::demoFrames},
    {"--threads", 1, 1024, "a number of threads between 1 and 1024", &O::threads},
};

const WholeOption* findWholeOption(const std::string& arg) {
    for (const WholeOption& w : kWholeOptions)
        if (arg == w.name) return &w;
    return nullptr;
}

}  // namespace

bool parseCommandLine(int argc, char** argv, CliOptions* o, std::string* error) {
    if (argc < 2) {
        *error = "no command given";
        return false;
    }
    o->command = argv[1];
    if (o->command == "-h" || o->command == "--help" || o->command == "help") {
        o->command = "help";
        return true;
    }
    if (o->command != "render" && o->command != "track" && o->command != "params" && o->command != "presets" &&
        o->command != "demo" && o->command != "join" && o->command != "plugins") {
        *error = "unknown command \"" + o->command + "\"";
        return false;
    }
    std::vector<std::string> positional;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::string* out) { return optionValue(argc, argv, &i, out, error); };
        std::string v;
        auto whole = [&](long lo, long hi, const char* expects, auto* out) {
            return value(&v) && wholeNumberOption(a, v, lo, hi, expects, out, error);
        };
        if (const WholeOption* w = findWholeOption(a)) {
            if (!whole(w->lo, w->hi, w->expects, &(o->*w->field))) return false;
        } else if (a == "--frames") {
            if (!value(&v)) return false;
            if (!parseRange(v, &o->firstFrame, &o->lastFrame)) {
                *error = "--frames expects A-B with A <= B, got \"" + v + "\"";
                return false;
            }
            o->hasFrames = true;
        } else if (a == "--fps") {
            if (!value(&v)) return false;
            if (!parseFrameRate(v, &o->rate)) {
                *error = "--fps expects a rate between 0 and 1000 (N, N/D or 29.97), got \"" + v + "\"";
                return false;
            }
            o->fps = o->rate.value();
        } else if (a == "--states") {
            if (!value(&v)) return false;
            if (!parseTrackStates(v, &o->trackStates)) {
                *error = "--states expects a list of seen, merged, predicted (or all), got \"" + v + "\"";
                return false;
            }
        } else if (a == "--size") {
            if (!value(&v)) return false;
            const size_t x = v.find('x');
            long w = 0, h = 0;
            if (x == std::string::npos || !parseWholeNumber(v.substr(0, x), 1, 65536, &w) ||
                !parseWholeNumber(v.substr(x + 1), 1, 65536, &h)) {
                *error = "--size expects WxH, each 1 to 65536, got \"" + v + "\"";
                return false;
            }
            o->width = static_cast<int>(w);
            o->height = static_cast<int>(h);
        } else if (a == "--cache-mb") {
            if (!whole(0, 1048576, "megabytes between 0 and 1048576", &o->cacheMb)) return false;
        } else if (a == "--chunk") {
            if (!value(&v)) return false;
            if (!parseChunk(v, &o->chunkIndex, &o->chunkCount)) {
                *error = "--chunk expects I/N with 0 <= I < N, got \"" + v + "\"";
                return false;
            }
        } else if (const OptionParse p = takePlainOption(a, kPlainOptions, value, o); p != OptionParse::NotMine) {
            if (p == OptionParse::Error) return false;
        } else if (const OptionParse p = parseHostOption(a, value, &o->host, error); p != OptionParse::NotMine) {
            if (p == OptionParse::Error) return false;
        } else if (a.size() > 1 && a[0] == '-') {
            *error = "unknown option " + a;
            return false;
        } else {
            positional.push_back(a);
        }
    }
    if (o->command == "render" || o->command == "track") {
        // A render may have no INPUT: a generator makes its own frames.
        if (positional.size() > 1 || (positional.empty() && o->command == "track")) {
            *error = o->command + (positional.empty() ? " needs an INPUT" : " takes one INPUT");
            return false;
        }
        if (!positional.empty()) o->input = positional[0];
        if (o->output.empty()) {
            *error = o->command + " needs -o OUTPUT";
            return false;
        }
    } else if (o->command == "plugins") {
        if (positional.size() != 1) {
            *error = "plugins takes one BUNDLE";
            return false;
        }
        o->plugin = positional[0];
    } else if (o->command == "join") {
        if (positional.size() != 1) {
            *error = "join takes one OUTPUT video";
            return false;
        }
        o->output = positional[0];
    } else if (!positional.empty()) {
        *error = "unexpected argument " + positional[0];
        return false;
    }
    if ((!o->preset.empty() || !o->presses.empty()) && o->command != "render" && o->command != "track") {
        *error = "--preset and --press belong to render and track";
        return false;
    }
    if (!o->context.empty() && contextFromWord(o->context).empty()) {
        *error = "--context expects filter, general, generator, transition or paint, got \"" + o->context + "\"";
        return false;
    }
    if ((!o->inputs.empty() || o->width > 0) && o->command != "render") {
        *error = "--input and --size belong to render";
        return false;
    }
    if (o->chunkCount > 0 && o->command != "render") {
        *error = "--chunk belongs to render";
        return false;
    }
    if (o->command == "demo" && o->output.empty()) o->output = "out/demo";
    return true;
}

long defaultCacheMegabytes() {
    const long wanted = 2088;   // 66 x 1920 x 1080 x 16 bytes: 64 earlier frames, the current one, one spare
    const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0) return wanted;
    const long quarterMb = static_cast<long>(static_cast<double>(pages) * pageSize / 4.0 / 1048576.0);
    return std::min(wanted, quarterMb);
}

std::string pluginPath(const CliOptions& o) {
    if (!o.plugin.empty()) return o.plugin;
    const char* env = std::getenv("VARNOK_PLUGIN");
    if (env && *env) return env;
    return defaultPluginPath();
}

}  // namespace varnok
