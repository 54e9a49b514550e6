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

Pairs edgesFor(const std::vector<Track>& tracks, int32_t mode, float limit = 500.0f) {
    Settings s;
    s.connectionMode = static_cast<ormel::ConnectionMode>(mode);
    s.maxConnectionDistance = limit;
    return pairsOf(buildEdges(tracks, s));
}

std::vector<Track> onLine(const std::vector<float>& xs) {
    std::vector<Track> tracks;
    for (size_t i = 0; i < xs.size(); ++i) tracks.push_back(makeTrack(int32_t(i) + 1, xs[i], 50.0f));
    return tracks;
}

// The forest built the slow way: every (reached, unreached) pair rescanned at
// each step, the first strictly smaller distance winning.
Pairs referenceForest(const std::vector<Track>& t, float limit) {
    const size_t n = t.size();
    std::vector<bool> reached(n, false);
    reached[0] = true;
    Pairs edges;
    for (size_t step = 1; step < n; ++step) {
        bool found = false;
        size_t bi = 0, bj = 0;
        float best = 0.0f;
        for (size_t i = 0; i < n; ++i) {
            for (size_t j = 0; j < n; ++j) {
                if (!reached[i] || reached[j]) continue;
                const float dx = t[i].blob.center.x - t[j].blob.center.x;
                const float dy = t[i].blob.center.y - t[j].blob.center.y;
                const float d = std::sqrt(dx * dx + dy * dy);
                if (!found || d < best) found = true, best = d, bi = i, bj = j;
            }
        }
        if (found && best <= limit) {
            edges.emplace_back(int32_t(bi), int32_t(bj));
            reached[bj] = true;
        } else {
            *std::find(reached.begin(), reached.end(), false) = true;
        }
    }
    return edges;
}

TEST(ConnectionGraph, DistanceLimitIsInclusiveExceptForNearest) {
    const auto tracks = onLine({10.0f, 110.0f});  // exactly 100 apart
    for (int32_t mode : {1, 2, 3}) EXPECT_EQ(edgesFor(tracks, mode, 100.0f).size(), 1u) << mode;
    EXPECT_TRUE(edgesFor(tracks, 4, 100.0f).empty());
    EXPECT_EQ(edgesFor(tracks, 4, 100.5f).size(), 1u);
    const auto far = onLine({0.0f, 600.0f});
    for (int32_t mode : {0, 1, 2, 3, 4}) {
        EXPECT_TRUE(edgesFor(far, mode).empty()) << mode;
        // A limit of 0 or below means none: joined in every mode but "none".
        EXPECT_EQ(edgesFor(far, mode, 0.0f).size(), mode == 0 ? 0u : 1u) << mode;
        EXPECT_EQ(edgesFor(far, mode, -3.0f).size(), mode == 0 ? 0u : 1u) << mode;
    }
}

TEST(ConnectionGraph, StarCompleteAndNearestOrders) {
    const std::vector<Track> star = {makeTrack(1, 0, 0, 50), makeTrack(2, 30, 0, 80),
                                     makeTrack(3, 60, 40, 80)};
    EXPECT_EQ(edgesFor(star, 1), (Pairs{{1, 0}, {1, 2}}));  // first of the largest is the hub
    Settings s;
    s.connectionMode = ormel::ConnectionMode::Star;
    EXPECT_FLOAT_EQ(buildEdges(star, s)[1].length, 50.0f);
    EXPECT_EQ(edgesFor(onLine({0, 10, 20, 30}), 2),
              (Pairs{{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}}));
    EXPECT_EQ(edgesFor(onLine({0, 40}), 4), (Pairs{{0, 1}}));  // a mutual pair once
    EXPECT_EQ(edgesFor(onLine({0, 10, 25, 45}), 4), (Pairs{{0, 1}, {1, 2}, {2, 3}}));
    EXPECT_EQ(edgesFor(onLine({0, 10, 20}), 4), (Pairs{{0, 1}, {1, 2}}));  // tie: first index
}

TEST(ConnectionGraph, SpanningForestStartsNewTreesBeyondTheLimit) {
    const auto tracks = onLine({0, 10, 1000, 1010});
    for (int32_t mode : {3, 77, -1}) EXPECT_EQ(edgesFor(tracks, mode, 100.0f), (Pairs{{0, 1}, {2, 3}}));
    EXPECT_EQ(edgesFor(onLine({0, 5000, 10, 5005, 20}), 3, 100.0f), (Pairs{{0, 2}, {2, 4}, {1, 3}}));
}

TEST(ConnectionGraph, SpanningForestMatchesTheFullPairScan) {
    // Grid positions give many equal distances, so tie-breaking is exercised.
    for (int32_t trial = 0; trial < 40; ++trial) {
        std::vector<Track> tracks;
        const int32_t n = 2 + trial % 23;
        for (int32_t i = 0; i < n; ++i) {
            tracks.push_back(makeTrack(i + 1, std::floor(hash01(trial, i, 1, 99) * 12.0f) * 20.0f,
                                       std::floor(hash01(trial, i, 2, 99) * 8.0f) * 20.0f));
        }
        const float limit = trial % 3 == 0 ? 25.0f : (trial % 3 == 1 ? 45.0f : 1e9f);
        const Pairs got = edgesFor(tracks, 3, limit);
        ASSERT_EQ(got, referenceForest(tracks, limit)) << "trial " << trial;
        if (limit > 1e8f) {
            EXPECT_EQ(got.size(), size_t(n - 1));
        }
    }
}

TEST(ConnectionGraph, CapKeepsTheShortestEdges) {
    Settings s;
    s.connectionMode = ormel::ConnectionMode::Complete;
    s.maxConnectionDistance = 0.0f;
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
    for (int32_t cap : {300, 0, -5}) {  // at or under the cap, or no cap: build order kept
        s.maxConnectionEdges = cap;
        EXPECT_EQ(pairsOf(limitEdges(all, s)), pairsOf(all));
    }
}

TEST(ConnectionGraph, BrokenCentresJoinNothing) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<Track> tracks = {makeTrack(1, 0, 0), makeTrack(2, nan, 5), makeTrack(3, 10, 0),
                                       makeTrack(4, std::numeric_limits<float>::infinity(), 0)};
    for (int32_t mode : {1, 2, 3, 4}) {
        for (const auto& [a, b] : edgesFor(tracks, mode)) EXPECT_TRUE(a % 2 == 0 && b % 2 == 0) << mode;
    }
    EXPECT_EQ(edgesFor(tracks, 3, nan), (Pairs{{0, 2}}));
}

}  // namespace
}  // namespace ormel
