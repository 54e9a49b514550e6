// varnok: renders footage through an OpenFX plug-in from the command line.
#include <csignal>
#include <cstdio>

#include "host/commands.h"
#include "host/worker_pool.h"

int main(int argc, char** argv) {
    // A dead ffmpeg must turn into an error message, not kill us mid-write.
    std::signal(SIGPIPE, SIG_IGN);
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
    if (options.command == "params") return varnok::runParamsCommand(options);
    if (options.command == "presets") return varnok::runPresetsCommand(options);
    return varnok::runDemoCommand(options);
}
