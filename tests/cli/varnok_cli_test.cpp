// The varnok program end to end, on tiny generated footage. Tests that need
// the Varnok bundle skip when it has not been built.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

#include "media/image_io.h"
#include "media/native_frame.h"
#include "tests/cli/cli_test_support.h"

namespace {

using varnok::NativeFrame;
using varnok::SampleType;

using cli_test::exists;
using cli_test::freshDir;
using cli_test::haveVarnok;
using cli_test::readFrame;
using cli_test::run;
using cli_test::RunResult;

// A frame with a red disc that moves right by 3 pixels per frame over a grey field.
ofxhost::FloatImage discFrame(int w, int h, int frame) {
    ofxhost::FloatImage img(w, h);
    const float cx = 8.0f + 3.0f * frame, cy = h / 2.0f, r = 5.0f;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float* p = img.pixel(x, y);
            const bool in = std::hypot(x + 0.5f - cx, y + 0.5f - cy) < r;
            p[0] = in ? 1.0f : 0.3f;
            p[1] = in ? 0.05f : 0.3f;
            p[2] = in ? 0.05f : 0.32f;
            p[3] = 1.0f;
        }
    return img;
}

void writeSequence(const std::string& pattern, int first, int count, int w, int h, SampleType type) {
    for (int f = first; f < first + count; ++f) {
        char name[512];
        std::snprintf(name, sizeof name, pattern.c_str(), f);
        std::string err;
        ASSERT_TRUE(varnok::writeImageFile(name, discFrame(w, h, f - first), type, 4, &err)) << err;
    }
}

std::string listDir(const std::string& dir) {
    RunResult r;
    FILE* p = ::popen(("ls '" + dir + "'").c_str(), "r");
    char buf[4096];
    size_t n;
    while (p && (n = std::fread(buf, 1, sizeof buf, p)) > 0) r.output.append(buf, n);
    if (p) ::pclose(p);
    return r.output;
}

#define REQUIRE_VARNOK() \
    if (!haveVarnok()) GTEST_SKIP() << "Varnok bundle not built at " VARNOK_BUNDLE

TEST(VarnokCli, SequenceInSequenceOutKeepsNumbersAndDepth) {
    REQUIRE_VARNOK();
    const std::string d = freshDir("seq");
    writeSequence(d + "/in.%04d.png", 1001, 4, 48, 32, SampleType::U8);
    RunResult r = run("render " + d + "/in.%04d.png -o " + d + "/out.####.png --quiet");
    ASSERT_EQ(r.status, 0) << r.output;
    for (int f = 1001; f <= 1004; ++f) {
        NativeFrame out = readFrame(d + "/out." + std::to_string(f) + ".png");
        EXPECT_EQ(out.width, 48);
        EXPECT_EQ(out.height, 32);
        EXPECT_EQ(out.type, SampleType::U8);
    }
    EXPECT_EQ(listDir(d).find("partial"), std::string::npos);

    // 16-bit in gives 16-bit out; float EXR in gives float EXR out.
    writeSequence(d + "/deep.%d.png", 1, 2, 16, 8, SampleType::U16);
    ASSERT_EQ(run("render " + d + "/deep.%d.png -o " + d + "/deep_out.%d.tif --quiet").status, 0);
    EXPECT_EQ(readFrame(d + "/deep_out.2.tif").type, SampleType::U16);
    writeSequence(d + "/f.%02d.exr", 0, 2, 16, 8, SampleType::Float);
    ASSERT_EQ(run("render " + d + "/f.%02d.exr -o " + d + "/f_out.##.exr --quiet").status, 0);
    EXPECT_EQ(readFrame(d + "/f_out.01.exr").type, SampleType::Float);
}

TEST(VarnokCli, VideoRoundTrip) {
    REQUIRE_VARNOK();
    const std::string d = freshDir("video");
    ASSERT_EQ(std::system(("ffmpeg -v error -y -f lavfi -i testsrc=size=64x48:rate=10 -frames:v 8 -pix_fmt yuv420p " +
                           d + "/in.mp4").c_str()),
              0);
    RunResult r = run("render " + d + "/in.mp4 -o " + d + "/out.mov --quiet");
    ASSERT_EQ(r.status, 0) << r.output;
    FILE* p = ::popen(("ffprobe -v error -count_frames -show_entries stream=nb_read_frames,codec_name,width,height "
                       "-of csv=p=0 " + d + "/out.mov").c_str(), "r");
    char buf[256] = {0};
    ASSERT_TRUE(p);
    std::fread(buf, 1, sizeof buf - 1, p);
    ::pclose(p);
    EXPECT_EQ(std::string(buf), "prores,64,48,8\n");   // ProRes 422 HQ is the default in mov
    // A video's first frame is 0, and a chosen range comes out with those numbers.
    r = run("render " + d + "/in.mp4 -o " + d + "/frame.%d.png --frames 6-7 --quiet");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(exists(d + "/frame.6.png"));
    EXPECT_TRUE(exists(d + "/frame.7.png"));
    EXPECT_FALSE(exists(d + "/frame.5.png"));
}

