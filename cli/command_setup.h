// What render and track share before the first frame: the input opened, the
// frames chosen, the plug-in loaded and set up as the user asked (look,
// --set values, button presses).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "media/frame_source.h"
#include "host/ofx_host.h"

namespace varnok {

struct CommandSetup {
    FrameSource source;
    std::vector<int> frames;                     // to render, ascending
    std::unique_ptr<ofxhost::Plugin> plugin;
    std::unique_ptr<ofxhost::Instance> instance;
    double fps = 24.0;
};

// False with `*error` set to the one line to show.
bool setUpCommand(const CliOptions& options, CommandSetup* setup, std::string* error);

}  // namespace varnok
