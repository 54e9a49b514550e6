// Pixel-format conversions of the host's image storage.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "host/image_buffer.h"

namespace {

using namespace ofxhost;

TEST(HalfFloat, ConvertsExactValuesAndRoundsTheRest) {
    EXPECT_EQ(floatToHalf(1.0f), 0x3c00);
    EXPECT_EQ(floatToHalf(-2.0f), 0xc000);
    EXPECT_EQ(floatToHalf(65504.0f), 0x7bff);
    EXPECT_EQ(floatToHalf(70000.0f), 0x7c00);
    EXPECT_EQ(floatToHalf(std::ldexp(1.0f, -24)), 0x0001);
    EXPECT_EQ(floatToHalf(0.0f), 0x0000);
    EXPECT_TRUE(std::isnan(halfToFloat(floatToHalf(NAN))));
    for (float v : {0.1f, 0.333f, 1.5f, 1000.25f, -0.0078125f, 6.0e-5f}) {
        const float back = halfToFloat(floatToHalf(v));
        EXPECT_NEAR(back, v, std::fabs(v) / 1024.0f + 1e-7f) << v;
    }
    // Every half survives a round trip through float.
    for (uint32_t h = 0; h < 0x7c00; ++h) EXPECT_EQ(floatToHalf(halfToFloat(static_cast<uint16_t>(h))), h);
}

// The conversion as first written with the maths library, kept as the reference
// the bit-level one must match exactly.
uint16_t referenceFloatToHalf(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    const uint16_t sign = static_cast<uint16_t>((bits >> 16) & 0x8000u);
    if (std::isnan(f)) return static_cast<uint16_t>(sign | 0x7e00u);
    const float a = std::fabs(f);
    if (a >= 65520.0f) return static_cast<uint16_t>(sign | 0x7c00u);
    if (a < std::ldexp(1.0f, -25)) return sign;
    int e;
    std::frexp(a, &e);
    if (e < -13) return static_cast<uint16_t>(sign | static_cast<uint16_t>(std::lrint(std::ldexp(a, 24))));
    long m = std::lrint(std::ldexp(a, 11 - e));
    int he = e - 1 + 15;
    if (m == 2048) {
        m = 1024;
        ++he;
    }
    if (he >= 31) return static_cast<uint16_t>(sign | 0x7c00u);
    return static_cast<uint16_t>(sign | (he << 10) | (m & 0x3ff));
}

TEST(HalfFloat, BitLevelRoundingMatchesTheReferenceEverywhereItCanDiffer) {
    auto check = [](float v) {
        ASSERT_EQ(floatToHalf(v), referenceFloatToHalf(v)) << v;
        ASSERT_EQ(floatToHalf(-v), referenceFloatToHalf(-v)) << -v;
    };
    // Every half, the midpoints between neighbours (ties) and one float step either side.
    for (uint32_t h = 0; h < 0x7c00; ++h) {
        const float lo = halfToFloat(static_cast<uint16_t>(h));
        const float hi = halfToFloat(static_cast<uint16_t>(h + 1));
        const float mid = lo + (hi - lo) * 0.5f;
        for (float v : {lo, mid, std::nextafter(mid, 0.0f), std::nextafter(mid, INFINITY)}) check(v);
    }
    // Every exponent with a spread of mantissas, float subnormals, the edges.
    for (uint32_t bits = 0; bits < 0x7f800000u; bits += 0x1357u) {
        float v;
        std::memcpy(&v, &bits, 4);
        check(v);
    }
    for (float v : {0.0f, 65519.99f, 65520.0f, 65504.0f, std::ldexp(1.0f, -25), std::ldexp(1.0f, -14),
                    std::nextafter(std::ldexp(1.0f, -14), 0.0f), 1e-45f, INFINITY, 3.0e38f})
        check(v);
    EXPECT_EQ(floatToHalf(NAN) & 0x7fffu, 0x7e00u);
}

TEST(ImageBufferRoundTrip, EveryDepthAndComponentLayout) {
    FloatImage frame(3, 2);
    for (size_t i = 0; i < frame.rgba.size(); ++i) frame.rgba[i] = static_cast<float>(i % 5) / 4.0f;
    for (BitDepth d : {BitDepth::Byte, BitDepth::Short, BitDepth::Half, BitDepth::Float})
        for (RowOrder order : {RowOrder::TopFirst, RowOrder::BottomFirst}) {
            ImageLayout l;
            l.depth = d;
            l.rowOrder = order;
            l.rowPadding = 3;
            ImageBuffer b = makeSourceBuffer(frame, l);
            EXPECT_EQ(b.rowBytes < 0, order == RowOrder::TopFirst);
            FloatImage back = readBuffer(b);
            ASSERT_EQ(back.rgba.size(), frame.rgba.size());
            for (size_t i = 0; i < frame.rgba.size(); ++i) EXPECT_NEAR(back.rgba[i], frame.rgba[i], 1.0 / 255) << i;
        }
    ImageLayout rgb;
    rgb.components = Components::RGB;
    FloatImage back = readBuffer(makeSourceBuffer(frame, rgb));
    EXPECT_FLOAT_EQ(back.pixel(1, 1)[2], frame.pixel(1, 1)[2]);
    EXPECT_FLOAT_EQ(back.pixel(1, 1)[3], 1.0f);
    ImageLayout alpha;
    alpha.components = Components::Alpha;
    back = readBuffer(makeSourceBuffer(frame, alpha));
    EXPECT_FLOAT_EQ(back.pixel(2, 0)[3], frame.pixel(2, 0)[3]);
}

// OpenFX counts rows up from the bottom: the frame's top row must be the
// buffer's highest row (y2 - 1) whatever the storage order.
TEST(ImageBufferRowOrder, TheFramesTopRowIsTheHighestOpenFxRow) {
    FloatImage frame(2, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 2; ++x) frame.pixel(x, y)[0] = static_cast<float>(10 * y + x);
    for (RowOrder order : {RowOrder::TopFirst, RowOrder::BottomFirst}) {
        ImageLayout l;
        l.rowOrder = order;
        l.rowPadding = 8;
        l.originY = -4;
        const ImageBuffer b = makeSourceBuffer(frame, l);
        ASSERT_EQ(b.y2, -1);
        for (int y = b.y1; y < b.y2; ++y) {
            const float* px = reinterpret_cast<const float*>(b.data + static_cast<long>(y - b.y1) * b.rowBytes);
            EXPECT_EQ(px[0], static_cast<float>(10 * (b.y2 - 1 - y))) << y;
            EXPECT_EQ(px[4], static_cast<float>(10 * (b.y2 - 1 - y) + 1)) << y;
        }
    }
    // A lent frame and a plain output use the same addressing.
    auto shared = std::make_shared<const FloatImage>(frame);
    const ImageBuffer lent = shareSourceBuffer(shared, ImageLayout{});
    EXPECT_EQ(reinterpret_cast<const float*>(lent.data)[0], 20.0f);
    EXPECT_EQ(reinterpret_cast<const float*>(lent.data + 2 * lent.rowBytes)[0], 0.0f);
    ImageBuffer out = makeOutputBuffer(2, 3, ImageLayout{});
    reinterpret_cast<float*>(out.data)[0] = 7.0f;   // the bottom-left pixel
    EXPECT_EQ(readBuffer(out).pixel(0, 2)[0], 7.0f);
}

TEST(ImageBufferRoundTrip, ByteAndShortClampOutOfRangeAndNaN) {
    FloatImage frame(1, 1);
    frame.rgba = {NAN, -3.0f, 7.0f, INFINITY};
    ImageLayout l;
    l.depth = BitDepth::Byte;
    FloatImage back = readBuffer(makeSourceBuffer(frame, l));
    EXPECT_EQ(back.rgba, (std::vector<float>{0.0f, 0.0f, 1.0f, 1.0f}));
}

TEST(ImageBufferRoundTrip, EmptyAndAbsurdSizesGiveEmptyBounds) {
    ImageLayout l;
    l.extraWidth = -10;
    ImageBuffer b = makeOutputBuffer(4, 4, l);
    EXPECT_EQ(b.width(), 0);
    EXPECT_EQ(b.data, nullptr);
    EXPECT_TRUE(readBuffer(b).empty());
    EXPECT_TRUE(readBuffer(makeSourceBuffer(FloatImage(), ImageLayout{})).empty());
}

}  // namespace

