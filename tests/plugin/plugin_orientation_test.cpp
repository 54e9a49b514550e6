// Text, labels, captions and reading order are upright on screen in a host
// that stores OpenFX images bottom-up, and identical whichever way the host
// lays its rows out. Results are read top-down, as the host library returns
// them (its own tests pin that mapping to OpenFX rows).
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/upright_text.h"
#include "varnok_test_support.h"

namespace {

using ofxhost::FloatImage;
using ofxhost::ImageLayout;
using ofxhost::RowOrder;
using namespace upright_text;
using varnok_test::plugin;

// Only the labels (blue, scale 2) and, when asked, box captions (green) are
// drawn; detection at full resolution on the bare key, so positions are exact.
std::unique_ptr<ofxhost::Instance> labelsOnly(const std::vector<Square>& squares) {
    auto inst = plugin().createInstance(ofxhost::kContextFilter);
    if (!inst) return inst;
    auto set = [&](const char* name, double v) {
        EXPECT_TRUE(inst->setValue(name, ofxhost::ParamValue::number(v))) << name;
    };
    for (const char* off : {"drawPoints", "drawLines", "drawTrails", "drawBoxes", "fastPreview", "labelCoordinates",
                            "labelVelocity", "glowAmount", "scanline", "noise", "vignette", "chromaticAberration",
                            "glitchAmount", "vhsFlicker", "lensDistortion", "fisheye", "radialBlur", "asciiAmount",
                            "blurRadius", "erodeIterations", "dilateIterations"})
        set(off, 0);
    set("detectionScale", 0);
    set("hudScale", 1);
    set("labelScale", 2);
    set("labelTextMode", 0);
    EXPECT_TRUE(inst->setValue("labelColor", ofxhost::ParamValue::numbers3(0, 0, 1)));
    EXPECT_TRUE(inst->setValue("boxColor", ofxhost::ParamValue::numbers3(0.05, 0.05, 0.08)));
    EXPECT_TRUE(inst->setValue("boxTextColor", ofxhost::ParamValue::numbers3(0, 1, 0)));
    const FloatImage frame = squaresFrame(squares);
    inst->setFrameProvider("Source", [frame](double, FloatImage& out) {
        out = frame;
        return true;
    });
    return inst;
}

// The label sits at the object's centre plus the offsets (8, -18): above and
// to the right of it on screen. Regions are numbered in reading order, so
// the upper square is 1 even though the lower one lies further left.
TEST(UprightOutput, LabelsReadUprightAboveTheirObjectsInReadingOrder) {
    auto inst = labelsOnly({{70, 30}, {20, 60}});
    ASSERT_TRUE(inst);
    for (RowOrder order : {RowOrder::BottomFirst, RowOrder::TopFirst}) {
        ImageLayout l;
        l.rowOrder = order;
        inst->setClipLayout("Source", l);
        inst->setClipLayout("Output", l);
        const auto r = inst->render(0);
        ASSERT_EQ(r.status, ofxhost::kStatusOK);
        expectLabel(r.output, 74 + 8, 34 - 18, kOne, isBlue);
        expectLabel(r.output, 24 + 8, 64 - 18, kTwo, isBlue);
    }
}

// "Haut gauche" puts the caption left of the box with its top on the box's
// top edge, as the user sees it.
TEST(UprightOutput, TopLeftCaptionIsBesideTheBoxTop) {
    auto inst = labelsOnly({{70, 30}});
    ASSERT_TRUE(inst);
    for (const char* name : {"drawBoxes", "drawBoxText"})
        ASSERT_TRUE(inst->setValue(name, ofxhost::ParamValue::number(1)));
    for (const char* name : {"drawLabels", "boxTextCoordinates", "randomBoxTextSize", "boxTextCorner"})
        ASSERT_TRUE(inst->setValue(name, ofxhost::ParamValue::number(0)));
    ASSERT_TRUE(inst->setValue("boxTextScale", ofxhost::ParamValue::number(2)));
    ASSERT_TRUE(inst->setValue("boxTextOffset", ofxhost::ParamValue::number(4)));
    ImageLayout l;
    l.rowOrder = RowOrder::BottomFirst;
    inst->setClipLayout("Source", l);
    inst->setClipLayout("Output", l);
    const auto r = inst->render(0);
    ASSERT_EQ(r.status, ofxhost::kStatusOK);
    // "ID_1" is 4 characters of 4 * 2 pixels: x = 70 - 4 - 32, y = 30.
    expectLabel(r.output, 34, 30, kOne, isGreen);
}

// Hosts store rows either way and pad them; the picture is the same bits.
TEST(UprightOutput, EveryRowLayoutGivesTheSamePicture) {
    auto inst = labelsOnly({{70, 30}, {20, 60}});
    ASSERT_TRUE(inst);
    for (const char* on : {"drawPoints", "drawBoxes", "drawLines", "drawBoxText"})
        ASSERT_TRUE(inst->setValue(on, ofxhost::ParamValue::number(1)));
    ASSERT_TRUE(inst->setValue("asciiAmount", ofxhost::ParamValue::number(0.5)));
    ASSERT_TRUE(inst->setValue("scanline", ofxhost::ParamValue::number(0.5)));
    const auto reference = inst->render(0);
    ASSERT_EQ(reference.status, ofxhost::kStatusOK);
    for (int variant = 0; variant < 4; ++variant) {
        ImageLayout src, dst;
        src.rowOrder = variant & 1 ? RowOrder::BottomFirst : RowOrder::TopFirst;
        dst.rowOrder = variant & 2 ? RowOrder::BottomFirst : RowOrder::TopFirst;
        src.rowPadding = variant == 3 ? 48 : 0;
        dst.originY = variant == 3 ? -7 : 0;
        inst->setClipLayout("Source", src);
        inst->setClipLayout("Output", dst);
        const auto r = inst->render(0);
        ASSERT_EQ(r.status, ofxhost::kStatusOK);
        ASSERT_EQ(r.output.rgba.size(), reference.output.rgba.size());
        EXPECT_EQ(std::memcmp(r.output.rgba.data(), reference.output.rgba.data(), r.output.rgba.size() * 4), 0)
            << variant;
    }
}

}  // namespace
