// Which pairs of tracks the connection lines join.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/types.h"

namespace ormel {

// One connection, drawn from track `a` to track `b` (indices into the track
// array); `length` is the distance between their centres.
struct Edge {
    int32_t a = 0;
    int32_t b = 0;
    float length = 0.0f;
};

// Edges for settings.connectionMode, in drawing order: None none, Star around
// the largest region, Complete every pair, Nearest each track to its nearest
// neighbour, any other value a minimum spanning forest. Star, Complete and Mst accept a distance
// equal to maxConnectionDistance, Nearest only a strictly smaller one; a
// distance limit of 0 or less means no limit.
std::vector<Edge> buildEdges(const std::vector<Track>& tracks, const Settings& settings);

// Caps the list at settings.maxConnectionEdges (0 or less: no cap). A list
// over the cap is sorted shortest first (ties by a, then b) and cut.
std::vector<Edge> limitEdges(std::vector<Edge> edges, const Settings& settings);

}  // namespace ormel
