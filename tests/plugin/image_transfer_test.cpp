#include "plugin/image_transfer.h"
#include "plugin/image_transfer_bands.h"

#include "engine/reduction.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <vector>

namespace {

using ormel::HostImageAccess;
using ormel::Image;
using ormel::Pixel;

// A host buffer of w x h float RGBA pixels with `pad` spare bytes per row;
// host pixel (x, y), counted from the bottom-left, holds (x, y, x + y, 1).
// With `topFirst` the memory holds the top row first and the stride is
// negative, as a host lending a top-down decoded frame does.
struct HostBuffer {
    int w, h, stride;
    bool topFirst;
    std::vector<unsigned char> bytes;
    HostBuffer(int w_, int h_, int pad, bool topFirst_ = false)
        : w(w_), h(h_), stride(w_ * 16 + pad), topFirst(topFirst_), bytes(stride * h_, 0xAB) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const float c[4] = {float(x), float(y), float(x + y), 1.0f};
                std::memcpy(at(x, y), c, 16);
            }
    }
    size_t offset(int x, int y) const { return size_t((topFirst ? h - 1 - y : y) * stride + x * 16); }
    float* at(int x, int y) { return reinterpret_cast<float*>(&bytes[offset(x, y)]); }
    HostImageAccess access(int x1, int y1) {
        HostImageAccess a;
        a.data = &bytes[offset(0, 0)];
        a.x1 = x1;
        a.y1 = y1;
        a.x2 = x1 + w;
        a.y2 = y1 + h;
        a.rowBytes = topFirst ? -stride : stride;
        a.floatRgba = true;
        return a;
    }
};

// Engine row 0 is the host's top row (y2 - 1) whichever way the host stores
// its rows; a stride too short for a row falls back to the addresses.
TEST(ImageTransfer, ReadsTheHostsTopRowAsRowZero) {
    for (bool topFirst : {false, true}) {
        HostBuffer host(5, 3, 24, topFirst);
        const Image img = ormel::readHostImage(host.access(-2, 7));
        ASSERT_EQ(img.width, 5);
        ASSERT_EQ(img.height, 3);
        ASSERT_EQ(img.pixels.size(), 15u);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) {
                EXPECT_EQ(img.at(x, y).r, float(x)) << topFirst;
                EXPECT_EQ(img.at(x, y).g, float(2 - y)) << topFirst;
                EXPECT_EQ(img.at(x, y).a, 1.0f);
            }
    }
    HostBuffer host(4, 2, 0);
    HostImageAccess a = host.access(0, 0);
    a.rowBytes = 16;  // rows would overlap
    int calls = 0;
    a.pixelAddress = [&](int x, int y) -> void* {
        ++calls;
        return host.at(x, y);
    };
    const Image img = ormel::readHostImage(a);
    EXPECT_EQ(calls, 8);
    EXPECT_EQ(img.at(3, 0).g, 1.0f);
}

// Three bands run in reverse order, as host threads may finish them.
ormel::RowBands reversedBands() {
    ormel::RowBands bands;
    bands.bands = 3;
    bands.runJobs = [](int32_t count, const std::function<void(int32_t)>& job) {
        for (int32_t i = count - 1; i >= 0; --i) job(i);
    };
    return bands;
}

// The banded copies stream whole rows past the caches where a row starts on
// a 16-byte boundary and copy plainly elsewhere: every width (a tail after
// the last 64 bytes or none), padded strides that leave rows misaligned, and
// either row order give the plain routines' bytes, padding untouched; one
// band on the calling thread streams as well.
TEST(ImageTransfer, BandedRowCopiesEqualThePlainOnes) {
    for (const ormel::RowBands& bands : {reversedBands(), ormel::RowBands::single()})
    for (bool topFirst : {false, true})
        for (int pad : {0, 4, 8})
            for (int w : {1, 3, 4, 5, 17, 33}) {
                HostBuffer host(w, 7, pad, topFirst);
                const Image plain = ormel::readHostImage(host.access(2, 5));
                Image banded(3, 3, Pixel{7.0f, 7.0f, 7.0f, 7.0f});
                ormel::readHostImageInto(host.access(2, 5), banded, bands);
                ASSERT_EQ(banded.pixels.size(), plain.pixels.size());
                ASSERT_EQ(std::memcmp(banded.pixels.data(), plain.pixels.data(), plain.pixels.size() * 16), 0)
                    << w << " pad " << pad << " topFirst " << topFirst;

                Image image(w, 7);
                for (size_t i = 0; i < image.pixels.size(); ++i)
                    image.pixels[i] = Pixel{float(i), -float(i), 0.5f, 1.0f};
                HostBuffer viaPlain(w, 7, pad, topFirst), viaBands(w, 7, pad, topFirst);
                ormel::writeHostImage(image, viaPlain.access(2, 5));
                ormel::writeHostImage(image, viaBands.access(2, 5), bands);
                EXPECT_EQ(viaBands.bytes, viaPlain.bytes) << w << " pad " << pad << " topFirst " << topFirst;
            }
}

