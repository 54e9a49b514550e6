// The varnok sub-commands; each returns the process exit code.
#pragma once

#include "cli/cli_options.h"

namespace varnok {

int runRenderCommand(const CliOptions& options);
int runTrackCommand(const CliOptions& options);
int runParamsCommand(const CliOptions& options);
int runDemoCommand(const CliOptions& options);
int runPresetsCommand(const CliOptions& options);

}  // namespace varnok