TEST(VarnokCli, RenderingOneFrameAloneEqualsTheSameFrameOfAFullRender) {
    REQUIRE_VARNOK();
    const std::string d = freshDir("stateless");
    writeSequence(d + "/in.%04d.png", 1, 12, 64, 32, SampleType::U8);
    const std::string look =
        " --set useTemporalTracking=true --set fastPreview=false --set temporalFrames=6 --set drawTrails=on --quiet";
    ASSERT_EQ(run("render " + d + "/in.%04d.png -o " + d + "/all.%04d.exr" + look).status, 0);
    RunResult r = run("render " + d + "/in.%04d.png -o " + d + "/one.%04d.exr --frames 10-10" + look);
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_FALSE(exists(d + "/one.0009.exr"));
    EXPECT_EQ(readFrame(d + "/all.0010.exr").data, readFrame(d + "/one.0010.exr").data);
}

// The plug-in splits each frame over the threads varnok lends it; the pixels
// must not depend on how many (float EXR in and out, so every bit is kept).
TEST(VarnokCli, ThreadCountChangesNoPixel) {
    REQUIRE_VARNOK();
    const std::string d = freshDir("threads");
    writeSequence(d + "/in.%04d.exr", 1, 4, 67, 41, SampleType::Float);
    // The processor engine: the pixel sort is what is split over the threads.
    const std::string look =
        " --preset 3 --set renderEngine=0 --set drawBoxText=on --set glitchAmount=0.8 --set radialBlur=0.5 --quiet";
    for (const char* n : {"1", "2", "5"}) {
        RunResult r = run("render " + d + "/in.%04d.exr -o " + d + "/t" + n + ".%04d.exr --threads " + n + look);
        ASSERT_EQ(r.status, 0) << r.output;
    }
    for (int f = 1; f <= 4; ++f) {
        const std::string frame = "000" + std::to_string(f) + ".exr";
        const NativeFrame one = readFrame(d + "/t1." + frame);
        EXPECT_EQ(one.data, readFrame(d + "/t2." + frame).data) << f;
        EXPECT_EQ(one.data, readFrame(d + "/t5." + frame).data) << f;
    }
    RunResult r = run("render " + d + "/in.%04d.exr -o " + d + "/x.%04d.exr --threads 0");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.output.find("--threads expects"), std::string::npos) << r.output;
}

TEST(VarnokCli, TemporalTrackingUsesEarlierFramesDecodedOnce) {
    REQUIRE_VARNOK();
    const std::string d = freshDir("temporal");
    writeSequence(d + "/in.%04d.png", 1, 10, 64, 32, SampleType::U8);
    const std::string base = " --set fastPreview=false --set drawTrails=on --set temporalFrames=8 --quiet";
    ASSERT_EQ(run("render " + d + "/in.%04d.png -o " + d + "/off.%04d.exr --set useTemporalTracking=false" + base).status, 0);
    RunResult r = run("render " + d + "/in.%04d.png -o " + d + "/on.%04d.exr --stats --set useTemporalTracking=true" + base);
    ASSERT_EQ(r.status, 0) << r.output;
    // Each input frame decoded once although every render looks back up to 8 frames.
    EXPECT_NE(r.output.find("decodes 10;"), std::string::npos) << r.output;
    // With history the trail of the moving disc shows on the last frame.
    EXPECT_NE(readFrame(d + "/on.0010.exr").data, readFrame(d + "/off.0010.exr").data);
}

// Converted frames kept as float and regions recognised by label change
// only the work, never the pictures: any budget gives the same files.
TEST(VarnokCli, FloatBudgetAndLabelsLeaveThePicturesAlone) {
    REQUIRE_VARNOK();
    const std::string d = freshDir("budget");
    writeSequence(d + "/in.%04d.png", 1, 9, 64, 32, SampleType::U8);
    const std::string look = " --set useTemporalTracking=true --set fastPreview=false --set temporalFrames=5"
                             " --set drawTrails=on --quiet --stats";
    RunResult kept = run("render " + d + "/in.%04d.png -o " + d + "/kept.%04d.exr" + look);
    ASSERT_EQ(kept.status, 0) << kept.output;
    RunResult none = run("render " + d + "/in.%04d.png -o " + d + "/none.%04d.exr --cache-mb 0" + look);
    ASSERT_EQ(none.status, 0) << none.output;
    for (int f = 1; f <= 9; ++f) {
        char name[32];
        std::snprintf(name, sizeof name, ".%04d.exr", f);
        EXPECT_EQ(readFrame(d + "/kept" + name).data, readFrame(d + "/none" + name).data) << f;
    }
    // 9 renders fetch 9 current and 30 earlier frames (frames before 1 do not
    // exist). The plug-in detected each of frames 1-8 once and found it by
    // label after, so only those 8 earlier images had their pixels read.
    // Kept as float, each frame is converted once; without a budget, every
    // current frame and every read earlier frame is converted (9 + 8).
    EXPECT_NE(kept.output.find("9 conversions"), std::string::npos) << kept.output;
    EXPECT_NE(none.output.find("17 conversions"), std::string::npos) << none.output;
    // Counted by the host: 39 images handed out, 17 read (9 current, 8 earlier), 22 known by label.
    EXPECT_NE(kept.output.find("source images handed to the plug-in 39, pixels read 17, known by label 22"),
              std::string::npos)
        << kept.output;
    EXPECT_NE(run("render " + d + "/in.%04d.png -o " + d + "/x.%04d.exr --cache-mb lots").output.find("--cache-mb"),
              std::string::npos);
}

