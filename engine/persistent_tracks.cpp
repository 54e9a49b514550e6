#include "engine/persistent_tracks.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace ormel {
namespace {

// Enough points to even out a region centre's jitter, few enough to follow a turn.
constexpr size_t kCleanPoints = 4;
// A trail point and a centre of the frame before are the same position when
// this close: both are the same region's centre, worked out the same way.
constexpr float kSamePoint = 0.01f;
// Predictions this far outside a box still count as inside it.
constexpr float kBoxMargin = 1.0f;

bool samePoint(Vec2 a, Vec2 b) { return std::fabs(a.x - b.x) <= kSamePoint && std::fabs(a.y - b.y) <= kSamePoint; }

// Centres are means of pixel indices, so a box [min, max) holds indices min to max - 1.
bool insideBox(Vec2 p, const Blob& b) {
    return p.x >= static_cast<float>(b.minX) - kBoxMargin && p.x <= static_cast<float>(b.maxX) - 1.0f + kBoxMargin &&
           p.y >= static_cast<float>(b.minY) - kBoxMargin && p.y <= static_cast<float>(b.maxY) - 1.0f + kBoxMargin;
}

// The effect's size term: 0 for equal areas, towards 25 for very different ones.
float sizeTerm(int32_t a, int32_t b) {
    const float fa = static_cast<float>(a), fb = static_cast<float>(b);
    return std::fabs(fa - fb) / std::max(fa + fb, 1.0f) * 25.0f;
}

struct Candidate {
    size_t object = 0;
    size_t track = 0;
    float cost = 0.0f;
};

void observe(FollowedObject& o, int32_t frame, const Blob& region, bool merged) {
    o.lastFrame = frame;
    ++o.framesSeen;
    o.last = region.center;
    o.lastMerged = merged;
    if (merged) {
        if (o.clean.empty()) o.area = region.area, o.box = region;  // born merged: the only size known
        return;
    }
    o.area = region.area;
    o.box = region;
    o.clean.push_back(region.center);
    o.cleanFrames.push_back(frame);
    if (o.clean.size() > kCleanPoints) {
        o.clean.erase(o.clean.begin());
        o.cleanFrames.erase(o.cleanFrames.begin());
    }
}

}  // namespace

Blob boxMovedTo(const Blob& box, Vec2 at) {
    Blob b = box;
    const auto dx = static_cast<int32_t>(std::lround(at.x - box.center.x));
    const auto dy = static_cast<int32_t>(std::lround(at.y - box.center.y));
    b.minX += dx, b.maxX += dx, b.minY += dy, b.maxY += dy;
    b.center = at;
    return b;
}

Vec2 predictedCentre(const FollowedObject& o, int32_t frame) {
    if (o.clean.empty()) return o.last;
    const Vec2 newest = o.clean.back();
    const int64_t span = static_cast<int64_t>(o.cleanFrames.back()) - o.cleanFrames.front();
    if (span <= 0) return newest;
    const float ahead = static_cast<float>(static_cast<int64_t>(frame) - o.cleanFrames.back());
    const float vx = (newest.x - o.clean.front().x) / static_cast<float>(span);
    const float vy = (newest.y - o.clean.front().y) / static_cast<float>(span);
    return {newest.x + vx * ahead, newest.y + vy * ahead};
}

