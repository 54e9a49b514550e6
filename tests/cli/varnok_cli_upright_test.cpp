// varnok hands files to plug-ins as conformant hosts do (the file's first row
// is the top of the picture, OpenFX's highest row) and negotiates formats, so
// text reads upright in the files it writes and plug-ins other than Varnok,
// 8-bit-only ones included, render correct pixels.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "media/image_io.h"
#include "media/native_frame.h"
#include "tests/cli/cli_test_support.h"
#include "tests/support/upright_text.h"

namespace {

using varnok::NativeFrame;
using varnok::SampleType;

int run(const std::string& args, std::string* output) {
    const cli_test::RunResult r = cli_test::run(args);
    *output += r.output;
    return r.status;
}

std::string freshDir(const std::string& name) { return cli_test::freshDir("upright_" + name); }

using cli_test::readFrame;

TEST(VarnokUpright, LabelsReadUprightInTheWrittenFile) {
    struct stat st {};
    if (::stat(VARNOK_BUNDLE, &st) != 0) GTEST_SKIP() << "Varnok bundle not built";
    const std::string d = freshDir("labels");
    std::string err;
    ASSERT_TRUE(varnok::writeImageFile(d + "/in.png", upright_text::squaresFrame({{70, 30}, {20, 60}}),
                                       SampleType::U8, 4, &err))
        << err;
    std::string args = "render " + d + "/in.png -o " + d + "/out.png --quiet";
    for (const char* off : {"drawPoints", "drawLines", "drawTrails", "drawBoxes", "fastPreview", "labelCoordinates",
                            "labelVelocity", "glowAmount", "blurRadius", "erodeIterations", "dilateIterations",
                            "detectionScale"})
        args += std::string(" --set ") + off + "=0";
    args += " --set hudScale=1 --set labelScale=2 --set labelColor=0,0,1";
    std::string out;
    ASSERT_EQ(run(args, &out), 0) << out;
    const ofxhost::FloatImage img = varnok::toFloatRgba(readFrame(d + "/out.png"));
    // Row 0 of the file is the top: each label sits above-right of its square.
    upright_text::expectLabel(img, 82, 16, upright_text::kOne, upright_text::isBlue);
    upright_text::expectLabel(img, 32, 46, upright_text::kTwo, upright_text::isBlue);
}

TEST(VarnokUpright, AnEightBitOnlyPlugInGetsCorrectPixels) {
    const std::string d = freshDir("bytes");
    ofxhost::FloatImage frame(7, 5);
    for (size_t i = 0; i < frame.rgba.size(); ++i)
        frame.rgba[i] = i % 4 == 3 ? 1.0f : static_cast<float>((i * 53) % 256) / 255.0f;
    std::string err;
    ASSERT_TRUE(varnok::writeImageFile(d + "/in.png", frame, SampleType::U8, 4, &err)) << err;
    std::string out;
    ASSERT_EQ(run("render " + d + "/in.png -o " + d + "/out.png --quiet --plugin " BYTE_INVERT_BUNDLE, &out), 0)
        << out;
    const NativeFrame in = readFrame(d + "/in.png"), inverted = readFrame(d + "/out.png");
    ASSERT_EQ(inverted.type, SampleType::U8);
    ASSERT_EQ(inverted.data.size(), in.data.size());
    ASSERT_EQ(in.channels, 4);
    for (size_t i = 0; i < in.data.size(); ++i)
        ASSERT_EQ(inverted.data[i], i % 4 == 3 ? in.data[i] : 255 - in.data[i]) << i;
}

// The standard's canonical origin is the bottom-left: a mark a plug-in paints
// at rows 0 and 1 lands on the file's last two rows.
TEST(VarnokUpright, CanonicalRowZeroIsTheBottomOfTheFile) {
    const std::string d = freshDir("corner");
    std::string err;
    ASSERT_TRUE(varnok::writeImageFile(d + "/in.png", ofxhost::FloatImage(6, 4, 0.0f), SampleType::U8, 4, &err));
    std::string out;
    ASSERT_EQ(run("render " + d + "/in.png -o " + d + "/out.png --quiet --plugin " CORNER_MARK_BUNDLE, &out), 0)
        << out;
    const ofxhost::FloatImage img = varnok::toFloatRgba(readFrame(d + "/out.png"));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(img.pixel(x, y)[0], (x == 1 || x == 2) && y >= 2 ? 1.0f : 0.0f) << x << "," << y;
}

}  // namespace
