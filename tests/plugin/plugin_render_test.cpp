// The render action through a real host: the output is exactly what the
// engine makes of the same frames and settings, whatever the image layout.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "pipeline/process_frame.h"
#include "varnok_test_support.h"

namespace {

using ofxhost::FloatImage;
using ofxhost::ImageLayout;
using varnok_test::movingSquares;
using varnok_test::plugin;
using varnok_test::TableReader;
using varnok_test::toEngine;

constexpr int kW = 64;
constexpr int kH = 48;

class PluginRender : public ::testing::Test {
protected:
    void SetUp() override {
        int status = -1;
        inst = plugin().createInstance(ofxhost::kContextFilter, &status);
        ASSERT_TRUE(inst) << ofxhost::statusName(status);
        inst->setFrameProvider("Source", [this](double t, FloatImage& out) {
            if (missing.count(t)) return false;
            const bool odd = oddSized.count(t) > 0;
            out = movingSquares(odd ? kW + 1 : kW, kH, t);
            return true;
        });
    }

    // Sets a value both on the instance and on the reader the expectation uses.
    void set(const std::string& name, double v) {
        ASSERT_TRUE(inst->setValue(name, ofxhost::ParamValue::number(v))) << name;
        reader.set(name, v);
    }

    ormel::Image expectedAt(double t, const std::vector<ormel::FrameSample>& history) const {
        return ormel::processFrame(toEngine(movingSquares(kW, kH, t)), history,
                                   ormel::sampleSettings(reader, t))
            .image;
    }

    static ormel::FrameSample sampleAt(double t, int frame) {
        ormel::FrameSample s;
        s.frame = frame;
        s.image = toEngine(movingSquares(kW, kH, t));
        return s;
    }

    std::vector<double> sourceFetches() const {
        std::vector<double> times;
        for (const auto& f : inst->fetchLog())
            if (f.clip == "Source") times.push_back(f.time);
        return times;
    }

