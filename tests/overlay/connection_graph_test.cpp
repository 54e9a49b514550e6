#include "overlay/connection_graph.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "overlay/hash.h"
#include "tests/overlay/overlay_test_support.h"

namespace ormel {
namespace {

using testing_support::makeTrack;
using Pairs = std::vector<std::pair<int32_t, int32_t>>;

Pairs pairsOf(const std::vector<Edge>& edges) {
    Pairs out;
    for (const Edge& e : edges) out.emplace_back(e.a, e.b);
    return out;
}

Settings modeSettings(int32_t mode, float limit = 500.0f) {
    Settings s;
    s.connectionMode = mode;
    s.maxConnectionDistance = limit;
    return s;
}

std::vector<Track> onLine(const std::vector<float>& xs) {
    std::vector<Track> tracks;
    for (size_t i = 0; i < xs.size(); ++i)
        tracks.push_back(makeTrack(static_cast<int32_t>(i + 1), xs[i], 50.0f));
    return tracks;
}

// The forest built the slow way: every (reached, unreached) pair rescanned at
// each step, the first strictly smaller distance winning.
std::vector<Edge> referenceForest(const std::vector<Track>& t, float limit) {
    const size_t n = t.size();
    std::vector<bool> reached(n, false);
    reached[0] = true;
    std::vector<Edge> edges;
    for (size_t step = 1; step < n; ++step) {
        bool found = false;
        size_t bi = 0, bj = 0;
        float best = 0.0f;
        for (size_t i = 0; i < n; ++i) {
            if (!reached[i]) continue;
            for (size_t j = 0; j < n; ++j) {
                if (reached[j]) continue;
                const float dx = t[i].blob.center.x - t[j].blob.center.x;
                const float dy = t[i].blob.center.y - t[j].blob.center.y;
                const float d = std::sqrt(dx * dx + dy * dy);
                if (!found || d < best) found = true, best = d, bi = i, bj = j;
            }
        }
        if (found && best <= limit) {
            edges.push_back({int32_t(bi), int32_t(bj), best});
            reached[bj] = true;
        } else {
            for (size_t k = 0; k < n; ++k)
                if (!reached[k]) { reached[k] = true; break; }
        }
    }
    return edges;
}

TEST(ConnectionGraph, DistanceLimitIsInclusiveExceptForNearest) {
    // Two tracks exactly 100 apart, limit 100.
    const auto tracks = onLine({10.0f, 110.0f});
    for (int32_t mode : {1, 2, 3}) {
        EXPECT_EQ(buildEdges(tracks, modeSettings(mode, 100.0f)).size(), 1u) << mode;
    }
    EXPECT_TRUE(buildEdges(tracks, modeSettings(4, 100.0f)).empty());
    EXPECT_EQ(buildEdges(tracks, modeSettings(4, 100.5f)).size(), 1u);

    const auto far = onLine({0.0f, 600.0f});
    for (int32_t mode : {0, 1, 2, 3, 4}) EXPECT_TRUE(buildEdges(far, modeSettings(mode)).empty());
    // No limit at 0 or below: joined in every mode but "none".
    for (int32_t mode : {1, 2, 3, 4}) {
        EXPECT_EQ(buildEdges(far, modeSettings(mode, 0.0f)).size(), 1u) << mode;
        EXPECT_EQ(buildEdges(far, modeSettings(mode, -3.0f)).size(), 1u) << mode;
    }
    EXPECT_TRUE(buildEdges(far, modeSettings(0, 0.0f)).empty());
}

TEST(ConnectionGraph, StarHubIsTheFirstLargestRegion) {
    std::vector<Track> tracks = {makeTrack(1, 0, 0, 50), makeTrack(2, 30, 0, 80),
                                 makeTrack(3, 60, 40, 80)};
    const auto edges = buildEdges(tracks, modeSettings(1));
    EXPECT_EQ(pairsOf(edges), (Pairs{{1, 0}, {1, 2}}));
    EXPECT_FLOAT_EQ(edges[0].length, 30.0f);
    EXPECT_FLOAT_EQ(edges[1].length, 50.0f);
}

TEST(ConnectionGraph, CompleteVisitsPairsInIndexOrder) {
    const auto tracks = onLine({0, 10, 20, 30});
    EXPECT_EQ(pairsOf(buildEdges(tracks, modeSettings(2))),
              (Pairs{{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}}));
}

TEST(ConnectionGraph, NearestAddsMutualPairsOnce) {
    EXPECT_EQ(pairsOf(buildEdges(onLine({0, 40}), modeSettings(4))), (Pairs{{0, 1}}));
    // 0-1 mutual, 2's nearest is 1, 3's nearest is 2; ties go to the first index.
    EXPECT_EQ(pairsOf(buildEdges(onLine({0, 10, 25, 45}), modeSettings(4))),
              (Pairs{{0, 1}, {1, 2}, {2, 3}}));
    // Track 1 is equally far from 0 and 2: it picks 0, which already holds that pair.
    EXPECT_EQ(pairsOf(buildEdges(onLine({0, 10, 20}), modeSettings(4))), (Pairs{{0, 1}, {1, 2}}));
}

TEST(ConnectionGraph, SpanningForestStartsNewTreesBeyondTheLimit) {
    const auto tracks = onLine({0, 10, 1000, 1010});
    EXPECT_EQ(pairsOf(buildEdges(tracks, modeSettings(3, 100.0f))), (Pairs{{0, 1}, {2, 3}}));
    // Unknown modes fall back to the forest.
    EXPECT_EQ(pairsOf(buildEdges(tracks, modeSettings(77, 100.0f))), (Pairs{{0, 1}, {2, 3}}));
    EXPECT_EQ(pairsOf(buildEdges(tracks, modeSettings(-1, 100.0f))), (Pairs{{0, 1}, {2, 3}}));
    // An isolated track in the middle of the order does not break the later trees.
    const auto gap = onLine({0, 5000, 10, 5005, 20});
    EXPECT_EQ(pairsOf(buildEdges(gap, modeSettings(3, 100.0f))), (Pairs{{0, 2}, {2, 4}, {1, 3}}));
}

TEST(ConnectionGraph, SpanningForestMatchesTheFullPairScan) {
    // Grid positions give many equal distances, so tie-breaking is exercised.
    for (int32_t trial = 0; trial < 40; ++trial) {
        std::vector<Track> tracks;
        const int32_t n = 2 + trial % 23;
        for (int32_t i = 0; i < n; ++i) {
            const float x = std::floor(hash01(trial, i, 1, 99) * 12.0f) * 20.0f;
            const float y = std::floor(hash01(trial, i, 2, 99) * 8.0f) * 20.0f;
            tracks.push_back(makeTrack(i + 1, x, y));
        }
        const float limit = trial % 3 == 0 ? 25.0f : (trial % 3 == 1 ? 45.0f : 1e9f);
        const auto got = buildEdges(tracks, modeSettings(3, limit));
        const auto want = referenceForest(tracks, limit);
        ASSERT_EQ(pairsOf(got), pairsOf(want)) << "trial " << trial;
        if (limit > 1e8f) {
            EXPECT_EQ(got.size(), static_cast<size_t>(n - 1));
        }
    }
}

TEST(ConnectionGraph, CapKeepsTheShortestEdges) {
    Settings s = modeSettings(2, 0.0f);
    std::vector<Track> tracks;
    for (int32_t i = 0; i < 25; ++i) tracks.push_back(makeTrack(i + 1, i * 3.0f + (i % 7) * 0.3f, (i % 5) * 2.0f));
    const auto all = buildEdges(tracks, s);
    ASSERT_EQ(all.size(), 300u);
    s.maxConnectionEdges = 256;
    const auto capped = limitEdges(all, s);
    ASSERT_EQ(capped.size(), 256u);
    for (size_t i = 1; i < capped.size(); ++i) EXPECT_LE(capped[i - 1].length, capped[i].length);
    std::vector<float> lengths;
    for (const Edge& e : all) lengths.push_back(e.length);
    std::sort(lengths.begin(), lengths.end());
    EXPECT_EQ(capped.back().length, lengths[255]);

    // At or under the cap, or with no cap, the build order is kept.
    s.maxConnectionEdges = 300;
    EXPECT_EQ(pairsOf(limitEdges(all, s)), pairsOf(all));
    s.maxConnectionEdges = 0;
    EXPECT_EQ(pairsOf(limitEdges(all, s)), pairsOf(all));
    s.maxConnectionEdges = -5;
    EXPECT_EQ(pairsOf(limitEdges(all, s)), pairsOf(all));
}

TEST(ConnectionGraph, BrokenCentresJoinNothing) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    std::vector<Track> tracks = {makeTrack(1, 0, 0), makeTrack(2, nan, 5), makeTrack(3, 10, 0),
                                 makeTrack(4, inf, 0)};
    for (int32_t mode : {1, 2, 3, 4}) {
        for (const Edge& e : buildEdges(tracks, modeSettings(mode))) {
            EXPECT_TRUE(e.a != 1 && e.b != 1 && e.a != 3 && e.b != 3) << mode;
        }
    }
    EXPECT_EQ(pairsOf(buildEdges(tracks, modeSettings(3, nan))), (Pairs{{0, 2}}));
    EXPECT_TRUE(buildEdges({makeTrack(1, 0, 0)}, modeSettings(2)).empty());
    EXPECT_TRUE(buildEdges({}, modeSettings(3)).empty());
}

}  // namespace
}  // namespace ormel
