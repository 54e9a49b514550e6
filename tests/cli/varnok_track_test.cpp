// varnok track writes the tracks the effect draws: the positions in its
// table are where the plug-in, rendering the same footage with the same
// settings, puts its points, for several looks, with temporal tracking on and
// off and with detection at reduced resolution.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
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
    std::string state;
};

std::vector<Row> readCsv(const std::string& path) {
    std::vector<Row> rows;
    std::ifstream f(path);
    std::string line;
    std::getline(f, line);
    EXPECT_EQ(line, "frame,id,x,y,min_x,min_y,max_x,max_y,area,speed,track,age,state");
    while (std::getline(f, line)) {
        Row r{};
        char comma;
        double skip;
        std::istringstream s(line);
        s >> r.frame >> comma >> r.id >> comma >> r.x >> comma >> r.y;
        for (int i = 0; i < 6; ++i) s >> comma >> skip;
        s >> comma >> r.track >> comma >> r.age >> comma >> r.state;
        EXPECT_TRUE(s && s.peek() == EOF) << line;
        EXPECT_TRUE(r.state == "seen" || r.state == "merged" || r.state == "predicted") << line;
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
        ASSERT_EQ(run("track " + d + "/in.%02d.png -o " + d + "/tracks.csv --states seen" + common, &out), 0) << out;
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
    EXPECT_NE(json.find("{\"frame\":2,\"tracks\":[{\"id\":1,\"track\":1,\"age\":1,\"state\":\"seen\",\"x\":"),
              std::string::npos)
        << json;
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

// Red discs on grey, 128 x 96, frames 1 to 50: two pass each other along
// nearly one row (one region for about seven frames around frame 27), one
// crosses that row downwards and is out of sight for frames 14 to 16, one
// rises across the row and leaves the picture; the reading order of the
// labels changes as they cross.
struct Disc {
    float x0, y0, vx, vy;
    int hiddenFrom, hiddenTo;
    int turn = 1000;          // after this frame the velocity changes by (tx, ty)
    float tx = 0, ty = 0;
    float x(int f) const { return x0 + vx * f + tx * std::max(0, f - turn); }
    float y(int f) const { return y0 + vy * f + ty * std::max(0, f - turn); }
    bool shown(int f) const { return f < hiddenFrom || f > hiddenTo; }
};
const Disc kDiscs[] = {{10, 30, 2, 0, 0, -1}, {118, 31, -2, 0, 0, -1}, {112, 5, 0, 1.5f, 14, 16},
                       {20, 95, 0.5f, -3, 0, -1}};
constexpr float kDiscRadius = 5.0f;

ofxhost::FloatImage discPicture(const std::vector<Disc>& discs, int f) {
    ofxhost::FloatImage img(128, 96);
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            float* p = img.pixel(x, y);
            p[0] = p[1] = p[2] = 0.12f;
            p[3] = 1.0f;
            for (const Disc& d : discs)
                if (d.shown(f) && std::hypot(x + 0.5f - d.x(f), y + 0.5f - d.y(f)) < kDiscRadius) {
                    p[0] = 0.95f;
                    p[1] = p[2] = 0.05f;
                }
        }
    return img;
}

ofxhost::FloatImage crossingDiscs(int f) { return discPicture({std::begin(kDiscs), std::end(kDiscs)}, f); }

// The disc a row is plainly the region of (alone, centred on it), or -1.
int discOf(const Row& r) {
    int found = -1, near = 0;
    for (int i = 0; i < 4; ++i) {
        const Disc& d = kDiscs[i];
        if (!d.shown(r.frame)) continue;
        const double away = std::hypot(r.x + 0.5 - d.x(r.frame), r.y + 0.5 - d.y(r.frame));
        near += away < 16.0;
        if (away <= 2.5) found = i;
    }
    return near == 1 ? found : -1;   // not a merged region, nor a disc cut by the edge
}

TEST(VarnokTrack, EachObjectKeepsOneTrackNumber) {
    if (!cli_test::haveVarnok()) GTEST_SKIP() << "Varnok bundle not built";
    const std::string d = freshDir("crossing");
    std::string err;
    for (int f = 1; f <= 50; ++f) {
        char name[64];
        std::snprintf(name, sizeof name, "/in.%02d.png", f);
        ASSERT_TRUE(varnok::writeImageFile(d + name, crossingDiscs(f), SampleType::U8, 4, &err)) << err;
    }
    const std::string in = d + "/in.%02d.png";
    struct Case {
        const char* name;
        std::string settings;
    };
    const Case cases[] = {
        {"temporal tracking, 8 earlier frames",
         " --set useTemporalTracking=true --set fastPreview=false --set temporalFrames=8 --set detectionScale=0"},
        {"no temporal tracking", " --set useTemporalTracking=false --set fastPreview=false --set detectionScale=0"},
        {"temporal tracking at half resolution",
         " --set useTemporalTracking=true --set fastPreview=false --set temporalFrames=4 --set detectionScale=1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string out;
        ASSERT_EQ(run("track " + in + " -o " + d + "/t.csv --quiet --stats --threads 2 --paths " + d + "/paths.png" +
                          c.settings,
                      &out),
                  0)
            << out;
        // Each frame detected once, the earlier frames' regions remembered.
        EXPECT_NE(out.find("detections 50 (1.00 per frame)"), std::string::npos) << out;
        const std::vector<Row> rows = readCsv(d + "/t.csv");
        std::map<int, std::set<int>> numbersOfDisc, discsOfNumber;
        std::map<int, int> firstFrame;
        for (const Row& r : rows) {
            firstFrame.emplace(r.track, r.frame);
            EXPECT_EQ(r.age, r.frame - firstFrame[r.track]) << "frame " << r.frame;
            const int disc = discOf(r);
            if (disc < 0) continue;
            numbersOfDisc[disc].insert(r.track);
            discsOfNumber[r.track].insert(disc);
        }
        ASSERT_EQ(numbersOfDisc.size(), 4u);
        for (const auto& [disc, numbers] : numbersOfDisc)
            EXPECT_EQ(numbers.size(), 1u) << "disc " << disc << " has " << numbers.size() << " numbers";
        for (const auto& [number, discs] : discsOfNumber)
            EXPECT_EQ(discs.size(), 1u) << "track " << number << " is " << discs.size() << " discs";

        // One disc's path for After Effects and Nuke: every key on that disc.
        const int first = *numbersOfDisc[0].begin();
        ASSERT_EQ(run("track " + in + " -o " + d + "/a.chan --quiet --track " + std::to_string(first) + c.settings,
                      &out),
                  0)
            << out;
        std::ifstream chan(d + "/a.chan");
        int frame, keys = 0;
        double x, y;
        while (chan >> frame >> x >> y) {
            ++keys;
            EXPECT_LT(std::hypot(x + 0.5 - kDiscs[0].x(frame), 96 - y + 0.5 - kDiscs[0].y(frame)), 3.0)
                << "frame " << frame;
        }
        EXPECT_EQ(keys, 50);   // through the merge too
        ASSERT_EQ(run("track " + in + " -o " + d + "/a.txt --quiet --track " + std::to_string(first) + c.settings,
                      &out),
                  0)
            << out;
        std::ifstream ae(d + "/a.txt");
        const std::string aeText((std::istreambuf_iterator<char>(ae)), std::istreambuf_iterator<char>());
        EXPECT_EQ(static_cast<int>(std::count(aeText.begin(), aeText.end(), '\n')), keys + 13);

        // The paths over frame 26 (the middle of 1-50): drawn where the paths go.
        const ofxhost::FloatImage paths = varnok::toFloatRgba(cli_test::readFrame(d + "/paths.png"));
        ASSERT_EQ(paths.width, 128);
        const ofxhost::FloatImage under = crossingDiscs(26);
        int changed = 0;
        for (const Row& r : rows) {
            const float* p = paths.pixel(static_cast<int>(r.x), static_cast<int>(r.y));
            const float* u = under.pixel(static_cast<int>(r.x), static_cast<int>(r.y));
            changed += std::fabs(p[0] - u[0]) + std::fabs(p[1] - u[1]) + std::fabs(p[2] - u[2]) > 0.1f;
        }
        EXPECT_GT(changed, static_cast<int>(rows.size()) * 9 / 10);
    }

    // The same numbers whatever the number of threads.
    std::string out;
    const std::string common = " --quiet" + cases[0].settings;
    ASSERT_EQ(run("track " + in + " -o " + d + "/one.csv --threads 1" + common, &out), 0) << out;
    ASSERT_EQ(run("track " + in + " -o " + d + "/two.csv --threads 2" + common, &out), 0) << out;
    std::ifstream one(d + "/one.csv"), two(d + "/two.csv");
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(one)), std::istreambuf_iterator<char>()),
              std::string((std::istreambuf_iterator<char>(two)), std::istreambuf_iterator<char>()));

    out.clear();
    EXPECT_NE(run("track " + in + " -o " + d + "/x.chan --track 1 --id 1", &out), 0);
    EXPECT_NE(out.find("not both"), std::string::npos) << out;
    out.clear();
    EXPECT_NE(run("track " + in + " -o " + d + "/x.chan --track 99" + common, &out), 0);
    EXPECT_NE(out.find("no track 99"), std::string::npos) << out;
    out.clear();
    EXPECT_NE(run("track " + in + " -o " + d + "/x.csv --paths " + d + "/paths.mp4" + common, &out), 0);
    EXPECT_NE(out.find("--paths needs one picture"), std::string::npos) << out;
}

