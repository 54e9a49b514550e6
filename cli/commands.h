// The varnok sub-commands; each returns the process exit code.
#pragma once

#include "cli/cli_options.h"

namespace varnok {

int runRenderCommand(const CliOptions& options);
int runTrackCommand(const CliOptions& options);
int runParamsCommand(const CliOptions& options);
int runDemoCommand(const CliOptions& options);
int runPresetsCommand(const CliOptions& options);
int runJoinCommand(const CliOptions& options);
// Takes the whole command line: its render options are passed on to the tasks.
int runSlurmCommand(int argc, char** argv);

}  // namespace varnok
