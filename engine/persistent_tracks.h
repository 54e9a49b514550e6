// Numbers that stay with an object over a whole range of frames. The effect
// numbers its tracks afresh for every frame's window of earlier frames, so
// the same object carries different ids over a clip; a caller that walks the
// range in frame order hands each frame's tracks here and gets back, per
// track, a number kept for as long as the object is followed.
//
// Linking, per frame, first for the regions that are one object, then for
// merged ones:
// 1. Through the effect's own trail: a track whose previous trail point is
//    where a followed object was in the frame linked just before continues
//    that object, where the track's region covers the object's predicted
//    position (constant velocity over its last clean points).
// 2. The rest by cost, as the effect links: distance from the object's
//    predicted position plus the effect's size term, within the tracking
//    distance; objects missed for up to `revive` frames take part, so one
//    found again near where it was heading keeps its number.
// 3. What is left starts a new number, in the order given.
// A region whose box holds the predicted positions of two or more objects is
// a merge: it keeps one number, but no object's motion is learnt from it, so
// objects that pass each other come out with the numbers they went in with.
// An object inside a merge is covered, not missed: however long the merge
// lasts, it can come out of it with its number.
// Every object followed has a place in every frame it is alive: its own
// region's centre when seen; otherwise (in a merge, or missed for up to
// `revive` frames) where its motion before puts it, with its own last box.
//
// Plain sequential arithmetic: the same frames always give the same numbers.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/types.h"

namespace ormel {

struct LinkSettings {
    float trackingDistance = 90.0f;  // px: farthest a region may lie from an object's predicted position
    int32_t revive = 8;              // frames an object may go unseen and still keep its number
    bool followTrails = true;        // trails hold the previous positions (temporal tracking on)
};

// An object followed over the range.
struct FollowedObject {
    int32_t number = 0;
    int32_t firstFrame = 0;
    int32_t lastFrame = 0;
    int32_t framesSeen = 0;
    int32_t lastCovered = 0;     // last frame a merged region held its predicted position
    Vec2 last;                   // centre in its last frame
    bool lastMerged = false;     // that centre was a merged region's
    int32_t area = 0;            // area in its last clean frame
    Blob box;                    // its region in its last clean frame
    std::vector<Vec2> clean;     // last few unmerged centres, oldest first
    std::vector<int32_t> cleanFrames;
};

// Everything linking has learnt so far; starts empty.
struct LinkState {
    std::vector<FollowedObject> objects;  // by number: objects[n - 1] has number n
    bool started = false;
    int32_t previousFrame = 0;
};

enum class TrackState : uint8_t {
    Seen,       // a region of its own
    Merged,     // its region is shared with another object
    Predicted,  // missed, within the revival frames
};

// Where one followed object is in one frame.
struct ObjectPlace {
    int32_t frame = 0;
    int32_t track = 0;     // the persistent number, from 1
    int32_t age = 0;       // frames since the object's first frame
    TrackState state = TrackState::Seen;
    int32_t region = -1;   // the given track whose region it holds, -1 for none
    Vec2 at;               // seen: its region's centre; otherwise where its motion puts it
    Vec2 predicted;        // where its motion before this frame put it
    Blob box;              // seen: its region; otherwise its own last box, moved to `at`
    float speed = 0.0f;    // seen: the effect's speed; otherwise set by settledPath
};

struct LinkedFrame {
    std::vector<ObjectPlace> tracks;   // one per track given, in the order given
    std::vector<ObjectPlace> unseen;   // objects alive with no region of their own here, by number
};

// Links one frame's tracks (as the effect gives them, in full-frame pixels)
// to the objects followed so far; frames come in ascending order.
LinkedFrame linkFrame(LinkState& state, int32_t frame, const std::vector<Track>& tracks,
                      const LinkSettings& settings);

// Where an object is expected at `frame`: its last clean centre moved on at
// the velocity of its last clean centres.
Vec2 predictedCentre(const FollowedObject& object, int32_t frame);

// `box` moved by whole pixels so that it sits around `at`, its centre `at`.
Blob boxMovedTo(const Blob& box, Vec2 at);

}  // namespace ormel