// Reducing straight from host memory takes exactly the pixels the engine's
// own reduction of the full copy would, whatever the stride, path or bands;
// the banded read leaves nothing of what its target held before.
TEST(ImageTransfer, ReducedReadEqualsReducingTheFullRead) {
    const ormel::RowBands bands = reversedBands();
    Image reused(40, 20, Pixel{9.0f, 9.0f, 9.0f, 9.0f});
    for (bool topFirst : {false, true})
        for (int w : {1, 7, 33})
            for (int h : {1, 5, 18})
                for (int factor : {1, 2, 3, 4, 8, 16}) {
                    HostBuffer host(w, h, 8, topFirst);
                    const Image want = ormel::downsampleNearest(ormel::readHostImage(host.access(3, -4)), factor);
                    const Image got = ormel::readHostImageReduced(host.access(3, -4), factor);
                    ASSERT_EQ(got.width, want.width);
                    ASSERT_EQ(got.height, want.height);
                    ASSERT_EQ(std::memcmp(got.pixels.data(), want.pixels.data(), want.pixels.size() * 16), 0)
                        << w << "x" << h << " /" << factor << " topFirst " << topFirst;
                    ormel::readHostImageReducedInto(host.access(3, -4), factor, reused, bands);
                    ASSERT_EQ(reused.width, want.width);
                    ASSERT_EQ(reused.height, want.height);
                    ASSERT_EQ(reused.pixels.size(), want.pixels.size());
                    ASSERT_EQ(std::memcmp(reused.pixels.data(), want.pixels.data(), want.pixels.size() * 16), 0)
                        << "banded " << w << "x" << h << " /" << factor << " topFirst " << topFirst;
                }
    HostBuffer host(9, 6, 0);
    HostImageAccess a = host.access(0, 0);
    a.rowBytes = 0;
    int calls = 0;
    a.pixelAddress = [&](int x, int y) -> void* {
        ++calls;
        return x == 6 ? nullptr : host.at(x, y);
    };
    const Image got = ormel::readHostImageReduced(a, 4);
    EXPECT_EQ(calls, 3 * 2);   // one read per reduced pixel
    ASSERT_EQ(got.width, 3);
    EXPECT_EQ(got.at(0, 0).r, 2.0f);
    EXPECT_EQ(got.at(0, 0).g, 3.0f);   // engine row 2 of 6 is host row 3
    EXPECT_EQ(got.at(1, 0).a, 0.0f);   // reduced column 1 reads column 6, which has no address
    Image banded;
    ormel::readHostImageReducedInto(a, 4, banded, bands);
    EXPECT_EQ(std::memcmp(banded.pixels.data(), got.pixels.data(), got.pixels.size() * 16), 0);
    a.floatRgba = false;
    EXPECT_TRUE(ormel::readHostImageReduced(a, 4).empty());
    ormel::readHostImageReducedInto(a, 4, banded, bands);
    EXPECT_TRUE(banded.empty());
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
    EXPECT_EQ(img.at(3, 1).g, 0.0f);   // host row 20, the bottom
    const Pixel hole = img.at(2, 0);   // host (12, 21), the top row
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

// The image's top-left corner lands on the host's top-left pixel; the rest
// of the host image, padding included, is left alone.
TEST(ImageTransfer, WritesOnlyTheTopLeftOverlap) {
    for (bool topFirst : {false, true}) {
        HostBuffer host(3, 2, 8, topFirst);
        Image img(5, 1, Pixel{9, 8, 7, 6});
        ormel::writeHostImage(img, host.access(4, 4));
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(host.at(x, 1)[0], 9.0f);
            EXPECT_EQ(host.at(x, 1)[3], 6.0f);
            EXPECT_EQ(host.at(x, 0)[0], float(x));  // below the image's one row
        }
        EXPECT_EQ(host.bytes[3 * 16], 0xAB);  // row padding untouched
    }
    // Through addresses, the same corner.
    HostBuffer host(2, 3, 0);
    HostImageAccess a = host.access(0, 0);
    a.rowBytes = 0;
    a.pixelAddress = [&](int x, int y) -> void* { return host.at(x, y); };
    Image img(2, 2, Pixel{1, 1, 1, 1});
    img.at(0, 0) = Pixel{5, 5, 5, 5};
    ormel::writeHostImage(img, a);
    EXPECT_EQ(host.at(0, 2)[0], 5.0f);
    EXPECT_EQ(host.at(1, 1)[0], 1.0f);
    EXPECT_EQ(host.at(1, 0)[0], 1.0f);   // untouched: the image has two rows
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

// What is read and written back arrives where it came from, for either
// stride sign: a round trip is the identity.
TEST(ImageTransfer, RoundTripKeepsEveryPixelInPlace) {
    for (bool topFirst : {false, true}) {
        HostBuffer src(4, 3, 0, topFirst);
        HostBuffer dst(4, 3, 4, !topFirst);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x) std::memset(dst.at(x, y), 0, 16);
        ormel::writeHostImage(ormel::readHostImage(src.access(0, 0)), dst.access(0, 0));
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x) EXPECT_EQ(std::memcmp(src.at(x, y), dst.at(x, y), 16), 0) << x << y;
    }
}

}  // namespace
