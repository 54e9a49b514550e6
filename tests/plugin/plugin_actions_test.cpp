// isIdentity and getFramesNeeded through a real host.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "varnok_test_support.h"

namespace {

using varnok_test::plugin;

class PluginActions : public ::testing::Test {
protected:
    void SetUp() override {
        inst = plugin().createInstance(ofxhost::kContextGeneral);
        ASSERT_TRUE(inst);
    }
    void set(const std::string& name, double v) {
        ASSERT_TRUE(inst->setValue(name, ofxhost::ParamValue::number(v))) << name;
    }
    // Every overlay layer off and every treatment at 0 (the only non-zero
    // treatment default is the glow).
    void quietEverything() {
        for (const char* layer : {"drawPoints", "drawBoxes", "drawLines", "drawTrails", "drawLabels"})
            set(layer, 0);
        set("glowAmount", 0);
    }
    bool identity(double t = 12) {
        const auto r = inst->isIdentity(t);
        EXPECT_TRUE(r.status == ofxhost::kStatusOK || r.status == ofxhost::kStatusReplyDefault)
            << ofxhost::statusName(r.status);
        if (r.identity) {
            EXPECT_EQ(r.clip, "Source");
            EXPECT_EQ(r.time, t);
        }
        return r.identity;
    }
    std::unique_ptr<ofxhost::Instance> inst;
};

TEST_F(PluginActions, IdentityOnlyOnceEveryLayerAndTreatmentIsOff) {
    EXPECT_FALSE(identity());
    for (const char* layer : {"drawPoints", "drawBoxes", "drawLines", "drawTrails", "drawLabels"})
        set(layer, 0);
    EXPECT_FALSE(identity());  // the glow is still at 0.35
    set("glowAmount", 0);
    EXPECT_TRUE(identity());
    EXPECT_TRUE(identity(-3.5));
}

TEST_F(PluginActions, EachLayerOrTreatmentBreaksIdentity) {
    quietEverything();
    ASSERT_TRUE(identity());
    const std::vector<std::pair<std::string, double>> breakers = {
        {"drawPoints", 1},     {"drawBoxes", 1},     {"drawLines", 1},
        {"drawTrails", 1},     {"drawLabels", 1},    {"glowAmount", 0.01},
        {"scanline", 0.2},     {"noise", 0.01},      {"vignette", 0.3},
        {"chromaticAberration", 1}, {"glitchAmount", 0.1}, {"vhsFlicker", 0.1},
        {"lensDistortion", -0.1}, {"lensDistortion", 0.1}, {"fisheye", 0.2},
        {"invertAmount", 0.5}, {"radialBlur", 0.1},  {"asciiAmount", 0.5},
        {"sourceOpacity", 0.99}, {"outputMode", 1},  {"outputMode", 2},
    };
    for (const auto& b : breakers) {
        ofxhost::ParamValue old;
        ASSERT_TRUE(inst->getValue(b.first, 0, &old));
        set(b.first, b.second);
        EXPECT_FALSE(identity()) << b.first << "=" << b.second;
        ASSERT_TRUE(inst->setValue(b.first, old));
        ASSERT_TRUE(identity()) << b.first;
    }
    // Negative amounts count as off; only the lens distortion is signed.
    set("scanline", -0.5);
    EXPECT_TRUE(identity());
}

TEST_F(PluginActions, PixelSortNeedsBothTheSwitchAndAnAmount) {
    quietEverything();
    set("pixelSortEnable", 1);
    EXPECT_FALSE(identity());  // amount defaults to 0.65
    set("pixelSortAmount", 0);
    EXPECT_TRUE(identity());
    set("pixelSortEnable", 0);
    set("pixelSortAmount", 1);
    EXPECT_TRUE(identity());
}

TEST_F(PluginActions, ASwitchedOnPointEffectWithStrengthIsNeverSkipped) {
    quietEverything();
    set("asciiMode", 2);  // mode alone changes nothing while the amount is 0
    ASSERT_TRUE(identity());
    const std::vector<std::pair<std::string, std::string>> effects = {
        {"magnifierEnable", "magnifierIntensity"},
        {"pointFlashEnable", "pointFlashIntensity"},
        {"pointInvertEnable", "pointInvertIntensity"},
    };
    for (const auto& e : effects) {
        set(e.first, 1);
        EXPECT_TRUE(identity()) << e.first << " with no strength";
        set(e.second, 0.5);
        EXPECT_FALSE(identity()) << e.first;
        set(e.first, 0);
        EXPECT_TRUE(identity()) << e.first << " switched off";
        set(e.second, 0);
    }
}

TEST_F(PluginActions, FramesNeededFollowPreviewAndTemporalSwitches) {
    auto r = inst->getFramesNeeded(10);
    EXPECT_EQ(r.status, ofxhost::kStatusReplyDefault);  // fast preview by default

    set("fastPreview", 0);
    r = inst->getFramesNeeded(10);
    EXPECT_EQ(r.status, ofxhost::kStatusReplyDefault);  // temporal tracking off

    set("useTemporalTracking", 1);
    set("temporalFrames", 3);
    r = inst->getFramesNeeded(10);
    ASSERT_EQ(r.status, ofxhost::kStatusOK);
    EXPECT_EQ(r.ranges.at("Source"), (std::vector<std::pair<double, double>>{{7.0, 10.0}}));

    set("temporalFrames", 0);
    EXPECT_EQ(inst->getFramesNeeded(10).status, ofxhost::kStatusReplyDefault);
    set("temporalFrames", -4);
    EXPECT_EQ(inst->getFramesNeeded(10).status, ofxhost::kStatusReplyDefault);

    set("temporalFrames", 2);
    set("fastPreview", 1);
    EXPECT_EQ(inst->getFramesNeeded(10).status, ofxhost::kStatusReplyDefault);
}

}  // namespace
