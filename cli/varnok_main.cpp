// varnok: renders footage through an OpenFX plug-in from the command line.
#include <malloc.h>

#include <csignal>
#include <cstdio>
#include <string>

#include "cli/commands.h"
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
    if (argc > 1 && std::string(argv[1]) == "slurm") return varnok::runSlurmCommand(argc, argv);
    varnok::CliOptions options;
    std::string error;
    if (!varnok::parseCommandLine(argc, argv, &options, &error)) {
        std::fprintf(stderr, "varnok: %s\n\n%s", error.c_str(), varnok::usageText());
        return 2;
    }
    // Before any plug-in is loaded: the multithread suite reports this many processors.
    ofxhost::setWorkerCount(static_cast<unsigned>(options.threads));
    if (options.command == "help") {
        std::fputs(varnok::usageText(), stdout);
        return 0;
    }
    if (options.command == "render") return varnok::runRenderCommand(options);
    if (options.command == "track") return varnok::runTrackCommand(options);
    if (options.command == "params") return varnok::runParamsCommand(options);
    if (options.command == "presets") return varnok::runPresetsCommand(options);
    if (options.command == "join") return varnok::runJoinCommand(options);
    return varnok::runDemoCommand(options);
}