    std::unique_ptr<ofxhost::Instance> inst;
    TableReader reader;
    std::set<double> missing;
    std::set<double> oddSized;
};

void expectSameImage(const FloatImage& got, const ormel::Image& want) {
    ASSERT_EQ(got.width, want.width);
    ASSERT_EQ(got.height, want.height);
    ASSERT_EQ(got.rgba.size(), want.pixels.size() * 4);
    EXPECT_EQ(std::memcmp(got.rgba.data(), want.pixels.data(), got.rgba.size() * sizeof(float)), 0);
}

bool allChannelsEqual(const FloatImage& img, float v) {
    for (float c : img.rgba)
        if (c != v) return false;
    return true;
}

TEST_F(PluginRender, DefaultsGiveWhatTheEngineGives) {
    const auto r = inst->render(5);
    ASSERT_EQ(r.status, ofxhost::kStatusOK) << r.error;
    expectSameImage(r.output, expectedAt(5, {}));
    EXPECT_FALSE(allChannelsEqual(r.output, 0.5f));
    EXPECT_EQ(inst->imagesOutstanding(), 0);
}

TEST_F(PluginRender, EarlierFramesAreFetchedOldestFirstAndUsed) {
    set("fastPreview", 0);
    set("useTemporalTracking", 1);
    set("temporalFrames", 3);
    set("detectionScale", 0);
    set("hudScale", 1.5);
    inst->clearFetchLog();
    const auto r = inst->render(10);
    ASSERT_EQ(r.status, ofxhost::kStatusOK) << r.error;
    EXPECT_EQ(sourceFetches(), (std::vector<double>{10, 7, 8, 9}));
    ASSERT_FALSE(inst->fetchLog().empty());
    EXPECT_EQ(inst->fetchLog().front().clip, "Output");
    expectSameImage(r.output, expectedAt(10, {sampleAt(7, 7), sampleAt(8, 8), sampleAt(9, 9)}));
    EXPECT_EQ(inst->imagesOutstanding(), 0);
}

TEST_F(PluginRender, MissingOrResizedEarlierFramesAreLeftOut) {
    set("fastPreview", 0);
    set("useTemporalTracking", 1);
    set("temporalFrames", 4);
    missing.insert(8);
    oddSized.insert(7);
    const auto r = inst->render(10);
    ASSERT_EQ(r.status, ofxhost::kStatusOK) << r.error;
    EXPECT_EQ(sourceFetches(), (std::vector<double>{10, 6, 7, 8, 9}));
    expectSameImage(r.output, expectedAt(10, {sampleAt(6, 6), sampleAt(9, 9)}));
}

TEST_F(PluginRender, SampleFramesRoundHalvesAwayFromZero) {
    set("fastPreview", 0);
    set("useTemporalTracking", 1);
    set("temporalFrames", 1);
    auto r = inst->render(2.5);
    ASSERT_EQ(r.status, ofxhost::kStatusOK);
    expectSameImage(r.output, expectedAt(2.5, {sampleAt(1.5, 2)}));
    inst->clearFetchLog();
    r = inst->render(-0.5);
    ASSERT_EQ(r.status, ofxhost::kStatusOK);
    EXPECT_EQ(sourceFetches(), (std::vector<double>{-0.5, -1.5}));
    expectSameImage(r.output, expectedAt(-0.5, {sampleAt(-1.5, -2)}));
}

TEST_F(PluginRender, NoHistoryWithoutTemporalTrackingOrInPreview) {
    set("useTemporalTracking", 1);
    set("temporalFrames", 5);
    set("fastPreview", 1);
    inst->clearFetchLog();
    ASSERT_EQ(inst->render(10).status, ofxhost::kStatusOK);
    EXPECT_EQ(sourceFetches(), std::vector<double>{10});

    set("fastPreview", 0);
    set("useTemporalTracking", 0);
    inst->clearFetchLog();
    ASSERT_EQ(inst->render(10).status, ofxhost::kStatusOK);
    EXPECT_EQ(sourceFetches(), std::vector<double>{10});
}

// Preset files reach the parameters without range checks: a huge frame count
// must not make one render fetch without bound.
TEST_F(PluginRender, HugeTemporalFrameCountIsHeldToItsRange) {
    set("fastPreview", 0);
    set("useTemporalTracking", 1);
    ASSERT_TRUE(inst->setValue("temporalFrames", ofxhost::ParamValue::number(2000000000)));
    inst->clearFetchLog();
    ASSERT_EQ(inst->render(100).status, ofxhost::kStatusOK);
    const auto times = sourceFetches();
    ASSERT_EQ(times.size(), 65u);
    EXPECT_EQ(times[1], 36.0);
    EXPECT_EQ(times.back(), 99.0);
    const auto needed = inst->getFramesNeeded(100);
    ASSERT_EQ(needed.status, ofxhost::kStatusOK);
    EXPECT_EQ(needed.ranges.at("Source"), (std::vector<std::pair<double, double>>{{36.0, 100.0}}));
}

TEST_F(PluginRender, AnimatedParametersAreReadAtTheRenderTime) {
    ASSERT_TRUE(inst->setKey("hudScale", 0, ofxhost::ParamValue::number(1)));
    ASSERT_TRUE(inst->setKey("hudScale", 10, ofxhost::ParamValue::number(3)));
    ofxhost::ParamValue v;
    ASSERT_TRUE(inst->getValue("hudScale", 4, &v));
    reader.set("hudScale", v.numbers.at(0));
    const auto r = inst->render(4);
    ASSERT_EQ(r.status, ofxhost::kStatusOK);
    expectSameImage(r.output, expectedAt(4, {}));
}

TEST_F(PluginRender, NonFloatOrNonRgbaOutputIsRefusedBeforeAnyFetch) {
    for (auto layoutChange : {0, 1, 2}) {
        ImageLayout l;
        l.imposeFormat = true;   // a host that ignores the declared depth
        if (layoutChange == 0) l.depth = ofxhost::BitDepth::Byte;
        if (layoutChange == 1) l.depth = ofxhost::BitDepth::Short;
        if (layoutChange == 2) l.components = ofxhost::Components::RGB;
        inst->setClipLayout("Output", l);
        inst->clearFetchLog();
        const auto r = inst->render(3);
        EXPECT_EQ(r.status, ofxhost::kStatusErrUnsupported) << layoutChange;
        EXPECT_TRUE(inst->fetchLog().empty()) << layoutChange;
    }
}

TEST_F(PluginRender, MissingSourceFailsAndReleasesTheOutput) {
    missing.insert(3);
    const auto r = inst->render(3, ofxhost::RenderOptions{kW, kH});
    EXPECT_EQ(r.status, ofxhost::kStatusFailed);
    EXPECT_EQ(inst->imagesOutstanding(), 0);
    EXPECT_TRUE(allChannelsEqual(r.output, 0.5f));
}

TEST_F(PluginRender, SourceOfAnotherDepthIsAValueError) {
    ImageLayout half;
    half.depth = ofxhost::BitDepth::Half;
    half.imposeFormat = true;
    inst->setClipLayout("Source", half);
    const auto r = inst->render(3);
    EXPECT_EQ(r.status, ofxhost::kStatusErrValue);
    EXPECT_EQ(inst->imagesOutstanding(), 0);
    EXPECT_TRUE(allChannelsEqual(r.output, 0.5f));
}

// Every way a host may lay out the source image gives the same picture.
TEST_F(PluginRender, SourceLayoutsAllReadAlike) {
    const ormel::Image want = expectedAt(6, {});
    std::vector<ImageLayout> layouts(4);
    layouts[0].originX = 7;
    layouts[0].originY = -5;
    layouts[1].rowPadding = 12;
    layouts[2].rowOrder = ofxhost::RowOrder::BottomFirst;
    layouts[3].rowOrder = ofxhost::RowOrder::BottomFirst;
    layouts[3].originX = -3;
    layouts[3].rowPadding = 4;
    for (size_t i = 0; i < layouts.size(); ++i) {
        inst->setClipLayout("Source", layouts[i]);
        const auto r = inst->render(6);
        ASSERT_EQ(r.status, ofxhost::kStatusOK) << i;
        expectSameImage(r.output, want);
    }
}

TEST_F(PluginRender, OutputLayoutsAllWriteAlike) {
    const ormel::Image want = expectedAt(6, {});
    std::vector<ImageLayout> layouts(3);
    layouts[0].originX = -9;
    layouts[0].originY = 4;
    layouts[1].rowPadding = 20;
    layouts[2].rowOrder = ofxhost::RowOrder::BottomFirst;
    for (size_t i = 0; i < layouts.size(); ++i) {
        inst->setClipLayout("Output", layouts[i]);
        const auto r = inst->render(6);
        ASSERT_EQ(r.status, ofxhost::kStatusOK) << i;
        expectSameImage(r.output, want);
    }
}

TEST_F(PluginRender, SmallerOutputGetsTheLowerLeftOverlap) {
    const ormel::Image want = expectedAt(6, {});
    ImageLayout l;
    l.extraWidth = -5;
    l.extraHeight = -3;
    l.originX = 2;
    l.originY = 1;
    inst->setClipLayout("Output", l);
    const auto r = inst->render(6);
    ASSERT_EQ(r.status, ofxhost::kStatusOK);
    ASSERT_EQ(r.output.width, kW - 5);
    ASSERT_EQ(r.output.height, kH - 3);
    for (int y = 0; y < r.output.height; ++y) {
        for (int x = 0; x < r.output.width; ++x) {
            const ormel::Pixel& p = want.at(x, y);
            ASSERT_EQ(std::memcmp(r.output.pixel(x, y), &p, sizeof p), 0) << x << "," << y;
        }
    }
}

TEST_F(PluginRender, LargerOutputKeepsItsOwnPixelsOutsideTheResult) {
    const ormel::Image want = expectedAt(6, {});
    ImageLayout l;
    l.extraWidth = 3;
    l.extraHeight = 2;
    l.outputFill = 0.25f;
    inst->setClipLayout("Output", l);
    const auto r = inst->render(6);
    ASSERT_EQ(r.status, ofxhost::kStatusOK);
    ASSERT_EQ(r.output.width, kW + 3);
    ASSERT_EQ(r.output.height, kH + 2);
    for (int y = 0; y < r.output.height; ++y) {
        for (int x = 0; x < r.output.width; ++x) {
            const float* got = r.output.pixel(x, y);
            if (x < kW && y < kH) {
                const ormel::Pixel& p = want.at(x, y);
                ASSERT_EQ(std::memcmp(got, &p, sizeof p), 0) << x << "," << y;
            } else {
                for (int c = 0; c < 4; ++c) ASSERT_EQ(got[c], 0.25f) << x << "," << y;
            }
        }
    }
}

TEST_F(PluginRender, SourceWithEmptyBoundsLeavesTheOutputUntouched) {
    ImageLayout l;
    l.extraWidth = -kW;
    inst->setClipLayout("Source", l);
    const auto r = inst->render(6, ofxhost::RenderOptions{kW, kH});
    ASSERT_EQ(r.status, ofxhost::kStatusOK);
    EXPECT_TRUE(allChannelsEqual(r.output, 0.5f));
}

}  // namespace
