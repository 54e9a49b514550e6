// The host negotiates with plug-ins as conformant hosts do: clip
// preferences decide the depth each image is handed in, the region of
// definition bounds the render window, and rows count up from the bottom.
#include <gtest/gtest.h>

#include <string>

#include "host/ofx_host.h"

namespace {

using ofxhost::FloatImage;
using ofxhost::ImageLayout;
using ofxhost::RowOrder;

std::unique_ptr<ofxhost::Plugin> load(const char* bundle) {
    std::string err;
    auto p = ofxhost::Plugin::load(bundle, "", &err);
    EXPECT_TRUE(p) << err;
    return p;
}

// Every channel an exact multiple of 1/255, so 8-bit round trips are exact.
FloatImage byteExactFrame(int w, int h) {
    FloatImage img(w, h);
    for (size_t i = 0; i < img.rgba.size(); ++i) img.rgba[i] = static_cast<float>((i * 37) % 256) / 255.0f;
    return img;
}

TEST(ClipPreferences, AnEightBitOnlyPlugInGetsEightBitImagesWhateverTheFootage) {
    auto plugin = load(BYTE_INVERT_BUNDLE);
    ASSERT_TRUE(plugin);
    const FloatImage frame = byteExactFrame(5, 3);
    for (ofxhost::BitDepth footage : {ofxhost::BitDepth::Float, ofxhost::BitDepth::Half, ofxhost::BitDepth::Short})
        for (RowOrder order : {RowOrder::TopFirst, RowOrder::BottomFirst}) {
            auto inst = plugin->createInstance(ofxhost::kContextFilter);
            ASSERT_TRUE(inst);
            ImageLayout l;
            l.depth = footage;
            l.rowOrder = order;
            inst->setClipLayout("Source", l);
            inst->setClipLayout("Output", l);
            inst->setFrameProvider("Source", [&](double, FloatImage& out) {
                out = frame;
                return true;
            });
            const auto r = inst->render(0);
            ASSERT_EQ(r.status, ofxhost::kStatusOK) << ofxhost::statusName(r.status);
            EXPECT_EQ(inst->clipDepth("Source"), "OfxBitDepthByte");
            EXPECT_EQ(inst->clipDepth("Output"), "OfxBitDepthByte");
            ASSERT_EQ(r.output.rgba.size(), frame.rgba.size());
            for (size_t i = 0; i < frame.rgba.size(); ++i) {
                const float want = i % 4 == 3 ? frame.rgba[i] : 1.0f - frame.rgba[i];
                ASSERT_NEAR(r.output.rgba[i], want, 1e-6f) << i;
            }
        }
}

TEST(ClipPreferences, AnImposedFormatReachesThePlugInAsIs) {
    auto plugin = load(BYTE_INVERT_BUNDLE);
    ASSERT_TRUE(plugin);
    auto inst = plugin->createInstance(ofxhost::kContextFilter);
    ASSERT_TRUE(inst);
    ImageLayout l;
    l.imposeFormat = true;   // float, which the plug-in never declared
    inst->setClipLayout("Source", l);
    inst->setClipLayout("Output", l);
    inst->setFrameProvider("Source", [](double, FloatImage& out) {
        out = byteExactFrame(2, 2);
        return true;
    });
    EXPECT_EQ(inst->clipDepth("Source"), "OfxBitDepthFloat");
    EXPECT_EQ(inst->render(0).status, ofxhost::kStatusErrUnsupported);
}

// A mark the plug-in paints at canonical rows 0 and 1 is the bottom of the
// picture: the last two rows of the top-down result, for either storage.
TEST(CanonicalRows, ThePlugInsLowestRowsAreTheBottomOfThePicture) {
    auto plugin = load(CORNER_MARK_BUNDLE);
    ASSERT_TRUE(plugin);
    const int w = 6, h = 5;
    for (RowOrder order : {RowOrder::TopFirst, RowOrder::BottomFirst}) {
        auto inst = plugin->createInstance(ofxhost::kContextFilter);
        ASSERT_TRUE(inst);
        ImageLayout l;
        l.rowOrder = order;
        l.rowPadding = order == RowOrder::BottomFirst ? 16 : 0;
        inst->setClipLayout("Source", l);
        inst->setClipLayout("Output", l);
        inst->setFrameProvider("Source", [&](double, FloatImage& out) {
            out = FloatImage(w, h, 0.25f);
            return true;
        });
        const auto r = inst->render(0);
        ASSERT_EQ(r.status, ofxhost::kStatusOK);
        EXPECT_EQ(r.renderWindow, (std::vector<int>{0, 0, w, h}));
        EXPECT_EQ(r.regionOfDefinition, (std::vector<double>{0, 0, w, h}));
        EXPECT_EQ(r.regionsOfInterest.at("Source"), (std::vector<double>{0, 0, w, h}));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const bool mark = (x == 1 || x == 2) && y >= h - 2;
                EXPECT_EQ(r.output.pixel(x, y)[0], mark ? 1.0f : 0.25f) << x << "," << y;
                EXPECT_EQ(r.output.pixel(x, y)[1], mark ? 0.0f : 0.25f) << x << "," << y;
            }
    }
}

// In a proxy mode the plug-in gets images made smaller by the render scale,
// renders an output of that size, and regions stay in canonical coordinates.
TEST(RenderScaleNegotiation, ProxyImagesAreSmallerAndRegionsStayCanonical) {
    auto plugin = load(CORNER_MARK_BUNDLE);
    ASSERT_TRUE(plugin);
    auto inst = plugin->createInstance(ofxhost::kContextFilter);
    ASSERT_TRUE(inst);
    inst->setFrameProvider("Source", [](double, FloatImage& out) {
        out = FloatImage(8, 6, 0.25f);
        return true;
    });
    struct Case {
        double scale;
        int w, h;
    };
    for (const Case& c : {Case{1.0, 8, 6}, Case{0.5, 4, 3}, Case{0.25, 2, 2}}) {
        inst->setRenderScale(c.scale);
        const auto r = inst->render(0);
        ASSERT_EQ(r.status, ofxhost::kStatusOK) << c.scale;
        EXPECT_EQ(r.output.width, c.w) << c.scale;
        EXPECT_EQ(r.output.height, c.h) << c.scale;
        EXPECT_EQ(r.renderWindow, (std::vector<int>{0, 0, c.w, c.h})) << c.scale;
        EXPECT_EQ(r.regionOfDefinition, (std::vector<double>{0, 0, c.w / c.scale, c.h / c.scale})) << c.scale;
        EXPECT_EQ(r.regionsOfInterest.at("Source"), r.regionOfDefinition) << c.scale;
    }
}

}  // namespace
