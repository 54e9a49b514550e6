// Tracks written out for other applications: a table, JSON, After Effects
// keyframe data or a Nuke .chan file. Positions are footage pixels with x
// from the left and y from the top, as image files show them; the Nuke file
// counts y up from the bottom, as Nuke does.
#pragma once

#include <string>
#include <vector>

#include "engine/persistent_tracks.h"
#include "engine/types.h"

namespace varnok {

struct TrackedFrame {
    int frame = 0;
    std::vector<ormel::Track> tracks;          // as the effect draws them, by id
    // Every object followed at this frame: one per track, in order, then the
    // objects with no region of their own (in a merge, or missed), by number.
    std::vector<ormel::ObjectPlace> places;
};

// Which rows a file holds, by their state.
struct TrackStates {
    bool seen = true, merged = true, predicted = true;
    bool hold(ormel::TrackState state) const {
        return state == ormel::TrackState::Seen ? seen : state == ormel::TrackState::Merged ? merged : predicted;
    }
};

// A comma-separated list of "seen", "merged", "predicted", or "all"; false
// for anything else or an empty list.
bool parseTrackStates(const std::string& list, TrackStates* states);

// Everything a track file is made from.
struct TrackExport {
    std::vector<TrackedFrame> frames;
    int width = 0, height = 0;
    double fps = 24.0;
    TrackStates states;                           // the rows written and drawn
};

// Which one track the After Effects and Nuke files hold: a persistent
// `track` number, else the label `id` of each frame.
struct TrackChoice {
    int track = -1;
    int id = -1;
};

enum class TrackFormat { Csv, Json, AfterEffects, NukeChan };

// "csv", "json", "ae", "chan"; false for anything else.
bool parseTrackFormat(const std::string& name, TrackFormat* format);
// The format an output file's extension names (.csv, .json, .chan; .txt for
// After Effects data); false when it names none.
bool trackFormatForPath(const std::string& path, TrackFormat* format);

// The whole file. After Effects and Nuke files hold the one chosen track, at
// the frames where it exists; `*error` says so when it exists at none.
bool formatTracks(TrackFormat format, const TrackExport& data, TrackChoice choice, std::string* out,
                  std::string* error);

}  // namespace varnok
