// Footage in and out: the history cache, video decoding, sinks that leave
// nothing behind on failure, pixel conversions and the demo clip.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "media/demo_clip.h"
#include "media/frame_sink.h"
#include "media/frame_source.h"
#include "host/image_buffer.h"
#include "media/image_io.h"

namespace {

using varnok::NativeFrame;
using varnok::SampleType;

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// Named by process too: two test runs on one machine must not share folders.
std::string freshDir(const std::string& name) {
    const std::string dir = ::testing::TempDir() + "media_io_" + std::to_string(::getpid()) + "_" + name;
    std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str());
    return dir;
}

TEST(NativeFrames, GreyAndDeepSamplesBecomeRgba) {
    NativeFrame grey;
    grey.width = 2;
    grey.height = 1;
    grey.channels = 2;
    grey.type = SampleType::U16;
    const uint16_t samples[4] = {65535, 0, 32768, 65535};
    grey.data.assign(reinterpret_cast<const uint8_t*>(samples), reinterpret_cast<const uint8_t*>(samples) + 8);
    ofxhost::FloatImage f = varnok::toFloatRgba(grey);
    ASSERT_EQ(f.width, 2);
    EXPECT_EQ(std::vector<float>(f.rgba.begin(), f.rgba.begin() + 4), (std::vector<float>{1, 1, 1, 0}));
    EXPECT_NEAR(f.pixel(1, 0)[2], 0.5, 1e-4);
    EXPECT_EQ(f.pixel(1, 0)[3], 1.0f);
    grey.data.resize(3);   // short buffer: refused, not overread
    EXPECT_TRUE(varnok::toFloatRgba(grey).empty());
}

// Reference conversion: sample times 1/max (as a table of them would hold), or the
// half value, channel by channel.
float referenceSample(const NativeFrame& f, size_t i) {
    const uint8_t* p = f.data.data();
    switch (f.type) {
        case SampleType::U8: return p[i] * (1.0f / 255.0f);
        case SampleType::U16: {
            uint16_t v;
            std::memcpy(&v, p + 2 * i, 2);
            return v * (1.0f / 65535.0f);
        }
        case SampleType::Half: {
            uint16_t v;
            std::memcpy(&v, p + 2 * i, 2);
            return ofxhost::halfToFloat(v);
        }
        case SampleType::Float: {
            float v;
            std::memcpy(&v, p + 4 * i, 4);
            return v;
        }
    }
    return 0.0f;
}

TEST(NativeFrames, EveryTypeAndChannelCountConvertsIntoAReusedFrame) {
    ofxhost::FloatImage out;
    for (SampleType t : {SampleType::U8, SampleType::U16, SampleType::Half, SampleType::Float}) {
        for (int channels = 1; channels <= 5; ++channels) {
            NativeFrame f;
            f.width = 7;
            f.height = 3;
            f.channels = channels;
            f.type = t;
            f.data.resize(static_cast<size_t>(7 * 3 * channels * varnok::sampleBytes(t)));
            for (size_t i = 0; i < f.data.size(); ++i) f.data[i] = static_cast<uint8_t>(i * 37 + 11);
            ASSERT_TRUE(varnok::toFloatRgba(f, &out));
            ASSERT_EQ(out.rgba.size(), 7u * 3 * 4);
            const float* before = out.rgba.data();
            for (size_t p = 0; p < 21; ++p) {
                const size_t s = p * channels;
                const float* px = out.rgba.data() + p * 4;
                const float first = referenceSample(f, s);
                const bool colour = channels >= 3;
                const float alpha = channels == 2 ? referenceSample(f, s + 1)
                                    : channels >= 4 ? referenceSample(f, s + 3) : 1.0f;
                const float want[4] = {colour ? referenceSample(f, s) : first,
                                       colour ? referenceSample(f, s + 1) : first,
                                       colour ? referenceSample(f, s + 2) : first, alpha};
                // Bit for bit, NaNs included.
                EXPECT_EQ(std::memcmp(px, want, sizeof want), 0) << channels << " " << p;
            }
            // Same size again: converted in place.
            ASSERT_TRUE(varnok::toFloatRgba(f, &out));
            EXPECT_EQ(out.rgba.data(), before);
        }
    }
    NativeFrame bad;
    bad.width = 2;
    bad.height = 2;
    bad.channels = 4;
    EXPECT_FALSE(varnok::toFloatRgba(bad, &out));
    EXPECT_TRUE(out.empty());
}

