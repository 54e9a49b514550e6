// varnok track writes the tracks the effect draws: the positions in its
// table are where the plug-in, rendering the same footage with the same
// settings, puts its points, for several looks, with temporal tracking on and
// off and with detection at reduced resolution.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "media/image_io.h"
#include "media/native_frame.h"
#include "tests/cli/cli_test_support.h"

namespace {

using varnok::SampleType;

int run(const std::string& args, std::string* output) {
    const cli_test::RunResult r = cli_test::run(args);
    *output += r.output;
    return r.status;
}

std::string freshDir(const std::string& name) { return cli_test::freshDir("track_" + name); }

// Discs of the colours the looks look for, moving at different speeds.
ofxhost::FloatImage discs(int frame) {
    const int w = 96, h = 64;
    ofxhost::FloatImage img(w, h);
    const float colours[4][3] = {{0.95f, 0.05f, 0.05f}, {0.1f, 0.9f, 0.15f}, {0.1f, 0.85f, 0.9f}, {1, 1, 1}};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float* p = img.pixel(x, y);
            p[0] = p[1] = p[2] = 0.12f;
            p[3] = 1.0f;
            for (int d = 0; d < 4; ++d) {
                const float cx = 10.0f + 20.0f * d + 2.0f * frame * (d % 2 ? 1 : -1) + 6.0f;
                const float cy = 14.0f + 11.0f * d + 1.5f * frame;
                if (std::hypot(x + 0.5f - cx, y + 0.5f - cy) < 4.5f)
                    for (int c = 0; c < 3; ++c) p[c] = colours[d][c];
            }
        }
    return img;
}

struct Row {
    int frame, id;
    double x, y;
    int track, age;
};

std::vector<Row> readCsv(const std::string& path) {
    std::vector<Row> rows;
    std::ifstream f(path);
    std::string line;
    std::getline(f, line);
    EXPECT_EQ(line, "frame,id,x,y,min_x,min_y,max_x,max_y,area,speed,track,age");
    while (std::getline(f, line)) {
        Row r{};
        char comma;
        double skip;
        std::istringstream s(line);
        s >> r.frame >> comma >> r.id >> comma >> r.x >> comma >> r.y;
        for (int i = 0; i < 6; ++i) s >> comma >> skip;
        s >> comma >> r.track >> comma >> r.age;
        EXPECT_TRUE(s && s.peek() == EOF) << line;
        rows.push_back(r);
    }
    return rows;
}

