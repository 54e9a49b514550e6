#include "plugin/image_transfer.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

namespace {

using ormel::HostImageAccess;
using ormel::Image;
using ormel::Pixel;

// A host buffer of w x h float RGBA pixels with `pad` spare bytes per row;
// pixel (x, y) holds (x, y, x + y, 1).
struct HostBuffer {
    int w, h, stride;
    std::vector<unsigned char> bytes;
    HostBuffer(int w_, int h_, int pad) : w(w_), h(h_), stride(w_ * 16 + pad), bytes(stride * h_, 0xAB) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const float c[4] = {float(x), float(y), float(x + y), 1.0f};
                std::memcpy(&bytes[y * stride + x * 16], c, 16);
            }
    }
    float* at(int x, int y) { return reinterpret_cast<float*>(&bytes[y * stride + x * 16]); }
    HostImageAccess access(int x1, int y1) {
        HostImageAccess a;
        a.data = bytes.data();
        a.x1 = x1;
        a.y1 = y1;
        a.x2 = x1 + w;
        a.y2 = y1 + h;
        a.rowBytes = stride;
        a.floatRgba = true;
        return a;
    }
};

TEST(ImageTransfer, ReadsPaddedRowsWithoutFlipping) {
    HostBuffer host(5, 3, 24);
    const Image img = ormel::readHostImage(host.access(-2, 7));
    ASSERT_EQ(img.width, 5);
    ASSERT_EQ(img.height, 3);
    ASSERT_EQ(img.pixels.size(), 15u);
    EXPECT_EQ(img.at(4, 2).r, 4.0f);
    EXPECT_EQ(img.at(4, 2).g, 2.0f);
    EXPECT_EQ(img.at(1, 0).b, 1.0f);
    EXPECT_EQ(img.at(0, 1).a, 1.0f);
}

TEST(ImageTransfer, AddressFallbackAndPixelsWithoutAddress) {
    HostBuffer host(4, 2, 0);
    HostImageAccess a = host.access(10, 20);
    a.rowBytes = 0;
    a.pixelAddress = [&](int x, int y) -> void* {
        if (x == 12 && y == 21) return nullptr;
        return host.at(x - 10, y - 20);
    };
    const Image img = ormel::readHostImage(a);
    ASSERT_EQ(img.width, 4);
    EXPECT_EQ(img.at(3, 1).r, 3.0f);
    const Pixel hole = img.at(2, 1);
    EXPECT_EQ(hole.r, 0.0f);
    EXPECT_EQ(hole.a, 0.0f);
    a.pixelAddress = nullptr;
    EXPECT_EQ(ormel::readHostImage(a).at(0, 0).a, 0.0f);
}

TEST(ImageTransfer, UnusableImagesReadAsEmpty) {
    HostBuffer host(4, 2, 0);
    HostImageAccess a = host.access(0, 0);
    a.floatRgba = false;
    EXPECT_TRUE(ormel::readHostImage(a).empty());
    a = host.access(0, 0);
    a.x2 = a.x1;
    EXPECT_TRUE(ormel::readHostImage(a).empty());
    a = host.access(0, 0);
    a.x1 = INT_MIN;
    a.x2 = INT_MAX;  // a width no int can hold
    a.data = nullptr;
    EXPECT_TRUE(ormel::readHostImage(a).empty());
}

TEST(ImageTransfer, WritesOnlyTheOverlap) {
    HostBuffer host(3, 2, 8);
    Image img(5, 1, Pixel{9, 8, 7, 6});
    ormel::writeHostImage(img, host.access(4, 4));
    for (int x = 0; x < 3; ++x) {
        EXPECT_EQ(host.at(x, 0)[0], 9.0f);
        EXPECT_EQ(host.at(x, 0)[3], 6.0f);
        EXPECT_EQ(host.at(x, 1)[0], float(x));  // beyond the image's one row
    }
    EXPECT_EQ(host.bytes[3 * 16], 0xAB);  // row padding untouched
}

TEST(ImageTransfer, WriteRefusesUnknownLayoutsAndInconsistentImages) {
    HostBuffer host(2, 2, 0);
    HostImageAccess a = host.access(0, 0);
    a.floatRgba = false;
    ormel::writeHostImage(Image(2, 2, Pixel{5, 5, 5, 5}), a);
    EXPECT_EQ(host.at(1, 1)[0], 1.0f);
    Image broken(2, 2);
    broken.pixels.resize(1);
    ormel::writeHostImage(broken, host.access(0, 0));
    EXPECT_EQ(host.at(1, 1)[0], 1.0f);
}

TEST(ImageTransfer, NegativeStrideGoesThroughAddresses) {
    HostBuffer host(2, 2, 0);
    HostImageAccess a = host.access(0, 0);
    a.rowBytes = -a.rowBytes;
    int calls = 0;
    a.pixelAddress = [&](int x, int y) -> void* {
        ++calls;
        return host.at(x, y);
    };
    ormel::writeHostImage(Image(2, 2, Pixel{3, 3, 3, 3}), a);
    EXPECT_EQ(calls, 4);
    EXPECT_EQ(host.at(1, 1)[2], 3.0f);
}

}  // namespace