namespace {

TEST(ImageBufferSharing, PlainFloatFramesAreLentOthersCopied) {
    auto frame = std::make_shared<ofxhost::FloatImage>(4, 3, 0.25f);
    ofxhost::ImageLayout plain;
    plain.originX = 5;
    ofxhost::ImageBuffer lent = ofxhost::shareSourceBuffer(frame, plain);
    EXPECT_EQ(lent.data, reinterpret_cast<uint8_t*>(frame->rgba.data()) + 2 * 4 * 16);
    EXPECT_EQ(lent.x1, 5);
    EXPECT_EQ(lent.rowBytes, -4 * 16);
    EXPECT_EQ(frame.use_count(), 2);   // the buffer keeps the frame alive
    ofxhost::ImageLayout padded;
    padded.rowPadding = 8;
    ofxhost::ImageBuffer copied = ofxhost::shareSourceBuffer(frame, padded);
    EXPECT_TRUE(copied.data < reinterpret_cast<uint8_t*>(frame->rgba.data()) ||
                copied.data >= reinterpret_cast<uint8_t*>(frame->rgba.data() + frame->rgba.size()));
    EXPECT_EQ(ofxhost::readBuffer(copied).rgba, frame->rgba);
    EXPECT_EQ(ofxhost::readBuffer(lent).rgba, frame->rgba);
}

}  // namespace

