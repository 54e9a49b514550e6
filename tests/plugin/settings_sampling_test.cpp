#include "plugin/settings_sampling.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

#include "varnok_test_support.h"

namespace {

using varnok_test::TableReader;

ormel::Settings sample(const TableReader& r, double t = 0.0) { return ormel::sampleSettings(r, t); }

TEST(SettingsSampling, HudFactorScalesSizesAndIsClamped) {
    TableReader r;
    r.set("hudScale", 2);
    r.set("pointSize", 7);
    EXPECT_EQ(sample(r).pointSize, 14.0f);
    EXPECT_EQ(sample(r).hudScale, 2.0f);

    r.set("hudScale", 20);
    EXPECT_EQ(sample(r).hudScale, 12.0f);
    EXPECT_EQ(sample(r).pointSize, 84.0f);

    r.set("hudScale", 0.01);
    EXPECT_EQ(sample(r).hudScale, 0.1f);
    EXPECT_EQ(sample(r).pointSize, 7.0f * 0.1f);

    r.set("hudScale", std::nan(""));
    EXPECT_EQ(sample(r).hudScale, 0.1f);
}

TEST(SettingsSampling, SizeFieldsFollowTheFactorButConnectionDistanceDoesNot) {
    TableReader r;
    r.set("hudScale", 3);
    r.set("maxConnectionDistance", 500);
    r.set("lineWidth", 1.5);
    r.set("motifSpacing", 92);
    r.set("lineCurveAmount", -42);
    const ormel::Settings s = sample(r);
    EXPECT_EQ(s.maxConnectionDistance, 500.0f);
    EXPECT_EQ(s.lineWidth, 4.5f);
    EXPECT_EQ(s.motifSpacing, 276.0f);
    EXPECT_EQ(s.lineCurveAmount, -126.0f);
    EXPECT_EQ(s.trailWidth, 1.5f * 3.0f);
    EXPECT_EQ(s.boxStroke, 6.0f);
}

TEST(SettingsSampling, TextSizesAndOffsetsRoundHalfAwayFromZero) {
    TableReader r;
    r.set("hudScale", 0.25);
    r.set("boxTextScale", 1);
    EXPECT_EQ(sample(r).boxTextScale, 1);  // round(0.25) = 0, raised to 1

    r.set("hudScale", 0.5);
    r.set("boxTextOffset", 5);
    EXPECT_EQ(sample(r).boxTextOffset, 3);  // round(2.5)

    r.set("hudScale", 0.75);
    r.set("labelOffsetY", -18);
    r.set("labelOffsetX", 2);
    EXPECT_EQ(sample(r).labelOffsetY, -14);  // round(-13.5)
    EXPECT_EQ(sample(r).labelOffsetX, 2);    // round(1.5)

    r.set("hudScale", 0.25);
    r.set("labelOffsetY", -1);
    EXPECT_EQ(sample(r).labelOffsetY, 0);  // offsets have no lower bound of 1
}

TEST(SettingsSampling, HugeIntegersSaturateInsteadOfOverflowing) {
    TableReader r;
    r.set("hudScale", 12);
    r.set("labelOffsetX", INT_MAX);
    r.set("labelOffsetY", INT_MIN);
    r.set("boxTextSizeMax", INT_MAX);
    const ormel::Settings s = sample(r);
    EXPECT_EQ(s.labelOffsetX, INT_MAX);
    EXPECT_EQ(s.labelOffsetY, INT_MIN);
    EXPECT_EQ(s.boxTextSizeMax, INT_MAX);
    EXPECT_EQ(sample(r, std::numeric_limits<double>::infinity()).frameNumber, INT_MAX);
    EXPECT_EQ(sample(r, std::nan("")).frameNumber, 0);
}

TEST(SettingsSampling, FastPreviewFoldsDetectionObjectsTrailsAndHistory) {
    TableReader r;
    r.set("fastPreview", 1);
    r.set("useTemporalTracking", 1);
    r.set("temporalFrames", 8);
    r.set("drawTrails", 1);
    r.set("detectionScale", 0);  // Pleine
    EXPECT_EQ(sample(r).detectionScale, 2);
    r.set("detectionScale", 3);  // Huitième
    EXPECT_EQ(sample(r).detectionScale, 8);
    r.set("detectionScale", 1);
    EXPECT_EQ(sample(r).detectionScale, 2);

    r.set("maxObjects", 128);
    r.set("previewObjectLimit", 48);
    ormel::Settings s = sample(r);
    EXPECT_EQ(s.maxObjects, 48);
    EXPECT_EQ(s.temporalFrames, 0);
    EXPECT_FALSE(s.drawTrails);
    EXPECT_EQ(s.maxConnectionEdges, 256);
    r.set("previewObjectLimit", 0);
    EXPECT_EQ(sample(r).maxObjects, 1);
    r.set("previewObjectLimit", 48);
    r.set("maxObjects", 20);
    EXPECT_EQ(sample(r).maxObjects, 20);

    r.set("fastPreview", 0);
    s = sample(r);
    EXPECT_EQ(s.detectionScale, 2);
    EXPECT_EQ(s.maxObjects, 20);
    EXPECT_EQ(s.temporalFrames, 8);
    EXPECT_TRUE(s.drawTrails);
    EXPECT_EQ(s.maxConnectionEdges, 4096);
    r.set("detectionScale", 0);
    EXPECT_EQ(sample(r).detectionScale, 1);
}

TEST(SettingsSampling, TemporalFramesNeedTheSwitchAndStayInRange) {
    TableReader r;
    r.set("fastPreview", 0);
    r.set("temporalFrames", 12);
    r.set("useTemporalTracking", 0);
    EXPECT_EQ(sample(r).temporalFrames, 0);
    r.set("useTemporalTracking", 1);
    EXPECT_EQ(sample(r).temporalFrames, 12);
    r.set("temporalFrames", 1000000);
    EXPECT_EQ(sample(r).temporalFrames, 64);
    r.set("temporalFrames", -5);
    EXPECT_EQ(sample(r).temporalFrames, 0);
}

TEST(SettingsSampling, ChoiceIndicesAreClampedWhereTheyIndexTables) {
    TableReader r;
    r.set("fastPreview", 0);
    r.set("detectionScale", -3);
    EXPECT_EQ(sample(r).detectionScale, 1);
    r.set("detectionScale", 9);
    EXPECT_EQ(sample(r).detectionScale, 8);
    r.set("labelTextMode", 9);
    EXPECT_EQ(sample(r).labelTextMode, ormel::LabelText::FullTracking);
    r.set("labelTextMode", -1);
    EXPECT_EQ(sample(r).labelTextMode, ormel::LabelText::IdAndCoordinates);
    r.set("renderEngine", 5);
    EXPECT_EQ(sample(r).renderEngine, ormel::RenderEngine::Gpu);
    r.set("renderEngine", 0);
    EXPECT_EQ(sample(r).renderEngine, ormel::RenderEngine::Processor);
    // Out-of-range options elsewhere pass through as read.
    r.set("pointShape", 7);
    EXPECT_EQ(sample(r).pointShape, static_cast<ormel::PointShape>(7));
}

TEST(SettingsSampling, FrameNumberRoundsHalvesAwayFromZero) {
    TableReader r;
    EXPECT_EQ(sample(r, 41.5).frameNumber, 42);
    EXPECT_EQ(sample(r, -2.5).frameNumber, -3);
    EXPECT_EQ(sample(r, 7.49).frameNumber, 7);
}

TEST(SettingsSampling, ColoursAreFloatWithOpaqueAlpha) {
    TableReader r;
    r.setRgb("targetColor", 0.2, 0.4, 0.6);
    r.setRgb("labelColor", 2.0, -1.0, 0.5);
    const ormel::Settings s = sample(r);
    EXPECT_EQ(s.targetColor.r, 0.2f);
    EXPECT_EQ(s.targetColor.g, 0.4f);
    EXPECT_EQ(s.targetColor.b, 0.6f);
    EXPECT_EQ(s.targetColor.a, 1.0f);
    EXPECT_EQ(s.labelColor.r, 2.0f);  // passed on as read
    EXPECT_EQ(s.labelColor.g, -1.0f);
    for (const ormel::Pixel& c : {s.pointColor, s.boxColor, s.boxTextColor, s.lineColor,
                                  s.trailColor, s.labelColor, s.pixelSortColor})
        EXPECT_EQ(c.a, 1.0f);
}

TEST(SettingsSampling, CatalogueDefaultsGiveTheDocumentedRecord) {
    const ormel::Settings s = sample(TableReader(), 3.0);
    // Fast preview is on by default.
    EXPECT_EQ(s.detectionScale, 8);
    EXPECT_EQ(s.maxObjects, 48);
    EXPECT_EQ(s.temporalFrames, 0);
    EXPECT_FALSE(s.drawTrails);
    EXPECT_EQ(s.hudScale, 2.0f);
    EXPECT_EQ(s.pointSize, 14.0f);
    EXPECT_EQ(s.boxTextScale, 4);
    EXPECT_EQ(s.labelOffsetY, -36);
    EXPECT_EQ(s.labelScale, 4);
    EXPECT_EQ(s.hueTolerance, 0.06f);
    EXPECT_EQ(s.seed, 1337);
    EXPECT_EQ(s.connectionMode, ormel::ConnectionMode::Mst);
    EXPECT_EQ(s.lineCurveMode, ormel::LineCurve::Arc);
    EXPECT_EQ(s.lineMotif, ormel::LineMotif::Arrow);
    EXPECT_EQ(s.renderEngine, ormel::RenderEngine::Gpu);
    EXPECT_EQ(s.frameNumber, 3);
}

}  // namespace
