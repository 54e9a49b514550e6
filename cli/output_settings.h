// How render writes its output, from the options and the input: the
// codec, the exact rate, the colour, the timecode and the sound.
#pragma once

#include <string>

#include "cli/cli_options.h"
#include "cli/command_setup.h"
#include "media/video_io.h"

namespace varnok {

// False (with `*error`) on a codec, quality, timecode or sound the output
// cannot take; `*note` tells of what is dropped, for the user.
bool outputSettings(const CliOptions& options, const CommandSetup& setup, VideoOutput* out, std::string* error,
                    std::string* note);

}  // namespace varnok