TEST(FrameSources, SequenceGapsAreMissingFramesNotErrors) {
    const std::string d = freshDir("gaps");
    std::string err;
    const varnok::DemoClip clip = varnok::makeDemoClip(4, 32, 18);
    for (int f : {1, 2, 4})
        ASSERT_TRUE(varnok::writeImageFile(d + "/s." + std::to_string(f) + ".png", varnok::demoFrame(clip, f),
                                           SampleType::U8, 4, &err));
    varnok::FrameSource src;
    ASSERT_TRUE(src.open(d + "/s.%d.png", &err)) << err;
    EXPECT_EQ(src.frames(), (std::vector<int>{1, 2, 4}));
    EXPECT_EQ(src.get(3), nullptr);
    EXPECT_FALSE(src.failed());
    ASSERT_NE(src.get(2), nullptr);
    EXPECT_EQ(src.get(2)->type, SampleType::U8);
    src.get(2);
    EXPECT_EQ(src.decodes, 1);   // served from the cache the second time

    ofxhost::FloatImage out;
    auto provider = src.provider();
    EXPECT_FALSE(provider(2.5, out));
    EXPECT_FALSE(provider(std::nan(""), out));
    EXPECT_FALSE(provider(1e300, out));
    EXPECT_TRUE(provider(4, out));
    EXPECT_EQ(out.width, 32);

    // The lending provider converts into frames the host has let go of, and
    // never into one still held.
    auto lend = src.sharedProvider();
    EXPECT_EQ(lend(2.5), nullptr);
    EXPECT_EQ(lend(std::nan("")), nullptr);
    EXPECT_EQ(lend(3), nullptr);
    auto four = lend(4);
    ASSERT_NE(four, nullptr);
    EXPECT_EQ(four->rgba, out.rgba);
    auto one = lend(1);
    ASSERT_NE(one, nullptr);
    EXPECT_NE(one.get(), four.get());
    EXPECT_EQ(four->rgba, out.rgba);   // untouched by the second conversion
    const ofxhost::FloatImage* reused = one.get();
    one.reset();
    EXPECT_EQ(lend(2).get(), reused);
}

TEST(FrameSources, VideoIsDecodedForwardAndRestartedOnlyWhenTheCacheLostAFrame) {
    const std::string d = freshDir("video");
    ASSERT_EQ(std::system(("ffmpeg -v error -y -f lavfi -i testsrc=size=32x24:rate=10 -frames:v 6 -pix_fmt yuv420p " +
                           d + "/v.mp4").c_str()),
              0);
    varnok::FrameSource src;
    std::string err;
    ASSERT_TRUE(src.open(d + "/v.mp4", &err)) << err;
    EXPECT_EQ(src.frames(), (std::vector<int>{0, 1, 2, 3, 4, 5}));
    auto third = src.get(3);
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(src.decodes, 4);
    ASSERT_NE(src.get(1), nullptr);   // decoded on the way to 3 and kept
    EXPECT_EQ(src.decodes, 4);
    src.setCapacity(2);
    ASSERT_NE(src.get(5), nullptr);
    ASSERT_NE(src.get(0), nullptr);   // fell out: decode again from the start
    EXPECT_EQ(src.decodes, 7);
    EXPECT_EQ(src.get(6), nullptr);
    EXPECT_FALSE(src.failed());
    // Decoding is deterministic: frame 3 again from a fresh source is the same.
    varnok::FrameSource again;
    ASSERT_TRUE(again.open(d + "/v.mp4", &err));
    EXPECT_EQ(again.get(3)->data, third->data);
}

TEST(FrameSinks, NothingFinalAppearsUntilCommit) {
    const std::string d = freshDir("sink");
    const ofxhost::FloatImage img = varnok::demoFrame(varnok::makeDemoClip(1, 16, 8), 0);
    std::string err;
    {
        varnok::FrameSink sink;
        ASSERT_TRUE(sink.open(d + "/a.%04d.png", 16, 8, 24, SampleType::U8, 2, &err));
        ASSERT_TRUE(sink.write(7, img, &err));
        EXPECT_FALSE(exists(d + "/a.0007.png"));
    }   // dropped without commit
    ASSERT_NE(std::system(("ls " + d + "/* >/dev/null 2>&1").c_str()), 0) << "left-over files";
    varnok::FrameSink sink;
    ASSERT_TRUE(sink.open(d + "/a.%04d.png", 16, 8, 24, SampleType::U8, 2, &err));
    ASSERT_TRUE(sink.write(7, img, &err));
    ASSERT_TRUE(sink.write(8, img, &err));
    ASSERT_TRUE(sink.commit(&err)) << err;
    EXPECT_TRUE(exists(d + "/a.0007.png"));
    EXPECT_TRUE(exists(d + "/a.0008.png"));

    varnok::FrameSink video;
    ASSERT_TRUE(video.open(d + "/v.mp4", 16, 8, 24, SampleType::U8, 3, &err)) << err;
    ASSERT_TRUE(video.write(0, img, &err));
    video.discard();
    EXPECT_FALSE(exists(d + "/v.mp4"));
    ASSERT_EQ(std::system(("ls " + d + " | grep -q partial").c_str()) == 0, false);
}

