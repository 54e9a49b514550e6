// A render at a host's render scale (proxy or preview) looks like the full
// render made smaller: marks at the same places, strokes and text at the
// scaled size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "varnok_test_support.h"

namespace {

using ofxhost::FloatImage;
using varnok_test::plugin;
using varnok_test::TableReader;

constexpr int kW = 256;
constexpr int kH = 192;
// Red squares on a dark ground, on even pixels so the half-size proxy is exact.
constexpr int kSquares[3][3] = {{40, 40, 16}, {120, 100, 24}, {196, 56, 12}};

FloatImage squares() {
    FloatImage img(kW, kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            float* p = img.pixel(x, y);
            p[0] = 0.06f, p[1] = 0.07f, p[2] = 0.09f, p[3] = 1.0f;
        }
    for (const auto& sq : kSquares)
        for (int y = sq[1]; y < sq[1] + sq[2]; ++y)
            for (int x = sq[0]; x < sq[0] + sq[2]; ++x) {
                float* p = img.pixel(x, y);
                p[0] = 0.95f, p[1] = 0.04f, p[2] = 0.03f;
            }
    return img;
}

struct Box {
    double x1 = 1e9, y1 = 1e9, x2 = -1e9, y2 = -1e9, cx = 0, cy = 0;
};

// The extent and the centre of what is drawn near square `i`, in pixels of
// the full frame (proxy pixels divided by the scale).
Box markAround(const FloatImage& out, int i, double scale) {
    const auto& sq = kSquares[i];
    const int margin = 28;
    Box b;
    double weight = 0;
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            const double fx = (x + 0.5) / scale, fy = (y + 0.5) / scale;
            if (fx < sq[0] - margin || fx > sq[0] + sq[2] + margin || fy < sq[1] - margin ||
                fy > sq[1] + sq[2] + margin)
                continue;
            const float a = out.pixel(x, y)[3];
            if (a <= 0.3f) continue;
            b.x1 = std::min(b.x1, x / scale), b.y1 = std::min(b.y1, y / scale);
            b.x2 = std::max(b.x2, (x + 1) / scale), b.y2 = std::max(b.y2, (y + 1) / scale);
            b.cx += a * fx, b.cy += a * fy, weight += a;
        }
    if (weight > 0) b.cx /= weight, b.cy /= weight;
    return b;
}

std::unique_ptr<ofxhost::Instance> overlayOnly(const char* layer, int detectionScale) {
    auto inst = plugin().createInstance(ofxhost::kContextFilter);
    if (!inst) return inst;
    for (const char* off : {"drawPoints", "drawBoxes", "drawLines", "drawTrails", "drawLabels", "fastPreview"})
        inst->setValue(off, ofxhost::ParamValue::number(0));
    inst->setValue(layer, ofxhost::ParamValue::number(1));
    inst->setValue("outputMode", ofxhost::ParamValue::number(1));   // the overlay alone, on transparent black
    inst->setValue("glowAmount", ofxhost::ParamValue::number(0));
    inst->setValue("detectionScale", ofxhost::ParamValue::number(detectionScale));
    inst->setFrameProvider("Source", [](double, FloatImage& out) {
        out = squares();
        return true;
    });
    return inst;
}

// At scale 0.5 (and 0.25 for the finest detection) every box and point lies
// within 2 proxy pixels of half its full-scale place, and its size follows.
TEST(RenderScale, BoxesAndPointsLandWhereTheFullRenderPutsThem) {
    for (const char* layer : {"drawBoxes", "drawPoints"})
        for (int detection = 0; detection < 4; ++detection) {
            auto inst = overlayOnly(layer, detection);
            ASSERT_TRUE(inst);
            const auto full = inst->render(1);
            ASSERT_EQ(full.status, ofxhost::kStatusOK);
            for (double scale : {0.5, 0.25}) {
                if (scale == 0.25 && detection > 0) continue;
                inst->setRenderScale(scale);
                const auto proxy = inst->render(1);
                inst->setRenderScale(1.0);
                ASSERT_EQ(proxy.status, ofxhost::kStatusOK);
                ASSERT_EQ(proxy.output.width, static_cast<int>(kW * scale));
                const double tolerance = 2.0 / scale;   // two proxy pixels, in full-frame pixels
                for (int i = 0; i < 3; ++i) {
                    const Box f = markAround(full.output, i, 1.0), p = markAround(proxy.output, i, scale);
                    const std::string what = std::string(layer) + ", detection " + std::to_string(detection) +
                                             ", scale " + std::to_string(scale) + ", square " + std::to_string(i);
                    ASSERT_LT(f.x1, f.x2) << what << ": nothing drawn at full scale";
                    ASSERT_LT(p.x1, p.x2) << what << ": nothing drawn in the proxy";
                    EXPECT_NEAR(p.x1, f.x1, tolerance) << what;
                    EXPECT_NEAR(p.y1, f.y1, tolerance) << what;
                    EXPECT_NEAR(p.x2, f.x2, tolerance) << what;
                    EXPECT_NEAR(p.y2, f.y2, tolerance) << what;
                    EXPECT_NEAR(p.cx, f.cx, tolerance) << what;
                    EXPECT_NEAR(p.cy, f.cy, tolerance) << what;
                }
            }
        }
}

// Settings in pixels follow the scale; text takes the nearest size the
// bitmap font draws; at scale 1 nothing changes.
TEST(RenderScale, PixelSizedSettingsFollowTheScale) {
    TableReader r;
    r.set("hudScale", 2);
    r.set("fastPreview", 0);
    r.set("detectionScale", 2);   // factor 4
    const ormel::Settings full = ormel::sampleSettings(r, 0), half = ormel::sampleSettings(r, 0, 0.5),
                          quarter = ormel::sampleSettings(r, 0, 0.25);
    EXPECT_EQ(half.pointSize, full.pointSize * 0.5f);
    EXPECT_EQ(half.lineWidth, full.lineWidth * 0.5f);
    EXPECT_EQ(half.trackingDistance, full.trackingDistance * 0.5f);
    EXPECT_EQ(half.maxConnectionDistance, full.maxConnectionDistance * 0.5f);
    EXPECT_EQ(half.labelScale, full.labelScale / 2);           // 4 -> 2
    EXPECT_EQ(quarter.labelScale, 1);                          // 4 -> 1
    EXPECT_EQ(half.labelOffsetY, full.labelOffsetY / 2);       // -36 -> -18
    EXPECT_EQ(half.minBlobArea, 3);                            // 12 px at a quarter of the area
    EXPECT_EQ(half.detectionScale, full.detectionScale / 2);  // the same grain of the frame
    EXPECT_EQ(half.pixelSortLength, full.pixelSortLength / 2);
    const ormel::Settings same = ormel::sampleSettings(r, 0, 1.0);
    EXPECT_EQ(same.pointSize, full.pointSize);
    EXPECT_EQ(same.minBlobArea, full.minBlobArea);
    EXPECT_EQ(same.labelScale, full.labelScale);
}

}  // namespace
