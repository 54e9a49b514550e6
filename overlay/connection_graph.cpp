#include "overlay/connection_graph.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>

namespace ormel {
namespace {

float distance(const Track& p, const Track& q) {
    const float dx = p.blob.center.x - q.blob.center.x;
    const float dy = p.blob.center.y - q.blob.center.y;
    return std::sqrt(dx * dx + dy * dy);
}

Edge makeEdge(size_t a, size_t b, float length) {
    return Edge{static_cast<int32_t>(a), static_cast<int32_t>(b), length};
}

std::vector<Edge> starEdges(const std::vector<Track>& tracks, float limit) {
    size_t hub = 0;
    for (size_t i = 1; i < tracks.size(); ++i) {
        if (tracks[i].blob.area > tracks[hub].blob.area) hub = i;
    }
    std::vector<Edge> edges;
    for (size_t j = 0; j < tracks.size(); ++j) {
        if (j == hub) continue;
        const float d = distance(tracks[hub], tracks[j]);
        if (d <= limit) edges.push_back(makeEdge(hub, j, d));
    }
    return edges;
}

std::vector<Edge> completeEdges(const std::vector<Track>& tracks, float limit) {
    std::vector<Edge> edges;
    for (size_t i = 0; i + 1 < tracks.size(); ++i) {
        for (size_t j = i + 1; j < tracks.size(); ++j) {
            const float d = distance(tracks[i], tracks[j]);
            if (d <= limit) edges.push_back(makeEdge(i, j, d));
        }
    }
    return edges;
}

// Prim's method over a forest. Instead of rescanning every (reached,
// unreached) pair at each step, each unreached track keeps its closest reached
// track; ties keep the lower reached index and the scan keeps the lower
// unreached index, which picks the same pair as the full scan in (i, j) order.
std::vector<Edge> spanningForestEdges(const std::vector<Track>& tracks, float limit) {
    const size_t n = tracks.size();
    constexpr float kNone = std::numeric_limits<float>::infinity();
    std::vector<char> reached(n, 0);
    std::vector<float> bestDist(n, kNone);
    std::vector<size_t> bestFrom(n, n);
    size_t lowestUnreached = 0;
    auto reach = [&](size_t r) {
        reached[r] = 1;
        for (size_t j = 0; j < n; ++j) {
            if (reached[j]) continue;
            const float d = distance(tracks[r], tracks[j]);
            // NaN distances (broken centres) never join anything.
            const bool first = bestFrom[j] == n && !std::isnan(d);
            if (first || d < bestDist[j] || (d == bestDist[j] && r < bestFrom[j])) {
                bestDist[j] = d;
                bestFrom[j] = r;
            }
        }
        while (lowestUnreached < n && reached[lowestUnreached]) ++lowestUnreached;
    };
    std::vector<Edge> edges;
    reach(0);
    for (size_t step = 1; step < n; ++step) {
        size_t to = n;
        for (size_t j = 0; j < n; ++j) {
            if (reached[j] || bestFrom[j] == n) continue;
            if (to == n || bestDist[j] < bestDist[to] ||
                (bestDist[j] == bestDist[to] && bestFrom[j] < bestFrom[to])) {
                to = j;
            }
        }
        if (to != n && bestDist[to] <= limit) {
            edges.push_back(makeEdge(bestFrom[to], to, bestDist[to]));
            reach(to);
        } else {
            // Nothing within reach: the lowest unreached track starts a new tree.
            reach(lowestUnreached);
        }
    }
    return edges;
}

std::vector<Edge> nearestEdges(const std::vector<Track>& tracks, float limit) {
    const size_t n = tracks.size();
    std::vector<size_t> nearest(n, n);
    std::vector<Edge> edges;
    for (size_t i = 0; i < n; ++i) {
        float best = limit;
        for (size_t j = 0; j < n; ++j) {
            if (j == i) continue;
            const float d = distance(tracks[i], tracks[j]);
            if (d < best) {
                best = d;
                nearest[i] = j;
            }
        }
        const size_t j = nearest[i];
        if (j == n) continue;
        // The pair was already added only if an earlier track chose this one.
        if (j < i && nearest[j] == i) continue;
        edges.push_back(makeEdge(std::min(i, j), std::max(i, j), best));
    }
    return edges;
}

}  // namespace

std::vector<Edge> buildEdges(const std::vector<Track>& tracks, const Settings& settings) {
    if (tracks.size() < 2 || settings.connectionMode == ConnectionMode::None) return {};
    const float limit =
        settings.maxConnectionDistance > 0.0f ? settings.maxConnectionDistance : FLT_MAX;
    switch (settings.connectionMode) {
        case ConnectionMode::Star: return starEdges(tracks, limit);
        case ConnectionMode::Complete: return completeEdges(tracks, limit);
        case ConnectionMode::Nearest: return nearestEdges(tracks, limit);
        default: return spanningForestEdges(tracks, limit);
    }
}

std::vector<Edge> limitEdges(std::vector<Edge> edges, const Settings& settings) {
    const int32_t cap = settings.maxConnectionEdges;
    if (cap <= 0 || edges.size() <= static_cast<size_t>(cap)) return edges;
    std::sort(edges.begin(), edges.end(), [](const Edge& x, const Edge& y) {
        if (x.length != y.length) return x.length < y.length;
        if (x.a != y.a) return x.a < y.a;
        return x.b < y.b;
    });
    edges.resize(static_cast<size_t>(cap));
    return edges;
}

}  // namespace ormel