namespace {

TEST(OutputBuffers, PlainFloatIsAFrameMovedOutOnlyWhenNobodyElseHoldsIt) {
    ofxhost::ImageLayout plain;
    plain.originX = -3;
    plain.outputFill = 0.125f;
    auto b = std::make_shared<ofxhost::ImageBuffer>(ofxhost::makeOutputBuffer(5, 2, plain));
    ASSERT_TRUE(b->frame);
    EXPECT_EQ(b->data, reinterpret_cast<uint8_t*>(b->frame->rgba.data()) + 5 * 16);
    EXPECT_EQ(b->x1, -3);
    EXPECT_EQ(b->x2, 2);
    EXPECT_EQ(b->rowBytes, -5 * 16);
    for (float v : b->frame->rgba) ASSERT_EQ(v, 0.125f);
    b->frame->rgba[6] = 9.0f;

    // An image handle still holds the buffer: the result is a copy, the
    // holder's pixels stay where they were.
    auto holder = b;
    ofxhost::FloatImage copied = ofxhost::takeBuffer(b);
    EXPECT_EQ(copied.rgba, holder->frame->rgba);
    EXPECT_NE(copied.rgba.data(), holder->frame->rgba.data());
    holder.reset();

    const float* pixels = b->frame->rgba.data();
    ofxhost::FloatImage moved = ofxhost::takeBuffer(std::move(b));
    EXPECT_EQ(moved.rgba.data(), pixels);
    EXPECT_EQ(moved.width, 5);
    EXPECT_EQ(moved.height, 2);
    EXPECT_EQ(moved.rgba[6], 9.0f);
    EXPECT_TRUE(ofxhost::takeBuffer(nullptr).empty());
}

TEST(OutputBuffers, EveryLayoutStartsAsTheFillValue) {
    for (ofxhost::BitDepth d : {ofxhost::BitDepth::Byte, ofxhost::BitDepth::Short, ofxhost::BitDepth::Half,
                                ofxhost::BitDepth::Float}) {
        ofxhost::ImageLayout l;
        l.depth = d;
        l.components = ofxhost::Components::RGB;
        l.rowPadding = 12;
        l.rowOrder = ofxhost::RowOrder::BottomFirst;
        l.extraHeight = 1;
        l.outputFill = 0.5f;
        const ofxhost::ImageBuffer b = ofxhost::makeOutputBuffer(3, 2, l);
        EXPECT_FALSE(b.frame);
        const ofxhost::FloatImage back = ofxhost::readBuffer(b);
        ASSERT_EQ(back.height, 3);
        for (int y = 0; y < back.height; ++y)
            for (int x = 0; x < back.width; ++x)
                for (int c = 0; c < 3; ++c) EXPECT_NEAR(back.pixel(x, y)[c], 0.5f, 1e-2f) << x << "," << y;
    }
}

}  // namespace
