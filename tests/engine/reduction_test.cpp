// The reduced picture detection works on: which pixel each cell keeps, and
// that cutting the rows into bands or reusing the result's memory changes
// nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <utility>
#include <vector>

#include "engine/reduction.h"
#include "engine/row_bands.h"

namespace {

using ormel::Image;
using ormel::Pixel;

// Every pixel tells where it came from.
Image numbered(int32_t w, int32_t h) {
    Image img(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            img.pixels[static_cast<size_t>(y) * w + x] = Pixel{static_cast<float>(x), static_cast<float>(y), 0.5f, 1.0f};
    return img;
}

// Bands run in reverse order, so a band that reads or writes outside its
// own rows shows.
ormel::RowBands reversedBands(int32_t count) {
    ormel::RowBands b;
    b.bands = count;
    b.runJobs = [](int32_t n, const std::function<void(int32_t)>& job) {
        for (int32_t i = n - 1; i >= 0; --i) job(i);
    };
    return b;
}

TEST(Reduction, EachCellKeepsItsMiddlePixelWhateverTheBands) {
    for (int32_t factor : {1, 2, 3, 8, 16}) {
        for (auto [w, h] : {std::pair<int32_t, int32_t>{67, 45}, {1, 9}, {9, 1}, {5, 3}}) {
            const Image src = numbered(w, h);
            const Image one = ormel::downsampleNearest(src, factor);
            ASSERT_EQ(one.width, ormel::reducedExtent(w, factor));
            ASSERT_EQ(one.height, ormel::reducedExtent(h, factor));
            for (int32_t y = 0; y < one.height; ++y)
                for (int32_t x = 0; x < one.width; ++x) {
                    const Pixel& p = one.pixels[static_cast<size_t>(y) * one.width + x];
                    // The cell's middle, or the last pixel where the cell runs off the picture.
                    EXPECT_EQ(p.r, static_cast<float>(std::min(factor / 2 + factor * x, w - 1)));
                    EXPECT_EQ(p.g, static_cast<float>(std::min(factor / 2 + factor * y, h - 1)));
                }
            for (int32_t bands : {2, 3, 8}) {
                Image reused(200, 3, Pixel{9.0f, 9.0f, 9.0f, 9.0f});   // larger and dirty
                ormel::downsampleNearestInto(src, factor, reused, reversedBands(bands));
                ASSERT_EQ(reused.width, one.width);
                ASSERT_EQ(reused.pixels.size(), one.pixels.size());
                EXPECT_EQ(std::memcmp(reused.pixels.data(), one.pixels.data(), one.pixels.size() * sizeof(Pixel)), 0)
                    << "factor " << factor << " size " << w << "x" << h << " bands " << bands;
            }
        }
    }
}

}  // namespace
