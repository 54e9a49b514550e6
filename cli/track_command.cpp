#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "cli/command_setup.h"
#include "cli/commands.h"
#include "cli/track_formats.h"
#include "cli/track_recorder.h"

namespace varnok {
namespace {

int fail(const std::string& message) {
    std::fprintf(stderr, "varnok: %s\n", message.c_str());
    return 1;
}

// Written beside the target and renamed over it only when complete.
bool writeWhole(const std::string& path, const std::string& text, std::string* error) {
    const std::string temp = temporarySibling(path);
    std::ofstream f(temp, std::ios::binary | std::ios::trunc);
    f.write(text.data(), static_cast<std::streamsize>(text.size()));
    f.flush();
    f.close();
    if (!f || std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        *error = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace

int runTrackCommand(const CliOptions& o) {
    TrackFormat format;
    if (!o.trackFormat.empty() ? !parseTrackFormat(o.trackFormat, &format) : !trackFormatForPath(o.output, &format))
        return fail(o.trackFormat.empty()
                        ? "cannot tell the track format from " + o.output + "; use --format csv, json, ae or chan"
                        : "unknown track format \"" + o.trackFormat + "\"; use csv, json, ae or chan");
    const bool oneTrack = format == TrackFormat::AfterEffects || format == TrackFormat::NukeChan;
    if (oneTrack && o.trackId < 0) return fail("--format " + std::string(format == TrackFormat::AfterEffects ? "ae" : "chan") +
                                               " holds one track: give its --id");

    std::string error;
    CommandSetup setup;
    if (!setUpCommand(o, &setup, &error)) return fail(error);
    TrackRecorder recorder(*setup.instance, setup.source);
    const bool progress = !o.quiet && ::isatty(STDERR_FILENO);
    std::vector<TrackedFrame> tracked;
    for (size_t i = 0; i < setup.frames.size(); ++i) {
        const int frame = setup.frames[i];
        // Earlier frames first, in order, so a video is decoded forwards.
        for (int f = std::max(setup.source.frames().front(), frame - 64); f < frame; ++f) setup.source.get(f);
        setup.source.forgetFloatsBefore(frame - 64);
        TrackedFrame t;
        if (!recorder.track(frame, &t, &error)) return fail("frame " + std::to_string(frame) + ": " + error);
        tracked.push_back(std::move(t));
        if (progress) std::fprintf(stderr, "\rtracking frame %zu of %zu   ", i + 1, setup.frames.size());
    }
    if (progress) std::fprintf(stderr, "\n");
    std::string text;
    if (!formatTracks(format, tracked, setup.source.width(), setup.source.height(), setup.fps, o.trackId, &text,
                      &error))
        return fail(error);
    if (!writeWhole(o.output, text, &error)) return fail(error);
    if (!o.quiet) std::fprintf(stderr, "wrote the tracks of %zu frames to %s\n", tracked.size(), o.output.c_str());
    return 0;
}

}  // namespace varnok