TEST(VarnokTrack, TrackedPositionsAreWhereThePlugInDrawsItsPoints) {
    struct stat st {};
    if (::stat(VARNOK_BUNDLE, &st) != 0) GTEST_SKIP() << "Varnok bundle not built";
    const std::string d = freshDir("positions");
    std::string err;
    for (int f = 1; f <= 6; ++f) {
        char name[64];
        std::snprintf(name, sizeof name, "/in.%02d.png", f);
        ASSERT_TRUE(varnok::writeImageFile(d + name, discs(f), SampleType::U8, 4, &err)) << err;
    }
    // Only points, small and solid, on a clear picture: every drawn pixel
    // belongs to a point.
    std::string pointsOnly = " --set outputMode=1 --set hudScale=1 --set drawPoints=on --set pointShape=0"
                             " --set pointSize=1.5 --set randomPointSize=off --set pointOpacity=1 --quiet";
    for (const char* off : {"drawBoxes", "drawLines", "drawTrails", "drawLabels", "glowAmount", "scanline", "noise",
                            "vignette", "chromaticAberration", "glitchAmount", "vhsFlicker", "lensDistortion",
                            "fisheye", "invertAmount", "radialBlur", "asciiAmount", "pixelSortEnable",
                            "magnifierEnable", "pointFlashEnable", "pointInvertEnable"})
        pointsOnly += std::string(" --set ") + off + "=0";
    struct Case {
        const char* look;
        const char* extra;
    };
    const Case cases[] = {
        {"0", " --set useTemporalTracking=false --set fastPreview=false --set detectionScale=0"},
        {"1", " --set useTemporalTracking=true --set fastPreview=false --set temporalFrames=4 --set detectionScale=1"},
        {"7", " --set useTemporalTracking=true --set fastPreview=false --set temporalFrames=3 --set detectionScale=0"},
        {"10", " --set fastPreview=true --set detectionScale=2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("look ") + c.look + c.extra);
        const std::string common = std::string(" --preset ") + c.look + c.extra + pointsOnly;
        std::string out;
        ASSERT_EQ(run("track " + d + "/in.%02d.png -o " + d + "/tracks.csv" + common, &out), 0) << out;
        ASSERT_EQ(run("render " + d + "/in.%02d.png -o " + d + "/drawn.%02d.exr" + common, &out), 0) << out;
        const std::vector<Row> rows = readCsv(d + "/tracks.csv");
        ASSERT_FALSE(rows.empty());
        for (int f = 1; f <= 6; ++f) {
            char name[64];
            std::snprintf(name, sizeof name, "/drawn.%02d.exr", f);
            varnok::NativeFrame nf;
            ASSERT_TRUE(varnok::readImageFile(d + name, &nf, &err)) << err;
            const ofxhost::FloatImage img = varnok::toFloatRgba(nf);
            std::vector<Row> here;
            for (const Row& r : rows)
                if (r.frame == f) here.push_back(r);
            for (const Row& r : here)
                EXPECT_GT(img.pixel(static_cast<int>(r.x), static_cast<int>(r.y))[3], 0.5f)
                    << "frame " << f << " track " << r.id << " at " << r.x << "," << r.y;
            for (int y = 0; y < img.height; ++y)
                for (int x = 0; x < img.width; ++x) {
                    if (img.pixel(x, y)[3] <= 0.01f) continue;
                    bool near = false;
                    for (const Row& r : here) near = near || std::hypot(x + 0.5 - r.x, y + 0.5 - r.y) < 4.0;
                    ASSERT_TRUE(near) << "frame " << f << ": a point at " << x << "," << y << " no track explains";
                }
        }
    }
}

TEST(VarnokTrack, FormatsAndErrors) {
    struct stat st {};
    if (::stat(VARNOK_BUNDLE, &st) != 0) GTEST_SKIP() << "Varnok bundle not built";
    const std::string d = freshDir("formats");
    std::string err, out;
    ASSERT_TRUE(varnok::writeImageFile(d + "/in.1.png", discs(1), SampleType::U8, 4, &err)) << err;
    ASSERT_TRUE(varnok::writeImageFile(d + "/in.2.png", discs(2), SampleType::U8, 4, &err)) << err;
    const std::string in = d + "/in.%d.png";
    ASSERT_EQ(run("track " + in + " -o " + d + "/t.json --quiet --set fastPreview=false", &out), 0) << out;
    std::ifstream j(d + "/t.json");
    const std::string json((std::istreambuf_iterator<char>(j)), std::istreambuf_iterator<char>());
    EXPECT_EQ(json.rfind("{\"width\":96,\"height\":64,\"frames\":[", 0), 0u) << json;
    EXPECT_NE(json.find("{\"frame\":2,\"tracks\":[{\"id\":1,\"track\":1,\"age\":1,\"x\":"), std::string::npos) << json;
    EXPECT_NE(json.find("],\"tracks\":[\n{\"track\":1,\"first_frame\":1,\"last_frame\":2,\"frames_seen\":2}"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"trail\":[["), std::string::npos);

    ASSERT_EQ(run("track " + in + " -o " + d + "/t.txt --id 1 --quiet", &out), 0) << out;
    std::ifstream ae(d + "/t.txt");
    std::string first;
    std::getline(ae, first);
    EXPECT_EQ(first, "Adobe After Effects 8.0 Keyframe Data");
    ASSERT_EQ(run("track " + in + " -o " + d + "/t.chan --id 1 --quiet --set fastPreview=false", &out), 0) << out;
    ASSERT_EQ(run("track " + in + " -o " + d + "/t.csv --quiet --set fastPreview=false", &out), 0) << out;
    // Nuke counts y up from the bottom; the table counts it down from the top.
    const std::vector<Row> rows = readCsv(d + "/t.csv");
    std::ifstream chan(d + "/t.chan");
    int frame;
    double x, y;
    ASSERT_TRUE(chan >> frame >> x >> y);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(frame, rows[0].frame);
    EXPECT_DOUBLE_EQ(x, rows[0].x);
    EXPECT_NEAR(y, 64.0 - rows[0].y, 1e-4);

    out.clear();
    EXPECT_NE(run("track " + in + " -o " + d + "/t.chan", &out), 0);
    EXPECT_NE(out.find("--id"), std::string::npos) << out;
    out.clear();
    EXPECT_NE(run("track " + in + " -o " + d + "/t.dat", &out), 0);
    EXPECT_NE(out.find("--format"), std::string::npos) << out;
    out.clear();
    EXPECT_NE(run("track " + in + " -o " + d + "/u.chan --id 42", &out), 0);
    EXPECT_NE(out.find("no track has id 42"), std::string::npos) << out;
    struct stat none {};
    EXPECT_NE(::stat((d + "/u.chan").c_str(), &none), 0);   // nothing written on failure
}

}  // namespace
