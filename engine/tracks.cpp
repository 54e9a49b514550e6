#include "engine/tracks.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "engine/detection.h"

namespace ormel {
namespace {

struct State {
    int32_t id = 0;
    Blob blob;
    std::vector<Vec2> trail;
    float speed = 0.0f;
    int32_t lastSeen = 0;
};

struct Candidate {
    int32_t trackIndex = 0;
    int32_t blobIndex = 0;
    float cost = 0.0f;
    float distance = 0.0f;
};

std::vector<Track> numberInReadingOrder(const std::vector<Blob>& blobs) {
    std::vector<Blob> sorted = blobs;
    sortBlobsForLabels(sorted);
    std::vector<Track> tracks;
    tracks.reserve(sorted.size());
    int32_t id = 1;
    for (const Blob& b : sorted) {
        Track t;
        t.id = id++;
        t.blob = b;
        t.blob.id = t.id;
        t.trail.push_back(b.center);
        t.speed = 0.0f;
        tracks.push_back(std::move(t));
    }
    return tracks;
}

State newState(const Blob& region, int32_t id, int32_t frameIndex) {
    State s;
    s.id = id;
    s.blob = region;
    s.blob.id = id;
    s.trail.push_back(region.center);
    s.speed = 0.0f;
    s.lastSeen = frameIndex;
    return s;
}

// Regions ordered by centre x, so that each state only looks at the regions
// whose x is within reach. Regions with a NaN x can never be in reach and are
// left out.
struct RegionsByX {
    std::vector<float> x;
    std::vector<int32_t> index;
};

void indexByX(const std::vector<Blob>& regions, RegionsByX& out) {
    out.index.clear();
    for (size_t r = 0; r < regions.size(); ++r) {
        if (regions[r].center.x == regions[r].center.x) {
            out.index.push_back(static_cast<int32_t>(r));
        }
    }
    std::sort(out.index.begin(), out.index.end(), [&regions](int32_t a, int32_t b) {
        const float xa = regions[static_cast<size_t>(a)].center.x;
        const float xb = regions[static_cast<size_t>(b)].center.x;
        return xa < xb || (xa == xb && a < b);
    });
    out.x.clear();
    for (int32_t r : out.index) {
        out.x.push_back(regions[static_cast<size_t>(r)].center.x);
    }
}

// Every pair within reach, sorted by cost. Ties keep the order in which the
// pairs would be generated with states outer and regions inner, i.e. by state
// then region index. A NaN or negative reach keeps no pair.
void gatherCandidates(const std::vector<State>& states, const std::vector<Blob>& regions, float reach,
                      RegionsByX& byX, std::vector<Candidate>& out) {
    out.clear();
    if (!(reach >= 0.0f)) {
        return;
    }
    // A pair whose x or y offset alone exceeds the reach by this margin has a
    // rounded distance beyond the reach as well, so skipping it changes nothing.
    const float clearlyOut = reach * 1.0001f;
    indexByX(regions, byX);
    for (size_t s = 0; s < states.size(); ++s) {
        const Blob& from = states[s].blob;
        const float fromArea = static_cast<float>(from.area);
        const auto first = std::lower_bound(byX.x.begin(), byX.x.end(), from.center.x - clearlyOut);
        const auto last = std::upper_bound(first, byX.x.end(), from.center.x + clearlyOut);
        for (auto it = first; it != last; ++it) {
            const int32_t r = byX.index[static_cast<size_t>(it - byX.x.begin())];
            const Blob& to = regions[static_cast<size_t>(r)];
            const float dx = from.center.x - to.center.x;
            const float dy = from.center.y - to.center.y;
            if (std::fabs(dy) > clearlyOut) {
                continue;
            }
            const float distance = std::sqrt(dx * dx + dy * dy);
            if (!(distance <= reach)) {
                continue;
            }
            const float toArea = static_cast<float>(to.area);
            const float areaTerm = std::fabs(fromArea - toArea) / std::max(fromArea + toArea, 1.0f) * 25.0f;
            Candidate c;
            c.trackIndex = static_cast<int32_t>(s);
            c.blobIndex = r;
            c.cost = areaTerm + distance;
            c.distance = distance;
            out.push_back(c);
        }
    }
    // Costs are never NaN here (the distance passed the reach test), so this
    // is a strict total order.
    std::sort(out.begin(), out.end(), [](const Candidate& a, const Candidate& b) {
        if (a.cost != b.cost) {
            return a.cost < b.cost;
        }
        if (a.trackIndex != b.trackIndex) {
            return a.trackIndex < b.trackIndex;
        }
        return a.blobIndex < b.blobIndex;
    });
}

}  // namespace

bool readsBefore(const Blob& p, const Blob& q) {
    const float dy = std::fabs(p.center.y - q.center.y);
    if (dy > 6.0f) {
        return p.center.y < q.center.y;
    }
    return dy <= 6.0f && p.center.x < q.center.x;
}

void sortBlobsForLabels(std::vector<Blob>& blobs) { std::stable_sort(blobs.begin(), blobs.end(), readsBefore); }

// The current frame's picture is not read: its regions arrive already detected.
std::vector<Track> buildTracks(const std::vector<FrameSample>& samples, const Image& /*image*/,
                               const std::vector<Blob>& blobs, const Settings& settings) {
    if (samples.empty() || settings.temporalFrames < 1) {
        return numberInReadingOrder(blobs);
    }
    std::vector<FrameRegions> earlier;
    earlier.reserve(samples.size());
    for (const FrameSample& s : samples) {
        earlier.push_back({s.frame, detectBlobs(s.image, settings)});
    }
    return buildTracksFromRegions(earlier, blobs, settings);
}

std::vector<Track> buildTracksFromRegions(const std::vector<FrameRegions>& history, const std::vector<Blob>& blobs,
                                          const Settings& settings) {
    if (history.empty() || settings.temporalFrames < 1) {
        return numberInReadingOrder(blobs);
    }

    // Frame order by number; the current frame always comes last.
    std::vector<const FrameRegions*> earlier;
    earlier.reserve(history.size());
    for (const FrameRegions& h : history) {
        earlier.push_back(&h);
    }
    std::stable_sort(earlier.begin(), earlier.end(),
                     [](const FrameRegions* a, const FrameRegions* b) { return a->frame < b->frame; });
    const int32_t frames = static_cast<int32_t>(earlier.size()) + 1;

    const int64_t pruneAbove = std::max<int64_t>(2 * static_cast<int64_t>(settings.maxObjects), 1);
    std::vector<State> states;
    std::vector<Candidate> candidates;
    RegionsByX byX;
    std::vector<uint8_t> stateUsed;
    std::vector<uint8_t> regionUsed;
    int32_t nextId = 1;

    for (int32_t i = 0; i < frames; ++i) {
        std::vector<Blob> regions = i == frames - 1 ? blobs : earlier[static_cast<size_t>(i)]->regions;
        sortBlobsForLabels(regions);

        regionUsed.assign(regions.size(), 0);
        if (!states.empty()) {
            gatherCandidates(states, regions, settings.trackingDistance, byX, candidates);
            stateUsed.assign(states.size(), 0);
            for (const Candidate& c : candidates) {
                const size_t s = static_cast<size_t>(c.trackIndex);
                const size_t r = static_cast<size_t>(c.blobIndex);
                if (stateUsed[s] || regionUsed[r]) {
                    continue;
                }
                State& state = states[s];
                state.blob = regions[r];
                state.blob.id = state.id;
                state.speed = c.distance;
                state.trail.push_back(regions[r].center);
                state.lastSeen = i;
                stateUsed[s] = 1;
                regionUsed[r] = 1;
            }
        }
        for (size_t r = 0; r < regions.size(); ++r) {
            if (!regionUsed[r]) {
                states.push_back(newState(regions[r], nextId++, i));
            }
        }
        if (static_cast<int64_t>(states.size()) > pruneAbove) {
            states.erase(std::remove_if(states.begin(), states.end(),
                                        [i](const State& s) { return s.lastSeen < i - 2; }),
                         states.end());
        }
    }

    const size_t keepPoints = static_cast<size_t>(std::min<int64_t>(
        static_cast<int64_t>(settings.temporalFrames) + 1, static_cast<int64_t>(frames) + 1));
    std::vector<Track> tracks;
    for (State& s : states) {
        if (s.lastSeen != frames - 1) {
            continue;
        }
        Track t;
        t.id = s.id;
        t.blob = s.blob;
        t.speed = s.speed;
        const size_t from = s.trail.size() > keepPoints ? s.trail.size() - keepPoints : 0;
        t.trail.assign(s.trail.begin() + static_cast<std::ptrdiff_t>(from), s.trail.end());
        tracks.push_back(std::move(t));
    }
    std::stable_sort(tracks.begin(), tracks.end(), [](const Track& a, const Track& b) { return a.id < b.id; });
    return tracks;
}

}  // namespace ormel