// Clips whose discs merge or go out of sight, every disc in the picture in
// every frame from 1 to 40 except when hidden: each disc has one track with a
// row in every frame, within 3 px of the disc through merges and gaps (where
// the disc turns out of sight, the gap's blend is what keeps it so), and no
// Nuke path steps further in a frame than twice the fastest disc; with
// --states seen, the seen rows alone.
TEST(VarnokTrack, RowsFollowObjectsThroughMergesAndGaps) {
    if (!cli_test::haveVarnok()) GTEST_SKIP() << "Varnok bundle not built";
    const float c = 64.0f, m = 48.0f, s = 2.0f, r = 0.8660254f;  // r: sin 60 degrees
    struct Clip {
        const char* name;
        std::vector<Disc> discs;
        const char* hidden;   // the state rows take where a disc has no region of its own
        int hiddenRows;       // at least this many such rows
    };
    const Clip clips[] = {
        {"two passing each other", {{20, 40, 1.5f, 0, 0, -1}, {108, 41, -1.5f, 0, 0, -1}}, "merged", 6},
        // It turns as it goes out of sight: found again 9.6 px from where it was heading.
        {"one hidden for three frames",
         {{15, 30, 2.5f, 1.2f, 14, 16, 13, 0, -2.4f}, {110, 90, -1, -0.3f, 0, -1}},
         "predicted",
         3},
        {"three crossing at one point",
         {{c - 20 * s, m, s, 0, 0, -1},
          {c + 10 * s, m - 20 * s * r, -s / 2, s * r, 0, -1},
          {c + 10 * s, m + 20 * s * r, -s / 2, -s * r, 0, -1}},
         "merged", 6},
    };
    const std::string settings =
        " --quiet --set useTemporalTracking=true --set fastPreview=false --set temporalFrames=8 --set detectionScale=0";
    for (const Clip& clip : clips) {
        SCOPED_TRACE(clip.name);
        const std::string d = freshDir(std::string("through_") + std::to_string(&clip - clips));
        std::string err, out;
        for (int f = 1; f <= 40; ++f) {
            char name[64];
            std::snprintf(name, sizeof name, "/in.%02d.png", f);
            ASSERT_TRUE(varnok::writeImageFile(d + name, discPicture(clip.discs, f), SampleType::U8, 4, &err)) << err;
        }
        const std::string in = d + "/in.%02d.png";
        ASSERT_EQ(run("track " + in + " -o " + d + "/t.csv" + settings, &out), 0) << out;
        const std::vector<Row> rows = readCsv(d + "/t.csv");
        auto away = [&](const Row& row, size_t disc) {
            const Disc& k = clip.discs[disc];
            return std::hypot(row.x + 0.5 - k.x(row.frame), row.y + 0.5 - k.y(row.frame));
        };
        // Each track is the disc its seen rows are on.
        std::map<int, size_t> discOfTrack;
        for (const Row& row : rows)
            for (size_t k = 0; row.state == "seen" && k < clip.discs.size(); ++k)
                if (away(row, k) < 3.0 && !discOfTrack.count(row.track)) discOfTrack[row.track] = k;
        ASSERT_EQ(discOfTrack.size(), clip.discs.size()) << "tracks that are discs";
        std::map<int, std::set<int>> framesOf;
        int hiddenRows = 0;
        for (const Row& row : rows) {
            ASSERT_TRUE(discOfTrack.count(row.track)) << "track " << row.track << " at frame " << row.frame;
            EXPECT_LT(away(row, discOfTrack[row.track]), 3.0)
                << "track " << row.track << " (" << row.state << ") at frame " << row.frame;
            EXPECT_TRUE(framesOf[row.track].insert(row.frame).second) << "two rows at frame " << row.frame;
            hiddenRows += row.state == clip.hidden;
        }
        EXPECT_GE(hiddenRows, clip.hiddenRows);
        float fastest = 0.0f;
        for (const Disc& k : clip.discs) fastest = std::max(fastest, std::hypot(k.vx, k.vy));
        for (const auto& [track, frames] : framesOf) {
            EXPECT_EQ(frames.size(), 40u) << "track " << track;
            ASSERT_EQ(run("track " + in + " -o " + d + "/p.chan --track " + std::to_string(track) + settings, &out),
                      0)
                << out;
            std::ifstream chan(d + "/p.chan");
            int frame, keys = 0;
            double x, y, px = 0, py = 0;
            for (; chan >> frame >> x >> y; px = x, py = y, ++keys) {
                if (keys) {
                    EXPECT_LE(std::hypot(x - px, y - py), 2.0 * fastest) << "track " << track << " to frame " << frame;
                }
            }
            EXPECT_EQ(keys, 40);
        }

        // Only the seen rows, as they are among all.
        ASSERT_EQ(run("track " + in + " -o " + d + "/seen.csv --states seen" + settings, &out), 0) << out;
        std::vector<Row> seen;
        for (const Row& row : rows)
            if (row.state == "seen") seen.push_back(row);
        const std::vector<Row> only = readCsv(d + "/seen.csv");
        ASSERT_EQ(only.size(), seen.size());
        for (size_t i = 0; i < only.size(); ++i)
            EXPECT_TRUE(only[i].frame == seen[i].frame && only[i].track == seen[i].track && only[i].x == seen[i].x &&
                        only[i].y == seen[i].y && only[i].state == "seen")
                << "row " << i;
    }
    std::string out;
    EXPECT_NE(run("track x.%02d.png -o t.csv --states seen,hidden", &out), 0);
    EXPECT_NE(out.find("--states expects"), std::string::npos) << out;
}

}  // namespace
