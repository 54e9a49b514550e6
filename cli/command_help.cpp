#include "cli/command_help.h"

#include <cstdio>
#include <memory>
#include <sstream>

#include "cli/cli_options.h"
#include "cli/plugin_choice.h"
#include "engine/simd_level.h"
#include "host/ofx_host.h"

#ifndef VARNOK_VERSION
#define VARNOK_VERSION "unknown"
#endif

namespace varnok {

namespace {

const char* summary(const std::string& command) {
    if (command == "render") return "Renders INPUT through the plug-in into OUTPUT, every frame or --frames A-B.";
    if (command == "track") return "Writes, per frame, the tracks the effect draws with the same settings as render.";
    if (command == "params") return "Lists every parameter: kind, label, group, default, ranges, options.";
    if (command == "presets") return "Lists the built-in looks, numbered, for --preset.";
    if (command == "demo") return "Renders the built-in synthetic clip with three looks into DIR (default out/demo).";
    if (command == "plugins") return "Lists a bundle's plug-ins: id, version, label and, per context, its clips.";
    if (command == "join") return "Checks the parts that render --chunk wrote for OUTPUT and joins them without re-encoding.";
    if (command == "slurm") return "Submits a render in N chunks as a Slurm job array, and for a video the join after it.";
    return nullptr;
}

}  // namespace

std::string commandUsage(const std::string& command) {
    const char* what = summary(command);
    if (!what) return "";
    // The command's synopsis is its "  varnok COMMAND" line and the deeper
    // indented lines after it; the notes follow the first blank line.
    std::istringstream lines(usageText());
    std::string line, synopsis, notes;
    bool inCommand = false, inNotes = false;
    const std::string head = "  varnok " + command + " ";
    while (std::getline(lines, line)) {
        if (inNotes) {
            notes += line + "\n";
        } else if (line.empty()) {
            inNotes = true;
        } else if (line.compare(0, head.size(), head) == 0) {
            inCommand = true;
            synopsis += line + "\n";
        } else if (inCommand && line.compare(0, 4, "    ") == 0) {
            synopsis += line + "\n";
        } else {
            inCommand = false;
        }
    }
    std::string text = "usage:\n" + synopsis + "\n" + what + "\n";
    if (command == "render" || command == "track") text += "\n" + notes;
    return text;
}

int printVersions(const std::string& plugin, const std::string& id) {
    std::printf("varnok %s\n", VARNOK_VERSION);
    std::string error;
    const auto loaded = loadChosenPlugin(plugin, id, {}, &error);
    if (!loaded) {
        std::printf("plug-in: none loaded from %s\n", plugin.c_str());
        std::fprintf(stderr, "varnok: %s\n", error.c_str());
        return 1;
    }
    std::printf("plug-in: %s %u.%u\n", loaded->identifier().c_str(), loaded->versionMajor(), loaded->versionMinor());
    std::printf("bundle: %s\n", plugin.c_str());
    std::printf("simd level: %s\n", ormel::simdLevelName());
    return 0;
}

}  // namespace varnok
