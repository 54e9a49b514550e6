#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "cli/command_setup.h"
#include "cli/commands.h"
#include "cli/track_formats.h"
#include "cli/track_paths.h"
#include "cli/track_recorder.h"
#include "engine/persistent_tracks.h"
#include "engine/track_gaps.h"
#include "media/image_io.h"
#include "media/media_path.h"

namespace varnok {
namespace {

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

// The paths picture: written whole beside its final name, then renamed.
bool writePathsPicture(const std::string& path, const ofxhost::FloatImage& frame, const TrackExport& data,
                       std::string* error) {
    const MediaPath m = classifyPath(path);
    ormel::Image under(frame.width, frame.height);
    std::memcpy(static_cast<void*>(under.pixels.data()), frame.rgba.data(), frame.rgba.size() * sizeof(float));
    const ormel::Image drawn = drawTrackPaths(under, data);
    ofxhost::FloatImage out(drawn.width, drawn.height);
    std::memcpy(out.rgba.data(), static_cast<const void*>(drawn.pixels.data()), out.rgba.size() * sizeof(float));
    const std::string temp = temporarySibling(path);
    if (!writeImageFile(temp, out, outputSampleType(m.extension, SampleType::U8), outputChannels(m.extension),
                        error) ||
        std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        if (error->empty()) *error = "cannot write " + path;
        return false;
    }
    return true;
}

// Every object's places made into a path (see settledPath): gaps blended,
// missed frames that lead nowhere dropped.
void settlePaths(std::vector<TrackedFrame>& frames) {
    std::map<int32_t, std::vector<std::pair<size_t, size_t>>> where;  // by number: (frame, place) in frame order
    for (size_t f = 0; f < frames.size(); ++f)
        for (size_t i = 0; i < frames[f].places.size(); ++i) where[frames[f].places[i].track].push_back({f, i});
    std::vector<std::vector<bool>> dropped(frames.size());
    for (size_t f = 0; f < frames.size(); ++f) dropped[f].assign(frames[f].places.size(), false);
    for (const auto& [number, at] : where) {
        std::vector<ormel::ObjectPlace> path;
        for (const auto& [f, i] : at) path.push_back(frames[f].places[i]);
        const std::vector<ormel::ObjectPlace> settled = ormel::settledPath(std::move(path));
        for (size_t k = 0; k < at.size(); ++k) {
            if (k < settled.size()) frames[at[k].first].places[at[k].second] = settled[k];
            else dropped[at[k].first][at[k].second] = true;
        }
    }
    for (size_t f = 0; f < frames.size(); ++f) {
        std::vector<ormel::ObjectPlace> kept;
        for (size_t i = 0; i < frames[f].places.size(); ++i)
            if (!dropped[f][i]) kept.push_back(frames[f].places[i]);
        frames[f].places = std::move(kept);
    }
}

}  // namespace

int runTrackCommand(const CliOptions& o) {
    TrackFormat format;
    if (!o.trackFormat.empty() ? !parseTrackFormat(o.trackFormat, &format) : !trackFormatForPath(o.output, &format))
        return fail(o.trackFormat.empty()
                        ? "cannot tell the track format from " + o.output + "; use --format csv, json, ae or chan"
                        : "unknown track format \"" + o.trackFormat + "\"; use csv, json, ae or chan");
    const bool oneTrack = format == TrackFormat::AfterEffects || format == TrackFormat::NukeChan;
    const std::string formatName = format == TrackFormat::AfterEffects ? "ae" : "chan";
    if (oneTrack && o.trackId < 0 && o.trackNumber < 0)
        return fail("--format " + formatName + " holds one track: give its --track (or its label's --id)");
    if (o.trackId >= 0 && o.trackNumber >= 0) return fail("give --track or --id, not both");
    if (!o.pathsPicture.empty() && classifyPath(o.pathsPicture).kind != MediaKind::Image)
        return fail("--paths needs one picture file (png, tif, exr, jpg), got " + o.pathsPicture);

    std::string error;
    CommandSetup setup;
    if (!setUpCommand(o, &setup, &error)) return fail(error);
    TrackRecorder recorder(*setup.instance, setup.source);
    const bool progress = !o.quiet && ::isatty(STDERR_FILENO);
    const int middle = setup.frames[setup.frames.size() / 2];
    std::shared_ptr<const ofxhost::FloatImage> middlePicture;
    const ofxhost::SharedFrameProvider pictures = setup.source.sharedProvider();
    TrackExport data;
    data.width = setup.source.width();
    data.height = setup.source.height();
    data.fps = setup.fps;
    ormel::LinkState links;
    double trackSeconds = 0.0, linkSeconds = 0.0;
    const double start = nowSeconds();
    for (size_t i = 0; i < setup.frames.size(); ++i) {
        const int frame = setup.frames[i];
        // Earlier frames first, in order, so a video is decoded forwards.
        for (int f = std::max(setup.source.frames().front(), frame - 64); f < frame; ++f) setup.source.get(f);
        setup.source.forgetFloatsBefore(frame - 64);
        TrackedFrame t;
        const double t0 = nowSeconds();
        if (!recorder.track(frame, &t, &error)) return fail("frame " + std::to_string(frame) + ": " + error);
        const double t1 = nowSeconds();
        const ormel::Settings& settings = recorder.settings();
        const ormel::LinkSettings link{settings.trackingDistance, o.revive, settings.temporalFrames >= 1};
        ormel::LinkedFrame linked = ormel::linkFrame(links, frame, t.tracks, link);
        t.places = std::move(linked.tracks);
        t.places.insert(t.places.end(), linked.unseen.begin(), linked.unseen.end());
        linkSeconds += secondsSince(t1);
        trackSeconds += t1 - t0;
        if (!o.pathsPicture.empty() && frame == middle) middlePicture = pictures(frame);
        data.frames.push_back(std::move(t));
        if (progress) std::fprintf(stderr, "\rtracking frame %zu of %zu   ", i + 1, setup.frames.size());
    }
    const double total = secondsSince(start);
    if (progress) std::fprintf(stderr, "\n");
    data.states = o.trackStates;
    settlePaths(data.frames);
    std::string text;
    if (!formatTracks(format, data, TrackChoice{o.trackNumber, o.trackId}, &text, &error)) return fail(error);
    if (!o.pathsPicture.empty()) {
        if (!middlePicture) return fail("frame " + std::to_string(middle) + " cannot be read for --paths");
        if (!writePathsPicture(o.pathsPicture, *middlePicture, data, &error)) return fail(error);
    }
    if (!writeWhole(o.output, text, &error)) return fail(error);
    if (o.stats) {
        const double n = static_cast<double>(std::max<size_t>(1, data.frames.size()));
        const FrameSource& source = setup.source;
        std::fprintf(stderr,
                     "frames %zu (%dx%d), per frame: decode %.2f ms, convert %.2f ms, track %.2f ms "
                     "(linking %.3f ms), all %.2f ms; detections %ld (%.2f per frame), earlier frames' regions "
                     "remembered %llu times; %zu persistent tracks\n",
                     data.frames.size(), source.width(), source.height(), 1e3 * source.decodeSeconds / n,
                     1e3 * source.convertSeconds / n, 1e3 * (trackSeconds - source.convertSeconds) / n,
                     1e3 * linkSeconds / n, 1e3 * total / n, recorder.detections(),
                     static_cast<double>(recorder.detections()) / n,
                     static_cast<unsigned long long>(recorder.regionHits()), links.objects.size());
    }
    if (!o.quiet) std::fprintf(stderr, "wrote the tracks of %zu frames to %s\n", data.frames.size(), o.output.c_str());
    return 0;
}

}  // namespace varnok
