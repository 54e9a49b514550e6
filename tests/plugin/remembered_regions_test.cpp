// The regions remembered per process for hosts without earlier frames.
#include "plugin/remembered_regions.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

using ormel::Blob;
using ormel::FrameRegions;
using ormel::RememberedRegions;

std::vector<Blob> regionsAt(int32_t x) {
    Blob b;
    b.area = 9;
    b.center = {static_cast<float>(x), 4.0f};
    return {b};
}

std::vector<int32_t> framesOf(const std::vector<FrameRegions>& earlier) {
    std::vector<int32_t> frames;
    for (const FrameRegions& f : earlier) frames.push_back(f.frame);
    return frames;
}

// One render: what it recalls, then its own regions remembered.
std::vector<int32_t> render(RememberedRegions& memory, const char* key, double t, int32_t frames,
                            const std::vector<Blob>& found) {
    std::vector<FrameRegions> earlier;
    RememberedRegions::Ticket ticket = memory.begin(key, t, frames, earlier);
    memory.finish(ticket, &found);
    return framesOf(earlier);
}

// In order, a render recalls the frames before it within its window; a jump
// backwards or a gap longer than the window starts afresh; a frame rendered
// twice alike stays usable, and a time that got two different sets of
// regions keeps every window holding it from the memory.
TEST(RememberedRegions, RecallsWhatTheOrderAllows) {
    RememberedRegions memory;
    struct Step {
        const char* key;
        double t;
        int32_t x;   // the frame's own regions
        std::vector<int32_t> recalled;
    };
    const Step steps[] = {
        {"a", 0, 0, {}},        {"a", 1, 2, {0}},        {"a", 2, 4, {0, 1}},    {"a", 3, 6, {0, 1, 2}},
        {"a", 4, 8, {1, 2, 3}}, {"b", 5, 1, {}},         {"a", 4, 8, {1, 2, 3}},  // the same frame again
        {"a", 5, 10, {2, 3, 4}}, {"a", 9, 18, {}},       {"a", 10, 20, {9}},     // a gap of 4 with 3 frames
        {"a", 8, 16, {}},       {"a", 9, 18, {8}},       {"a", 9, 50, {8}},      // another picture at 9
        {"a", 10, 20, {}},      {"a", 11, 22, {}},       {"a", 12, 24, {}},      {"a", 13, 26, {10, 11, 12}},
    };
    for (const Step& s : steps)
        EXPECT_EQ(render(memory, s.key, s.t, 3, regionsAt(s.x)), s.recalled) << s.key << " at " << s.t;
}

// Bounded in bytes: the least recently used streams go first, then the
// oldest frames of the current one.
TEST(RememberedRegions, StaysWithinItsBytes) {
    RememberedRegions memory(4096, 4, 64);
    const std::vector<Blob> many(20, Blob{});
    for (int stream = 0; stream < 6; ++stream)
        for (int t = 0; t < 40; ++t) {
            render(memory, std::to_string(stream).c_str(), t, 64, many);
            EXPECT_LE(memory.bytes(), 4096u);
        }
    EXPECT_GT(memory.bytes(), 0u);
    EXPECT_FALSE(render(memory, "5", 40, 64, many).empty()) << "the current stream keeps its latest frames";
}

// A render waits for the renders of its earlier frames already under way,
// so frames begun in order recall the same whichever thread finishes first.
TEST(RememberedRegions, WaitsForEarlierFramesUnderWay) {
    RememberedRegions memory;
    render(memory, "a", 0, 2, regionsAt(0));
    std::vector<FrameRegions> first;
    RememberedRegions::Ticket one = memory.begin("a", 1, 2, first);
    std::vector<int32_t> recalled;
    std::thread next([&] { recalled = render(memory, "a", 2, 2, regionsAt(4)); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::vector<Blob> found = regionsAt(2);
    memory.finish(one, &found);
    next.join();
    EXPECT_EQ(framesOf(first), std::vector<int32_t>{0});
    EXPECT_EQ(recalled, (std::vector<int32_t>{0, 1}));
}

}  // namespace
