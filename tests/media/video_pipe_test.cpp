// Frames through ffmpeg's pipes: 8-bit footage travels as rgb24 both ways,
// deeper footage as rgba64le, and the colours come back whichever was used.
#include <unistd.h>
#include <cmath>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "media/video_io.h"

namespace {

// Named by process too: two test runs on one machine must not share folders.
std::string freshDir(const std::string& name) {
    const std::string dir = ::testing::TempDir() + "varnok_pipe_" + std::to_string(::getpid()) + "_" + name;
    std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str());
    return dir;
}

// Left half one colour, right half another, so a swapped or shifted channel shows.
ofxhost::FloatImage twoColours(int w, int h) {
    ofxhost::FloatImage img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float* p = img.pixel(x, y);
            const bool left = x < w / 2;
            p[0] = left ? 0.8f : 0.1f;
            p[1] = left ? 0.2f : 0.6f;
            p[2] = left ? 0.3f : 0.9f;
            p[3] = 1.0f;
        }
    return img;
}

TEST(VideoPipes, EightBitAndDeepFramesRoundTripTheirColours) {
    const std::string d = freshDir("roundtrip");
    const int w = 64, h = 32;
    for (bool eightBit : {true, false}) {
        const std::string path = d + (eightBit ? "/eight.mp4" : "/deep.mp4");
        varnok::VideoWriter writer;
        std::string err;
        ASSERT_TRUE(writer.open(path, w, h, 10.0, &err, eightBit)) << err;
        for (int i = 0; i < 3; ++i) ASSERT_TRUE(writer.write(twoColours(w, h), &err)) << err;
        ASSERT_TRUE(writer.close(&err)) << err;

        varnok::VideoInfo info;
        ASSERT_TRUE(varnok::probeVideo(path, &info, &err)) << err;
        EXPECT_FALSE(info.deep);  // H.264 4:2:0 at 8 bits either way
        varnok::VideoReader reader;
        ASSERT_TRUE(reader.open(path, info, &err)) << err;
        varnok::NativeFrame frame;
        ASSERT_TRUE(reader.next(&frame));
        EXPECT_EQ(frame.channels, 3);  // no alpha to carry from 8-bit footage
        EXPECT_EQ(frame.type, varnok::SampleType::U8);
        const ofxhost::FloatImage back = varnok::toFloatRgba(frame);
        const ofxhost::FloatImage want = twoColours(w, h);
        for (int x : {8, 55}) {
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(back.pixel(x, 16)[c], want.pixel(x, 16)[c], 0.03f) << eightBit << " " << x << " " << c;
            EXPECT_EQ(back.pixel(x, 16)[3], 1.0f);
        }
    }
}

}  // namespace
