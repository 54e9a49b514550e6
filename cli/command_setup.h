// What render and track share before the first frame: the input opened, the
// frames chosen, the plug-in loaded and set up as the user asked (look,
// --set values, button presses).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/clip_inputs.h"
#include "media/frame_source.h"
#include "host/ofx_host.h"

namespace varnok {

struct CommandSetup {
    FrameSource source;                          // INPUT; not opened when there is none
    bool hasSource = false;
    int width = 0, height = 0;                   // the frame: INPUT's, or --size
    std::vector<ExtraInput> extraInputs;         // --input CLIP=PATH
    std::string context;                         // as the standard names it
    std::string mainClip;                        // the clip INPUT feeds; "" when the context has none
    std::vector<int> frames;                     // to render, ascending
    std::unique_ptr<ofxhost::Plugin> plugin;
    std::unique_ptr<ofxhost::Instance> instance;
    double fps = 24.0;
};

// False with `*error` set to the one line to show.
bool setUpCommand(const CliOptions& options, CommandSetup* setup, std::string* error);

}  // namespace varnok