LinkedFrame linkFrame(LinkState& state, int32_t frame, const std::vector<Track>& tracks,
                      const LinkSettings& settings) {
    const int64_t revive = std::max<int32_t>(settings.revive, 0);
    // Objects still worth looking for, with where they should be now.
    std::vector<size_t> live;
    std::vector<Vec2> predicted;
    for (size_t i = 0; i < state.objects.size(); ++i) {
        const FollowedObject& o = state.objects[i];
        if (static_cast<int64_t>(frame) - std::max(o.lastFrame, o.lastCovered) - 1 > revive) continue;
        live.push_back(i);
        predicted.push_back(predictedCentre(o, frame));
    }
    std::vector<bool> merged(tracks.size(), false);
    for (size_t t = 0; t < tracks.size(); ++t) {
        int inside = 0;
        for (const Vec2& p : predicted) inside += insideBox(p, tracks[t].blob) ? 1 : 0;
        merged[t] = inside >= 2;
    }

    constexpr size_t kNone = static_cast<size_t>(-1);
    std::vector<size_t> objectOf(tracks.size(), kNone);  // position in `live`
    std::vector<bool> taken(live.size(), false);

    // Regions that are one object first, merges after: an object takes the
    // region that is only itself before a merge may take it.
    for (const bool mergePass : {false, true}) {
        // 1. The effect's own link to the frame just before.
        for (size_t t = 0; settings.followTrails && state.started && t < tracks.size(); ++t) {
            const std::vector<Vec2>& trail = tracks[t].trail;
            if (merged[t] != mergePass || trail.size() < 2) continue;
            const Vec2 before = trail[trail.size() - 2];
            for (size_t k = 0; k < live.size(); ++k) {
                const FollowedObject& o = state.objects[live[k]];
                if (taken[k] || o.lastFrame != state.previousFrame || !samePoint(o.last, before)) continue;
                // The effect links without knowing the motion: where its link
                // and the motion disagree (out of a merge, say), the motion decides.
                if (!insideBox(predicted[k], tracks[t].blob)) break;
                objectOf[t] = k;
                taken[k] = true;
                break;
            }
        }

        // 2. Nearest to the prediction, with the effect's size term.
        std::vector<Candidate> candidates;
        for (size_t k = 0; k < live.size(); ++k) {
            if (taken[k]) continue;
            const FollowedObject& o = state.objects[live[k]];
            for (size_t t = 0; t < tracks.size(); ++t) {
                if (merged[t] != mergePass || objectOf[t] != kNone) continue;
                const Vec2 c = tracks[t].blob.center;
                const float distance = std::hypot(c.x - predicted[k].x, c.y - predicted[k].y);
                if (!(distance <= settings.trackingDistance)) continue;  // NaN reaches nothing
                candidates.push_back({k, t, sizeTerm(o.area, tracks[t].blob.area) + distance});
            }
        }
        std::stable_sort(candidates.begin(), candidates.end(),
                         [](const Candidate& a, const Candidate& b) { return a.cost < b.cost; });
        for (const Candidate& c : candidates) {
            if (taken[c.object] || objectOf[c.track] != kNone) continue;
            objectOf[c.track] = c.object;
            taken[c.object] = true;
        }
    }

    // Unmatched objects a merge holds are covered this frame; the others are missed.
    LinkedFrame out;
    for (size_t k = 0; k < live.size(); ++k) {
        if (taken[k]) continue;
        FollowedObject& o = state.objects[live[k]];
        ObjectPlace p;
        p.state = TrackState::Predicted;
        for (size_t t = 0; t < tracks.size(); ++t)
            if (merged[t] && insideBox(predicted[k], tracks[t].blob)) p.state = TrackState::Merged;
        if (p.state == TrackState::Merged) o.lastCovered = frame;
        p.frame = frame;
        p.track = o.number;
        p.age = frame - o.firstFrame;
        p.at = p.predicted = predicted[k];
        p.box = boxMovedTo(o.box, p.at);
        out.unseen.push_back(p);
    }

    // 3. New objects, and every object's new position.
    out.tracks.resize(tracks.size());
    for (size_t t = 0; t < tracks.size(); ++t) {
        size_t index;
        ObjectPlace& p = out.tracks[t];
        p.at = p.predicted = tracks[t].blob.center;
        if (objectOf[t] != kNone) {
            index = live[objectOf[t]];
            p.predicted = predicted[objectOf[t]];
        } else {
            FollowedObject o;
            o.number = static_cast<int32_t>(state.objects.size()) + 1;
            o.firstFrame = frame;
            o.lastCovered = frame;
            state.objects.push_back(o);
            index = state.objects.size() - 1;
        }
        FollowedObject& o = state.objects[index];
        observe(o, frame, tracks[t].blob, merged[t]);
        p.frame = frame;
        p.track = o.number;
        p.age = frame - o.firstFrame;
        p.region = static_cast<int32_t>(t);
        p.box = tracks[t].blob;
        p.speed = tracks[t].speed;
        if (merged[t]) {
            // The shared centre is no object's: it stays where its motion goes.
            p.state = TrackState::Merged;
            p.at = p.predicted;
            p.box = boxMovedTo(o.box, p.at);
        }
    }
    state.started = true;
    state.previousFrame = frame;
    return out;
}

}  // namespace ormel
