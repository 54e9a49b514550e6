// Persistent numbers over a range: discs moving at constant speed are turned
// into the tracks the effect would give for each frame (ids in reading
// order, so they change owner; regions of discs that touch merged into one;
// trails linked to the nearest region of the frame before, which guesses
// wrong when a merged region splits), and every disc must keep its number.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <string>
#include <vector>

#include "engine/persistent_tracks.h"
#include "engine/tracks.h"

namespace ormel {
namespace {

constexpr float kRadius = 5.0f;
constexpr float kTouching = 13.0f;  // centres closer than this make one region

struct Mover {
    float x0, y0, vx, vy;
    int hiddenFrom = -1, hiddenTo = -2;  // frames it is out of sight, both included
};

Vec2 at(const Mover& m, int f) { return {m.x0 + m.vx * f, m.y0 + m.vy * f}; }
bool visible(const Mover& m, int f) { return f < m.hiddenFrom || f > m.hiddenTo; }

struct Region {
    Blob blob;
    std::vector<int> movers;
};

// One region per group of touching discs, in reading order.
std::vector<Region> regionsAt(const std::vector<Mover>& movers, int f) {
    std::vector<int> group(movers.size());
    std::iota(group.begin(), group.end(), 0);
    auto root = [&](int i) {
        while (group[i] != i) i = group[i];
        return i;
    };
    for (size_t i = 0; i < movers.size(); ++i)
        for (size_t j = i + 1; j < movers.size(); ++j) {
            if (!visible(movers[i], f) || !visible(movers[j], f)) continue;
            const Vec2 a = at(movers[i], f), b = at(movers[j], f);
            if (std::hypot(a.x - b.x, a.y - b.y) < kTouching) group[root(static_cast<int>(j))] = root(static_cast<int>(i));
        }
    std::map<int, Region> byRoot;
    for (size_t i = 0; i < movers.size(); ++i)
        if (visible(movers[i], f)) byRoot[root(static_cast<int>(i))].movers.push_back(static_cast<int>(i));
    std::vector<Region> regions;
    for (auto& [r, region] : byRoot) {
        Blob& b = region.blob;
        b.minX = b.minY = 1 << 20;
        b.maxX = b.maxY = -(1 << 20);
        for (int m : region.movers) {
            const Vec2 c = at(movers[static_cast<size_t>(m)], f);
            b.center.x += c.x / static_cast<float>(region.movers.size());
            b.center.y += c.y / static_cast<float>(region.movers.size());
            b.minX = std::min(b.minX, static_cast<int32_t>(std::floor(c.x - kRadius)));
            b.minY = std::min(b.minY, static_cast<int32_t>(std::floor(c.y - kRadius)));
            b.maxX = std::max(b.maxX, static_cast<int32_t>(std::ceil(c.x + kRadius)) + 1);
            b.maxY = std::max(b.maxY, static_cast<int32_t>(std::ceil(c.y + kRadius)) + 1);
            b.area += 81;
        }
        regions.push_back(region);
    }
    std::stable_sort(regions.begin(), regions.end(),
                     [](const Region& p, const Region& q) { return readsBefore(p.blob, q.blob); });
    return regions;
}

// The tracks of one frame: ids in reading order; with trails, each region
// linked to the nearest unclaimed region of the frame before.
std::vector<Track> tracksOf(const std::vector<Region>& regions, const std::vector<Region>& before, bool trails) {
    std::vector<Track> tracks;
    std::vector<bool> claimed(before.size(), false);
    for (const Region& r : regions) {
        Track t;
        t.id = static_cast<int32_t>(tracks.size()) + 1;
        t.blob = r.blob;
        t.blob.id = t.id;
        int best = -1;
        float bestDistance = 20.0f;
        for (size_t p = 0; trails && p < before.size(); ++p) {
            const float d = std::hypot(before[p].blob.center.x - r.blob.center.x,
                                       before[p].blob.center.y - r.blob.center.y);
            if (!claimed[p] && d < bestDistance) best = static_cast<int>(p), bestDistance = d;
        }
        if (best >= 0) {
            claimed[static_cast<size_t>(best)] = true;
            t.trail.push_back(before[static_cast<size_t>(best)].blob.center);
        }
        t.trail.push_back(r.blob.center);
        tracks.push_back(t);
    }
    return tracks;
}

TEST(PersistentTracks, EveryObjectKeepsItsNumber) {
    // Two discs passing each other along nearly one row (one region for
    // frames 22 to 28), a third crossing that row downwards out of sight for
    // frames 14 to 16, and two discs whose reading order changes.
    const Mover right{10, 30, 2, 0}, left{110, 31, -2, 0}, hidden{100, 5, 0, 1.5f, 14, 16};
    const Mover rising{20, 95, 0.5f, -3}, falling{60, 50, -0.5f, 3};
    struct Case {
        std::string name;
        std::vector<Mover> movers;
        LinkSettings settings;
        int frames;
        std::vector<std::vector<int32_t>> numbers;  // per mover: the numbers it is seen with, in order
    };
    const Case cases[] = {
        {"crossing and hidden, trails", {right, left, hidden}, {90, 8, true}, 50, {{2}, {3}, {1}}},
        {"crossing and hidden, no trails", {right, left, hidden}, {90, 8, false}, 50, {{2}, {3}, {1}}},
        {"merged and hidden longer than revival", {right, left, hidden}, {90, 2, true}, 50, {{2}, {3}, {1, 4}}},
        {"reading order changes, trails", {rising, falling}, {90, 8, true}, 30, {{2}, {1}}},
        {"reading order changes, no trails", {rising, falling}, {90, 8, false}, 30, {{2}, {1}}},
        {"reach shorter than a step", {rising, falling}, {2, 8, false}, 3, {{2, 4, 6}, {1, 3, 5}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LinkState state;
        std::vector<std::vector<int32_t>> seen(c.movers.size());
        std::map<int32_t, int> firstFrame;
        std::vector<Region> before;
        for (int f = 0; f < c.frames; ++f) {
            const std::vector<Region> regions = regionsAt(c.movers, f);
            const std::vector<ObjectPlace> numbers =
                linkFrame(state, 100 + f, tracksOf(regions, before, c.settings.followTrails), c.settings).tracks;
            ASSERT_EQ(numbers.size(), regions.size());
            for (size_t i = 0; i < regions.size(); ++i) {
                const int32_t n = numbers[i].track;
                firstFrame.emplace(n, f);
                EXPECT_EQ(numbers[i].age, f - firstFrame[n]) << "frame " << f;
                if (regions[i].movers.size() == 1) {
                    std::vector<int32_t>& s = seen[static_cast<size_t>(regions[i].movers[0])];
                    if (s.empty() || s.back() != n) s.push_back(n);
                    continue;
                }
                // A merged region carries the number of one of its discs.
                bool ofAMember = false;
                for (int m : regions[i].movers) {
                    const std::vector<int32_t>& s = seen[static_cast<size_t>(m)];
                    ofAMember = ofAMember || (!s.empty() && s.back() == n);
                }
                EXPECT_TRUE(ofAMember) << "frame " << f << ": merged region numbered " << n;
            }
            before = regions;
        }
        EXPECT_EQ(seen, c.numbers);
        EXPECT_EQ(state.objects.size(), firstFrame.size());
    }
}

TEST(PersistentTracks, PredictionFollowsTheLastCleanPoints) {
    FollowedObject o;
    o.last = {50, 50};
    EXPECT_FLOAT_EQ(predictedCentre(o, 9).x, 50.0f);  // nothing clean yet: where it was
    o.clean = {{10, 20}, {12, 21}, {16, 23}};
    o.cleanFrames = {3, 4, 6};
    const Vec2 p = predictedCentre(o, 9);  // 2 px and 1 px a frame, three frames on
    EXPECT_FLOAT_EQ(p.x, 22.0f);
    EXPECT_FLOAT_EQ(p.y, 26.0f);
}

}  // namespace
}  // namespace ormel
