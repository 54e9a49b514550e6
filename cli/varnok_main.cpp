// varnok: renders footage through an OpenFX plug-in from the command line.
#include <malloc.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/command_help.h"
#include "cli/commands.h"
#include "cli/crash_report.h"
#include "host/worker_pool.h"

int main(int argc, char** argv) {
#if defined(__GLIBC__)
    // Every frame allocates and frees several whole-frame buffers (here and in
    // the plug-in). Kept by the allocator instead of handed back to the
    // system, they cost no fresh zeroed pages for each frame.
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
#endif
    // A dead ffmpeg must turn into an error message, not kill us mid-write.
    std::signal(SIGPIPE, SIG_IGN);
    // A plug-in that crashes is named, with its action and frame.
    varnok::installCrashReport();
    varnok::CliOptions options;
    // --version [--plugin BUNDLE] [--plugin-id ID]: both versions and the bundle that would load.
    if (argc >= 2 && std::strcmp(argv[1], "--version") == 0) {
        for (int i = 2; i < argc; i += 2) {
            if (i + 1 < argc && std::strcmp(argv[i], "--plugin") == 0) options.plugin = argv[i + 1];
            else if (i + 1 < argc && std::strcmp(argv[i], "--plugin-id") == 0) options.pluginId = argv[i + 1];
            else return std::fputs("usage: varnok --version [--plugin BUNDLE] [--plugin-id ID]\n", stderr), 2;
        }
        return varnok::printVersions(varnok::pluginPath(options), options.pluginId);
    }
    // COMMAND --help (or -h anywhere after it) prints that command's usage.
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") != 0 && std::strcmp(argv[i], "-h") != 0) continue;
        const std::string usage = varnok::commandUsage(argv[1]);
        if (usage.empty()) break;
        std::fputs(usage.c_str(), stdout);
        return 0;
    }
    if (argc > 1 && std::string(argv[1]) == "slurm") return varnok::runSlurmCommand(argc, argv);
    std::string error;
    if (!varnok::parseCommandLine(argc, argv, &options, &error)) {
        std::fprintf(stderr, "varnok: %s\n\n%s", error.c_str(), varnok::usageText());
        return 2;
    }
    // Before any plug-in is loaded: the multithread suite reports this many processors.
    ofxhost::setWorkerCount(static_cast<unsigned>(options.threads));
    if (options.command == "help") {
        std::fputs(varnok::usageText(), stdout);
        std::fputs("\nvarnok COMMAND --help prints one command's usage; varnok --version the program's and\n"
                   "the plug-in's versions and the bundle it would load.\n", stdout);
        return 0;
    }
    if (options.command == "render") return varnok::runRenderCommand(options);
    if (options.command == "track") return varnok::runTrackCommand(options);
    if (options.command == "params") return varnok::runParamsCommand(options);
    if (options.command == "presets") return varnok::runPresetsCommand(options);
    if (options.command == "join") return varnok::runJoinCommand(options);
    if (options.command == "plugins") return varnok::runPluginsCommand(options);
    return varnok::runDemoCommand(options);
}
