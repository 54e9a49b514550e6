#include "pipeline/earlier_regions.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "pipeline/process_frame.h"
#include "tests/engine/test_images.h"

namespace ormel {
namespace {

using testing_images::boxOf;
using testing_images::fillRect;
using testing_images::kBlack;
using testing_images::kRed;
using testing_images::plainKey;

// 'm' missing, 'r' regions known, 's' a picture made in the spare, 'b' a
// picture of the provider's own; the first letter is the oldest frame.
struct Scripted : EarlierFrames {
    std::string script;
    int32_t size = 10;
    std::vector<Image> own;
    std::vector<int32_t> detectedOffsets;
    std::vector<std::vector<Blob>> detectedRegions;

    // Each frame's square stands elsewhere, so a mixed-up frame shows.
    Image pictureOf(int32_t offset) const {
        Image image(size, size, kBlack);
        const int32_t at = offset % (size - 3);
        fillRect(image, at, size - 3 - at, at + 2, size - 1 - at, kRed);
        return image;
    }
    static std::vector<Blob> knownRegions(int32_t offset) {
        Blob b;
        b.area = 1000 + offset;
        return {b};
    }
    EarlierFrame fetch(int32_t offset, Image& spare) override {
        EarlierFrame f;
        const char kind = script.at(script.size() - static_cast<size_t>(offset));
        f.frame = 100 - offset;
        if (kind == 'm') return f;
        if (kind == 'r') {
            f.kind = EarlierFrame::Kind::Regions;
            f.regions = knownRegions(offset);
            return f;
        }
        f.kind = EarlierFrame::Kind::Picture;
        if (kind == 's') {
            spare = pictureOf(offset);
            f.picture = &spare;
        } else {
            f.picture = &own[static_cast<size_t>(offset)];
        }
        return f;
    }
    void detected(int32_t offset, const std::vector<Blob>& regions) override {
        detectedOffsets.push_back(offset);
        detectedRegions.push_back(regions);
    }
};

// Every frame keeps its place, its number and its own regions, whether
// known, detected alone or detected in a batch side by side (jobs run in
// reverse order), and the caller hears of each detection once, oldest first.
TEST(EarlierRegions, EachFrameKeepsItsPlaceAndItsOwnRegions) {
    struct Case {
        const char* script;
        int32_t pictureSize;  // the current frame is 40 x 40: a quarter is 400 pixels
    };
    const Case cases[] = {
        {"ssssssss", 10},  // batches of four
        {"ssssssss", 20},  // one at a time
        {"mrsbmsrbssm", 10},
        {"bbbsss", 8},     // one batch of six
        {"rrmr", 10},
        {"", 10},
    };
    Settings settings = plainKey();
    RowBands reversed;
    reversed.bands = 3;
    reversed.runJobs = [](int32_t count, const std::function<void(int32_t)>& job) {
        for (int32_t i = count - 1; i >= 0; --i) job(i);
    };
    for (const Case& c : cases)
        for (const RowBands* bands : {&RowBands::single(), static_cast<const RowBands*>(&reversed)}) {
            SCOPED_TRACE(std::string("script \"") + c.script + "\", size " + std::to_string(c.pictureSize) +
                         (bands->runJobs ? ", jobs" : ""));
            Scripted frames;
            frames.script = c.script;
            frames.size = c.pictureSize;
            const int32_t count = static_cast<int32_t>(frames.script.size());
            for (int32_t offset = 0; offset <= count; ++offset) frames.own.push_back(frames.pictureOf(offset));

            std::deque<Image> spares;
            std::vector<FrameRegions> earlier{{7, {}}};  // replaced, not added to
            collectEarlierRegions(frames, count, 40, 40, settings, *bands, spares, earlier);

            std::vector<int32_t> wantDetected;
            size_t next = 0;
            for (int32_t offset = count; offset >= 1; --offset) {
                const char kind = frames.script[static_cast<size_t>(count - offset)];
                if (kind == 'm') continue;
                ASSERT_LT(next, earlier.size());
                const FrameRegions& got = earlier[next++];
                EXPECT_EQ(got.frame, 100 - offset);
                const std::vector<Blob> want = kind == 'r' ? Scripted::knownRegions(offset)
                                                           : detectEarlierRegions(frames.pictureOf(offset), settings);
                ASSERT_EQ(got.regions.size(), want.size()) << "offset " << offset;
                ASSERT_FALSE(want.empty());
                for (size_t i = 0; i < want.size(); ++i) {
                    EXPECT_EQ(boxOf(got.regions[i]), boxOf(want[i])) << "offset " << offset;
                    EXPECT_EQ(got.regions[i].area, want[i].area) << "offset " << offset;
                }
                if (kind != 'r') {
                    wantDetected.push_back(offset);
                    EXPECT_EQ(boxOf(frames.detectedRegions.at(wantDetected.size() - 1).at(0)), boxOf(want[0]));
                }
            }
            EXPECT_EQ(next, earlier.size());
            EXPECT_EQ(frames.detectedOffsets, wantDetected);
        }
}

}  // namespace
}  // namespace ormel
