// Earlier frames are streamed one at a time and, where the host labels its
// images, recognised by label; none of it may change a single bit of what the
// engine makes of the same frames.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/worker_pool.h"
#include "pipeline/process_frame.h"
#include "varnok_test_support.h"

namespace {

using ofxhost::FloatImage;
using varnok_test::movingSquares;
using varnok_test::plugin;
using varnok_test::TableReader;
using varnok_test::toEngine;

constexpr int kW = 67;   // odd sizes: reductions end in partial cells
constexpr int kH = 45;

class PluginHistory : public ::testing::Test {
protected:
    void SetUp() override {
        inst = plugin().createInstance(ofxhost::kContextFilter);
        ASSERT_TRUE(inst);
        inst->setFrameProvider("Source", [this](double t, FloatImage& out) {
            out = frameAt(t);
            return true;
        });
        set("useTemporalTracking", 1);
        set("fastPreview", 0);
        set("temporalFrames", 6);
        set("drawTrails", 1);
    }

    FloatImage frameAt(double t) const {
        FloatImage f = movingSquares(kW, kH, t);
        auto it = shifted.find(t);
        if (it != shifted.end()) f = movingSquares(kW, kH, t + it->second);
        return f;
    }

    void set(const std::string& name, double v) {
        ASSERT_TRUE(inst->setValue(name, ofxhost::ParamValue::number(v))) << name;
        reader.set(name, v);
    }

    // What the engine makes of the whole frames, as render once did.
    ormel::Image expectedAt(double t) const {
        std::vector<ormel::FrameSample> history;
        for (int n = 6; n >= 1; --n) history.push_back({static_cast<int32_t>(t - n), toEngine(frameAt(t - n))});
        return ormel::processFrame(toEngine(frameAt(t)), history, ormel::sampleSettings(reader, t)).image;
    }

    void expectRenderMatches(double t, const std::string& what) {
        const auto r = inst->render(t);
        ASSERT_EQ(r.status, ofxhost::kStatusOK) << what;
        const ormel::Image want = expectedAt(t);
        ASSERT_EQ(r.output.rgba.size(), want.pixels.size() * 4) << what;
        EXPECT_EQ(std::memcmp(r.output.rgba.data(), want.pixels.data(), r.output.rgba.size() * 4), 0) << what;
    }

    std::unique_ptr<ofxhost::Instance> inst;
    TableReader reader;
    std::map<double, double> shifted;   // time -> extra motion, to change a picture behind a time
};

// Reduced earlier frames are detected side by side on the host's threads, so
// the thread count is varied too; the pool is given back as it was.
TEST_F(PluginHistory, StreamedHistoryGivesTheWholeFrameResultForEveryFactorAndMode) {
    const unsigned workers = ofxhost::workerCount();
    for (unsigned threads : {1u, 2u, 3u, 8u}) {
        ofxhost::setWorkerCount(threads);
        for (int scale = 0; scale < 4; ++scale)
            for (int mode = 0; mode < 3; ++mode) {
                set("detectionScale", scale);
                set("outputMode", mode);
                inst->clearFetchLog();
                expectRenderMatches(10, "scale " + std::to_string(scale) + " mode " + std::to_string(mode) +
                                            " threads " + std::to_string(threads));
                // Output, source and one earlier frame at most.
                EXPECT_LE(inst->peakImagesOutstanding(), 3);
                EXPECT_EQ(inst->imagesOutstanding(), 0);
            }
    }
    ofxhost::setWorkerCount(workers);
}

// With labels, regions come from the cache on later renders; a picture that
// changes behind a time comes with a new label and is detected afresh.
TEST_F(PluginHistory, LabelledFramesGiveTheSameBitsAndChangedPicturesAreSeen) {
    std::map<double, int> generation;
    inst->setFrameLabeler("Source", [&generation](double t) {
        return "clip@" + std::to_string(t) + "#" + std::to_string(generation[t]);
    });
    for (int scale : {0, 3}) {
        set("detectionScale", scale);
        for (double t : {10.0, 11.0, 12.0, 10.0}) expectRenderMatches(t, "labelled, scale " + std::to_string(scale));
        shifted[9] = 7.0;
        ++generation[9];
        expectRenderMatches(10, "picture at 9 changed");
        expectRenderMatches(12, "picture at 9 changed, later frame");
        shifted.clear();
        ++generation[9];
    }
    // The same renders without labels.
    inst->setFrameProvider("Source", [this](double t, FloatImage& out) {
        out = frameAt(t);
        return true;
    });
    expectRenderMatches(11, "unlabelled");
}

// A host that makes pixels only when they are read: with labels, a render
// reads only the frames whose regions are not known yet, and the bits stay.
TEST_F(PluginHistory, PixelsMadeOnReadAreMadeOnlyForFramesTheCacheLacks) {
    std::vector<double> made;
    inst->setSharedFrameProvider("Source", [this, &made](double t) {
        made.push_back(t);
        return std::make_shared<const FloatImage>(frameAt(t));
    });
    inst->setFrameLabeler("Source", [](double t) { return "lazy@" + std::to_string(t); });
    inst->setFrameShapeProvider("Source", [](double, int* w, int* h) {
        *w = kW;
        *h = kH;
        return true;
    });
    expectRenderMatches(10, "first render");
    EXPECT_EQ(made.size(), 7u) << "current frame and six earlier ones";
    made.clear();
    expectRenderMatches(11, "next frame");
    // The current frame, and frame 10, which was never an earlier frame before.
    EXPECT_EQ(made, (std::vector<double>{11.0, 10.0}));
    made.clear();
    expectRenderMatches(11, "same frame again");
    EXPECT_EQ(made, (std::vector<double>{11.0}));

    // Announced but gone when read: the render says so instead of passing
    // zeros off as the picture.
    inst->setSharedFrameProvider("Source", [this](double t) {
        return t == 7.0 ? nullptr : std::make_shared<const FloatImage>(frameAt(t));
    });
    inst->setFrameLabeler("Source", [](double t) { return "gone@" + std::to_string(t); });
    inst->setFrameShapeProvider("Source", [](double, int* w, int* h) {
        *w = kW;
        *h = kH;
        return true;
    });
    EXPECT_FALSE(inst->render(12).error.empty());
    EXPECT_EQ(inst->imagesOutstanding(), 0);
}

}  // namespace
