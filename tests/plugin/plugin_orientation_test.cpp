// Text, labels, captions and reading order are upright on screen in a host
// that stores OpenFX images bottom-up, and identical whichever way the host
// lays its rows out. Results are read top-down, as the host library returns
// them (its own tests pin that mapping to OpenFX rows).
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "varnok_test_support.h"

namespace {

using ofxhost::FloatImage;
using ofxhost::ImageLayout;
using ofxhost::RowOrder;
using varnok_test::plugin;

constexpr int kW = 120;
constexpr int kH = 80;

struct Square {
    int x, y;  // top-left, rows counted from the top of the picture
};

// Dark field with red 8 x 8 squares.
FloatImage squaresFrame(const std::vector<Square>& squares) {
    FloatImage img(kW, kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            float* p = img.pixel(x, y);
            p[0] = p[1] = 0.05f;
            p[2] = 0.08f;
            p[3] = 1.0f;
        }
    for (const Square& s : squares)
        for (int y = s.y; y < s.y + 8; ++y)
            for (int x = s.x; x < s.x + 8; ++x) {
                float* p = img.pixel(x, y);
                p[0] = 0.95f;
                p[1] = 0.05f;
                p[2] = 0.04f;
            }
    return img;
}

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

bool isBlue(const float* p) { return p[2] > 0.5f && p[0] < 0.2f && p[1] < 0.2f; }
bool isGreen(const float* p) { return p[1] > 0.5f && p[0] < 0.2f && p[2] < 0.2f; }

// The 3 x 5 cells of the character whose top-left corner is (x, y) at scale
// s, read at each cell's centre, as rows of three bits like the font table.
std::array<int, 5> glyphAt(const FloatImage& img, int x, int y, int s, bool (*on)(const float*)) {
    std::array<int, 5> rows{};
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 3; ++c) {
            const int px = x + c * s + s / 2, py = y + r * s + s / 2;
            const bool lit = px >= 0 && py >= 0 && px < img.width && py < img.height && on(img.pixel(px, py));
            rows[r] = rows[r] << 1 | (lit ? 1 : 0);
        }
    return rows;
}

const std::array<int, 5> kI = {0b111, 0b010, 0b010, 0b010, 0b111};
const std::array<int, 5> kD = {0b110, 0b101, 0b101, 0b101, 0b110};
const std::array<int, 5> kUnderscore = {0, 0, 0, 0, 0b111};
const std::array<int, 5> kOne = {0b010, 0b110, 0b010, 0b010, 0b111};
const std::array<int, 5> kTwo = {0b111, 0b001, 0b111, 0b100, 0b111};

// A label reads "ID_<digit>" upright with its top-left corner at (x, y).
void expectLabel(const FloatImage& img, int x, int y, const std::array<int, 5>& digit, bool (*on)(const float*)) {
    EXPECT_EQ(glyphAt(img, x, y, 2, on), kI) << "at " << x << "," << y;
    EXPECT_EQ(glyphAt(img, x + 8, y, 2, on), kD);
    EXPECT_EQ(glyphAt(img, x + 16, y, 2, on), kUnderscore);
    EXPECT_EQ(glyphAt(img, x + 24, y, 2, on), digit);
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
