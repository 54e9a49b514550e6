// The varnok sub-commands; each returns the process exit code.
#pragma once

#include <memory>
#include <string>

#include "cli/cli_options.h"
#include "host/ofx_host.h"

namespace varnok {

// Prints "varnok: MESSAGE" to stderr and returns `code`, the exit code.
int fail(const std::string& message, int code = 1);

// The plug-in of `options` (--plugin, --plugin-id), described in --context or
// else the first context it supports (named in *context); null with *error
// set otherwise.
std::unique_ptr<ofxhost::Plugin> loadDescribedPlugin(const CliOptions& options, std::string* context,
                                                     std::string* error);

int runRenderCommand(const CliOptions& options);
int runTrackCommand(const CliOptions& options);
int runParamsCommand(const CliOptions& options);
int runDemoCommand(const CliOptions& options);
int runPresetsCommand(const CliOptions& options);
int runJoinCommand(const CliOptions& options);
int runPluginsCommand(const CliOptions& options);
// Takes the whole command line: its render options are passed on to the tasks.
int runSlurmCommand(int argc, char** argv);

}  // namespace varnok