std::string fileBytes(const std::string& path) {
    std::string out;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
        std::fclose(f);
    }
    return out;
}

TEST(FrameSinks, BackgroundEncodingWritesWhatADirectWriteWouldAndReportsFailures) {
    const std::string d = freshDir("background");
    const varnok::DemoClip clip = varnok::makeDemoClip(3, 24, 10);
    std::string err;
    varnok::FrameSink sink;
    ASSERT_TRUE(sink.open(d + "/s.%d.png", 24, 10, 24, SampleType::U16, 3, &err));
    for (int f = 0; f < 3; ++f) {
        ofxhost::FloatImage img = varnok::demoFrame(clip, f);
        ASSERT_TRUE(sink.write(f, std::move(img), &err)) << err;
    }
    ASSERT_TRUE(sink.commit(&err)) << err;
    for (int f = 0; f < 3; ++f) {
        const std::string direct = d + "/direct.png";
        ASSERT_TRUE(varnok::writeImageFile(direct, varnok::demoFrame(clip, f), SampleType::U16, 4, &err));
        EXPECT_EQ(fileBytes(d + "/s." + std::to_string(f) + ".png"), fileBytes(direct)) << f;
    }

    // A folder that is not there: the failure shows at the next write or at
    // the commit, with the writer's own message, and nothing is left.
    varnok::FrameSink lost;
    ASSERT_TRUE(lost.open(d + "/missing/l.%d.png", 24, 10, 24, SampleType::U8, 2, &err));
    err.clear();
    const bool first = lost.write(0, varnok::demoFrame(clip, 0), &err);
    const bool second = first && lost.write(1, varnok::demoFrame(clip, 1), &err);
    EXPECT_FALSE(second && lost.commit(&err));
    EXPECT_NE(err.find("missing/l."), std::string::npos) << err;

    // A frame of the wrong size for the video: refused at the commit, no file.
    varnok::FrameSink video;
    ASSERT_TRUE(video.open(d + "/v.mp4", 24, 10, 24, SampleType::U8, 2, &err)) << err;
    ASSERT_TRUE(video.write(0, varnok::demoFrame(clip, 0), &err));
    err.clear();
    const bool wrong = video.write(1, ofxhost::FloatImage(8, 8), &err);
    EXPECT_FALSE(wrong && video.commit(&err));
    EXPECT_EQ(err, "frame size changed while encoding");
    EXPECT_FALSE(exists(d + "/v.mp4"));
    EXPECT_NE(std::system(("ls " + d + " | grep -q partial").c_str()), 0);
}

// /dev/full takes the open and refuses every write with ENOSPC: a disk that
// fills up, without needing one.
TEST(ImageFiles, AFullDiskFailsTheFrameWithTheFinalNameAndKeepsTheEarlierFile) {
    const std::string d = freshDir("full");
    const varnok::DemoClip clip = varnok::makeDemoClip(3, 24, 10);
    std::string err;
    const std::string link = d + "/direct.png";
    ASSERT_EQ(::symlink("/dev/full", link.c_str()), 0);
    EXPECT_FALSE(varnok::writeImageFile(link, varnok::demoFrame(clip, 0), SampleType::U8, 4, &err));
    EXPECT_EQ(err, "cannot write " + link + ": No space left on device");
    EXPECT_TRUE(exists("/dev/full"));

    // Frame 1 of a sequence lands on the full disk: the run fails naming
    // s.1.png, frames 0 and 2 never appear and the earlier s.1.png stays.
    ASSERT_TRUE(varnok::writeImageFile(d + "/s.1.png", varnok::demoFrame(clip, 2), SampleType::U8, 4, &err));
    const std::string earlier = fileBytes(d + "/s.1.png");
    const std::string temp = varnok::temporarySibling(d + "/s.1.png");
    ASSERT_EQ(::symlink("/dev/full", temp.c_str()), 0);
    {
        varnok::FrameSink sink;
        ASSERT_TRUE(sink.open(d + "/s.%d.png", 24, 10, 24, SampleType::U8, 3, &err));
        err.clear();
        bool ok = true;
        for (int f = 0; f < 3 && ok; ++f) ok = sink.write(f, varnok::demoFrame(clip, f), &err);
        EXPECT_FALSE(ok && sink.commit(&err));
        EXPECT_EQ(err, "cannot write " + d + "/s.1.png: No space left on device");
    }
    EXPECT_FALSE(exists(d + "/s.0.png"));
    EXPECT_FALSE(exists(d + "/s.2.png"));
    EXPECT_EQ(fileBytes(d + "/s.1.png"), earlier);
    EXPECT_NE(std::system(("ls " + d + " | grep -q partial").c_str()), 0);
}