TEST(VarnokCli, KeyframedParametersInterpolateAcrossTheSequence) {
    const std::string d = freshDir("keys");
    writeSequence(d + "/in.%d.exr", 1, 5, 6, 4, SampleType::Float);
    // The host-test plug-in writes r = source r * gain.
    RunResult r = run("render " + d + "/in.%d.exr -o " + d + "/out.%d.exr --plugin " HOST_TEST_BUNDLE
                " --set gain@1=1 --set gain@5=3 --quiet");
    ASSERT_EQ(r.status, 0) << r.output;
    auto red = [&](int f) {
        ofxhost::FloatImage img = varnok::toFloatRgba(readFrame(d + "/out." + std::to_string(f) + ".exr"));
        return img.pixel(0, 0)[0];
    };
    EXPECT_NEAR(red(1), 0.3f * 1.0f, 1e-3);
    EXPECT_NEAR(red(3), 0.3f * 2.0f, 1e-3);
    EXPECT_NEAR(red(5), 0.3f * 3.0f, 1e-3);
}

TEST(VarnokCli, ErrorsAreClearAndLeaveNoOutput) {
    const std::string d = freshDir("errors");
    const std::string plugin = std::string(" --plugin ") + HOST_TEST_BUNDLE;
    writeSequence(d + "/in.%04d.png", 1, 4, 16, 8, SampleType::U8);
    const std::string in = d + "/in.%04d.png -o " + d + "/out.%04d.png";

    RunResult r = run("render " + d + "/missing.%04d.png -o " + d + "/x.%04d.png" + plugin);
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.output.find("input not found"), std::string::npos) << r.output;
    r = run("render " + in + plugin + " --set gian=2");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.output.find("did you mean gain"), std::string::npos) << r.output;
    r = run("render " + in + plugin + " --set failRender=maybe");
    EXPECT_NE(r.output.find("boolean"), std::string::npos) << r.output;
    r = run("render " + in + plugin + " --set gain=11");
    EXPECT_NE(r.output.find("between 0 and 10"), std::string::npos) << r.output;
    r = run("render " + in + plugin + " --set tint=1,2");
    EXPECT_NE(r.output.find("3 numbers"), std::string::npos) << r.output;
    r = run("render " + in + plugin + " --set failRender=on");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.output.find("render failed at frame 1: kOfxStatErrUnsupported"), std::string::npos) << r.output;
    r = run("render " + in + plugin + " --frames 7-9");
    EXPECT_NE(r.output.find("no input frames in 7-9"), std::string::npos) << r.output;
    r = run("render " + d + "/in.%04d.png -o " + d + "/single.png" + plugin);
    EXPECT_NE(r.output.find("single image"), std::string::npos) << r.output;
    r = run("render " + in + " --plugin /nonexistent/X.ofx.bundle");
    EXPECT_NE(r.output.find("cannot load the plug-in"), std::string::npos) << r.output;
    r = run("render " + in + plugin + " --frames 3-1");
    EXPECT_EQ(r.status, 2);

    // A size change part-way: the error names the frame, and no output remains.
    std::string err;
    ASSERT_TRUE(varnok::writeImageFile(d + "/in.0003.png", discFrame(20, 8, 2), SampleType::U8, 4, &err));
    r = run("render " + in + plugin);
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.output.find("frame 3 is 20x8"), std::string::npos) << r.output;
    EXPECT_EQ(listDir(d).find("out."), std::string::npos) << listDir(d);
    EXPECT_EQ(listDir(d).find("partial"), std::string::npos) << listDir(d);
}

TEST(VarnokCli, ParamsListsEveryDescribedParameter) {
    RunResult r = run(std::string("params --plugin ") + HOST_TEST_BUNDLE + " --json");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("\"name\": \"gain\", \"kind\": \"double\", \"label\": \"Gain\", \"group\": \"main\""),
              std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("\"options\": [\"Un\", \"Deux\", \"Trois très long\"]"), std::string::npos);
    r = run(std::string("params --plugin ") + HOST_TEST_BUNDLE);
    EXPECT_NE(r.output.find("range 0 to 10"), std::string::npos) << r.output;
    if (haveVarnok()) {
        r = run("params --json");
        ASSERT_EQ(r.status, 0) << r.output;
        EXPECT_NE(r.output.find("\"name\": \"hudScale\""), std::string::npos);
        EXPECT_NE(r.output.find("\"Huitième\""), std::string::npos);
    }
}

}  // namespace
