// The regions the effect detected at each time it rendered, kept for the
// whole process for hosts that give no earlier frames: a render at t then
// tracks against what was remembered at t-1 ... t-n, as if the host had
// served those frames. Frames rendered in order from the first give the
// pictures of a host with earlier frames; random access gets what is
// remembered, as a live tracker would.
//
// A stream is everything rendered with one key (detection settings, frame
// size, factor). It forgets on a jump backwards or a gap longer than the
// frames asked for; a time that got two different sets of regions (two clips
// with the same settings rendered side by side) mixes, and no render uses
// the memory while such a time is in its window. Bounded in frames per
// stream, in streams and in bytes. Safe to share between threads: a render
// waits for the renders of its earlier times that are under way, so frames
// started in order give the same bits however they overlap.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "engine/tracks.h"
#include "engine/types.h"

namespace ormel {

class RememberedRegions {
public:
    explicit RememberedRegions(size_t maxBytes = size_t(64) << 20, size_t maxStreams = 16,
                               int32_t maxFrames = 64)
        : maxBytes_(maxBytes), maxStreams_(maxStreams), maxFrames_(maxFrames) {}

    // One render's use of the memory, from begin() to finish().
    struct Ticket {
        std::string key;
        double time = 0.0;
        uint64_t generation = 0;
        bool open = false;
    };

    // The render at `time` of stream `key`, with `frames` earlier frames: the
    // regions remembered for them, oldest first, into `earlier` (empty when
    // none or when a time among them mixes). The render must be finished.
    Ticket begin(const std::string& key, double time, int32_t frames, std::vector<FrameRegions>& earlier);
    // The regions the render found in its own frame, at the detection
    // resolution; null when it failed and leaves nothing.
    void finish(Ticket& ticket, const std::vector<Blob>* regions);

    size_t bytes() const;

private:
    struct Entry {
        std::vector<Blob> regions;
        bool mixed = false;
    };
    struct Stream {
        std::map<double, Entry> entries;
        std::map<double, int> underway;   // renders begun and not finished, by time
        bool started = false;
        double latest = 0.0;              // time of the latest render begun
        uint64_t generation = 0;          // moves on whenever the stream forgets
        uint64_t lastUse = 0;
    };
    void forget(Stream& s);
    void erase(Stream& s, std::map<double, Entry>::iterator it);
    void keepWithinBounds(const std::string& current);

    mutable std::mutex mutex_;
    std::condition_variable finished_;
    std::map<std::string, Stream> streams_;
    size_t bytes_ = 0;
    uint64_t clock_ = 0;
    const size_t maxBytes_;
    const size_t maxStreams_;
    const int32_t maxFrames_;
};

}  // namespace ormel