TEST(ImageFiles, IntegerSamplesRoundHalvesAwayFromZeroAndClamp) {
    const std::string d = freshDir("rounding");
    // Every 8-bit half step and its float neighbours, some 16-bit ones, and junk.
    std::vector<float> values;
    for (int k = 0; k <= 512; ++k) {
        const float v = (k + 0.5f) / 255.0f;
        values.insert(values.end(), {v, std::nextafter(v, 0.0f), std::nextafter(v, 1.0f), k / 65535.0f,
                                     (k + 0.5f) / 65535.0f});
    }
    values.insert(values.end(), {-1.0f, 2.0f, NAN, INFINITY, -INFINITY, 1.0f, 0.0f});
    ofxhost::FloatImage img(static_cast<int>((values.size() + 3) / 4), 1);
    std::copy(values.begin(), values.end(), img.rgba.begin());
    auto expected = [](float v, float scale) {
        const float u = v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f;
        return std::lround(u * scale);
    };
    std::string err;
    // Three channels: PNG writers treat a fourth as alpha and scale colour by it.
    for (SampleType t : {SampleType::U8, SampleType::U16}) {
        const std::string path = d + "/r.png";
        ASSERT_TRUE(varnok::writeImageFile(path, img, t, 3, &err)) << err;
        NativeFrame back;
        ASSERT_TRUE(varnok::readImageFile(path, &back, &err)) << err;
        ASSERT_EQ(back.channels, 3);
        for (size_t k = 0; k < static_cast<size_t>(img.width) * 3; ++k) {
            long got;
            if (t == SampleType::U8) {
                got = back.data[k];
            } else {
                uint16_t s;
                std::memcpy(&s, back.data.data() + 2 * k, 2);
                got = s;
            }
            const float v = img.rgba[k / 3 * 4 + k % 3];
            ASSERT_EQ(got, expected(v, t == SampleType::U8 ? 255.0f : 65535.0f)) << k << " " << v;
        }
    }
}

TEST(DemoClip, FramesAreRepeatableAndShowTheDiscs) {
    const varnok::DemoClip clip = varnok::makeDemoClip(90);
    EXPECT_EQ(varnok::demoFrame(clip, 40).rgba, varnok::demoFrame(clip, 40).rgba);
    EXPECT_NE(varnok::demoFrame(clip, 40).rgba, varnok::demoFrame(clip, 41).rgba);
    // The big red disc: at frame 20 its centre is near (230 + sway, 210 + sway).
    const ofxhost::FloatImage f = varnok::demoFrame(clip, 20);
    const varnok::DemoDisc& red = clip.discs[0];
    const float phase = 6.2831853f * 20 / red.period;
    const int cx = static_cast<int>(red.x0 + red.vx * 20 + red.wobble * std::sin(phase) * 0.6f);
    const int cy = static_cast<int>(red.y0 + red.vy * 20 + red.wobble * std::cos(phase));
    const float* p = f.pixel(cx, cy);
    EXPECT_GT(p[0], 0.75f);
    EXPECT_LT(p[1], 0.1f);
    const ofxhost::FloatImage sheet = varnok::contactSheet({varnok::shrink(f, 4), varnok::shrink(f, 4)}, 2);
    EXPECT_EQ(sheet.width, 2 * 320 + 3 * 4);
    EXPECT_EQ(sheet.height, 180 + 2 * 4);
}

}  // namespace
