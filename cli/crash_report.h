// What varnok says when a plug-in takes the process down with a fatal
// signal: one line naming the plug-in, the action and the frame under way
// and the signal, written by the signal handler itself. The frames the sink
// finished keep their final names; files not finished are removed. Then the
// signal takes its course, so the exit status still tells of it.
#pragma once

#include <cstddef>
#include <string>

namespace varnok {

// Installs the handlers and the action watcher; once per process.
void installCrashReport();

// Room for the output files of `count` frames (plus a video), before any of
// them is named: the handler must not find a list that is being moved.
void reserveCrashFiles(size_t count);

// A sink's file watcher: a temporary file named (done false) or complete
// (done true); one with no final name is removed on a crash whatever it holds.
void noteOutputFile(const std::string& temp, const std::string& final, bool done);

}  // namespace varnok
