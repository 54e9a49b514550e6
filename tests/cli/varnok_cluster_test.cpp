// A render split into chunks, run by hand or through the local one-node
// Slurm (scripts/slurm-local.sh), must give the frames of a render on one
// machine, and a failed chunk must never turn into a joined output.
//
// The Slurm tests start the local Slurm when it is not running (and stop it
// afterwards); without root they say why and skip, except under CI=true,
// where the skip is a failure.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <numeric>
#include <string>
#include <vector>

#include "cli/chunk_plan.h"
#include "media/image_io.h"
#include "media/video_io.h"
#include "tests/cli/cli_test_support.h"

namespace {

using cli_test::exists;
using cli_test::freshDir;
using cli_test::RunResult;
using cli_test::shell;

// varnok run in `dir`, where Slurm also writes its job logs.
RunResult varnokIn(const std::string& dir, const std::string& args) {
    return shell("cd '" + dir + "' && " + VARNOK_EXE + " " + args);
}

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string listDir(const std::string& dir) { return shell("ls -A '" + dir + "'").output; }

// Three red discs crossing a soft gradient at different speeds, 160x90 (or
// that picture scaled by `scale`).
void writeFootage(const std::string& dir, int frames, int width = 160, int height = 90, float scale = 1.0f) {
    for (int f = 1; f <= frames; ++f) {
        ofxhost::FloatImage img(width, height);
        const float cx[3] = {10.0f + 2.5f * f, 150.0f - 1.5f * f, 40.0f + 1.0f * f};
        const float cy[3] = {25.0f, 60.0f, 45.0f + 20.0f * std::sin(f * 0.2f)};
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                float* p = img.pixel(x, y);
                bool in = false;
                for (int i = 0; i < 3; ++i)
                    in = in || std::hypot((x + 0.5f) / scale - cx[i], (y + 0.5f) / scale - cy[i]) < 6.0f;
                p[0] = in ? 0.95f : 0.25f + 0.2f * x / width;
                p[1] = in ? 0.05f : 0.28f;
                p[2] = in ? 0.05f : 0.3f + 0.2f * y / height;
                p[3] = 1.0f;
            }
        char name[64];
        std::snprintf(name, sizeof name, "/in.%04d.png", f);
        std::string err;
        ASSERT_TRUE(varnok::writeImageFile(dir + name, img, varnok::SampleType::U8, 3, &err)) << err;
    }
}

const char* const kLook = " --set useTemporalTracking=true --set fastPreview=false --set temporalFrames=8"
                          " --set drawTrails=on --quiet";

// Per-frame PSNR of `video` against `reference` in the encoder's own planes
// (ffmpeg's psnr filter, the usual measure of encoder noise); one value per
// frame of the shorter of the two.
std::vector<double> framePsnr(const std::string& dir, const std::string& video, const std::string& reference) {
    const RunResult r = shell("cd '" + dir + "' && ffmpeg -v error -nostdin -i '" + video + "' -i '" + reference +
                              "' -lavfi psnr=stats_file=psnr.log -f null - && cat psnr.log && rm psnr.log");
    EXPECT_EQ(r.status, 0) << r.output;
    std::vector<double> values;
    for (size_t at = r.output.find("psnr_avg:"); at != std::string::npos; at = r.output.find("psnr_avg:", at + 1)) {
        const std::string v = r.output.substr(at + 9, r.output.find(' ', at) - at - 9);
        values.push_back(v == "inf" ? 99.0 : std::atof(v.c_str()));
    }
    return values;
}

// ---------------------------------------------------------------------------
// The local Slurm, started here only when nobody else did.

class LocalSlurm : public ::testing::Environment {
public:
    static bool up;
    static std::string why;

    void SetUp() override {
        const char* dir = std::getenv("VARNOK_SLURM_DIR");
        ::setenv("SLURM_CONF", ((dir && *dir ? std::string(dir) : "/var/tmp/varnok-slurm") + "/slurm.conf").c_str(), 1);
        if (answers()) return;
        if (::geteuid() != 0) {
            why = "the local Slurm is not running and starting it needs root (scripts/slurm-local.sh start)";
            return;
        }
        const RunResult r = shell(std::string(VARNOK_SOURCE_DIR) + "/scripts/slurm-local.sh start");
        startedHere_ = true;
        if (!answers()) why = "scripts/slurm-local.sh start did not bring up the node: " + r.output;
    }
    void TearDown() override {
        if (startedHere_) shell(std::string(VARNOK_SOURCE_DIR) + "/scripts/slurm-local.sh stop");
    }

private:
    static bool answers() {
        const RunResult r = shell("sinfo -h -o %t");
        up = r.status == 0 && (r.output.rfind("idle", 0) == 0 || r.output.rfind("mix", 0) == 0 ||
                               r.output.rfind("alloc", 0) == 0);
        return up;
    }
    bool startedHere_ = false;
};
bool LocalSlurm::up = false;
std::string LocalSlurm::why;
::testing::Environment* const slurmEnvironment = ::testing::AddGlobalTestEnvironment(new LocalSlurm);

#define REQUIRE_SLURM()                                                                   \
    do {                                                                                  \
        if (!cli_test::haveVarnok()) GTEST_SKIP() << "Varnok bundle not built";           \
        if (!LocalSlurm::up) {                                                            \
            const char* ci = std::getenv("CI");                                           \
            if (ci && std::string(ci) == "true") FAIL() << "CI without Slurm: " << LocalSlurm::why; \
            GTEST_SKIP() << LocalSlurm::why;                                              \
        }                                                                                 \
    } while (0)

// The job id sbatch gave, from varnok's "Submitted ... job N" line.
std::string submittedId(const std::string& output, const std::string& what) {
    const size_t at = output.find("Submitted " + what + " ");
    if (at == std::string::npos) return "";
    const size_t start = output.find_first_of("0123456789", at);
    return output.substr(start, output.find_first_not_of("0123456789", start) - start);
}

// ---------------------------------------------------------------------------

// Every split of every small range: the chunks in order give the range back,
// and their sizes differ by one at most.
TEST(Chunks, SplitTheRangeIntoContiguousBalancedParts) {
    for (int count = 1; count <= 13; ++count) {
        std::vector<int> frames(static_cast<size_t>(count));
        std::iota(frames.begin(), frames.end(), 1001);
        for (int n = 1; n <= count + 1; ++n) {
            std::vector<int> joined;
            size_t smallest = frames.size(), largest = 0;
            bool ok = true;
            for (int i = 0; i < n && ok; ++i) {
                std::vector<int> part;
                std::string err;
                ok = varnok::chunkFrames(frames, i, n, &part, &err);
                if (!ok) {
                    EXPECT_EQ(n, count + 1) << err;
                    EXPECT_NE(err.find("cannot split"), std::string::npos) << err;
                    break;
                }
                smallest = std::min(smallest, part.size());
                largest = std::max(largest, part.size());
                joined.insert(joined.end(), part.begin(), part.end());
            }
            if (n > count) continue;
            EXPECT_EQ(joined, frames) << count << " frames in " << n;
            EXPECT_LE(largest - smallest, 1u) << count << " frames in " << n;
        }
    }
}

// A join refuses whatever could give a wrong or short video: the parts stay,
// and nothing appears under the final name.
TEST(Chunks, JoinRefusesMissingStaleDamagedOrUnlikeParts) {
    if (!cli_test::haveVarnok()) GTEST_SKIP() << "Varnok bundle not built";
    const std::string src = freshDir("join_src");
    writeFootage(src, 8);
    for (int i = 0; i < 4; ++i) {
        const RunResult r = varnokIn(src, "render in.%04d.png -o out.mp4 --chunk " + std::to_string(i) + "/4" + kLook);
        ASSERT_EQ(r.status, 0) << r.output;
    }
    const std::string other = freshDir("join_other");
    writeFootage(other, 8, 96, 54);
    ASSERT_EQ(varnokIn(other, "render in.%04d.png -o out.mp4 --chunk 1/4" + std::string(kLook)).status, 0);

    struct Case {
        const char* name;
        std::string change;   // shell commands run in the case's folder
        const char* message;
    };
    const Case cases[] = {
        {"missing", "rm out.part-0001-of-0004.mp4", "out.part-0001-of-0004.mp4 (its chunk failed"},
        {"unfinished", "mv out.part-0002-of-0004.mp4 out.part-0002-of-0004.partial-77.mp4",
         "did not finish: "},
        {"stale", "cp out.part-0000-of-0004.mp4 out.part-0000-of-0003.mp4", "different splits"},
        {"damaged", "head -c 2000 out.part-0002-of-0004.mp4 > cut && mv cut out.part-0002-of-0004.mp4",
         "part 2 of 4 (out.part-0002-of-0004.mp4)"},
        {"unlike", "cp '" + other + "/out.part-0001-of-0004.mp4' .", "96x54"},
    };
    for (const Case& c : cases) {
        const std::string d = freshDir(std::string("join_") + c.name);
        ASSERT_EQ(shell("cp '" + src + "'/out.part-* '" + d + "' && cd '" + d + "' && " + c.change).status, 0);
        const std::string before = listDir(d);
        const RunResult r = varnokIn(d, "join out.mp4");
        EXPECT_EQ(r.status, 1) << c.name << ": " << r.output;
        EXPECT_NE(r.output.find(c.message), std::string::npos) << c.name << ": " << r.output;
        EXPECT_FALSE(exists(d + "/out.mp4")) << c.name;
        EXPECT_EQ(listDir(d), before) << c.name << ": parts touched or temporary files left";
    }
}

// 48 frames with temporal tracking as PNG, in 4 array tasks: every file is
// byte for byte the one a single render writes, chunk starts included, where
// the trails need frames of the chunk before.
TEST(SlurmRender, SequenceInFourChunksEqualsOneMachine) {
    REQUIRE_SLURM();
    const std::string d = freshDir("slurm_png");
    writeFootage(d, 48);
    RunResult r = varnokIn(d, "render in.%04d.png -o one.####.png" + std::string(kLook));
    ASSERT_EQ(r.status, 0) << r.output;
    r = varnokIn(d, "slurm render in.%04d.png -o four.####.png --chunks 4 --wait" + std::string(kLook));
    ASSERT_EQ(r.status, 0) << r.output;
    for (int f = 1; f <= 48; ++f) {
        char one[32], four[32];
        std::snprintf(one, sizeof one, "/one.%04d.png", f);
        std::snprintf(four, sizeof four, "/four.%04d.png", f);
        ASSERT_TRUE(exists(d + four)) << f;
        EXPECT_EQ(fileBytes(d + one), fileBytes(d + four)) << "frame " << f;
    }
    EXPECT_EQ(listDir(d).find("partial"), std::string::npos);

    // The comparison has teeth: the first frame of a chunk rendered without
    // the frames before it differs.
    ASSERT_EQ(shell("mkdir '" + d + "/cut' && cp '" + d + "'/in.00[2-3]?.png '" + d + "/cut'").status, 0);
    ASSERT_EQ(varnokIn(d + "/cut", "render in.%04d.png -o alone.####.png --frames 25-25" + std::string(kLook)).status, 0);
    EXPECT_NE(fileBytes(d + "/cut/alone.0025.png"), fileBytes(d + "/one.0025.png"));
}

// The same as mp4: four parts, each its own encode starting on a key frame,
// joined without re-encoding into one file with the 48 frames in order, each
// within encoder noise of the single render's.
TEST(SlurmRender, VideoInFourChunksJoinsIntoTheOneMachineVideo) {
    REQUIRE_SLURM();
    const std::string d = freshDir("slurm_mp4");
    // Twice the size of the other tests' footage: at 160x90 the discs' edges
    // are so large a share of the picture that two CRF 18 encodes of the same
    // frames come within 39.5 dB, not 40.
    writeFootage(d, 48, 320, 180, 2.0f);
    RunResult r = varnokIn(d, "render in.%04d.png -o one.mp4" + std::string(kLook));
    ASSERT_EQ(r.status, 0) << r.output;
    r = varnokIn(d, "slurm render in.%04d.png -o four.mp4 --chunks 4 --wait" + std::string(kLook));
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(listDir(d).find("four.part-"), std::string::npos) << "parts left after the join";
    EXPECT_EQ(varnok::countVideoFrames(d + "/four.mp4"), 48);
    // Each part began on a key frame, and stream copying kept it there.
    const RunResult keys = shell("ffprobe -v error -select_streams v:0 -show_entries packet=flags -of csv=p=0 '" + d +
                                 "/four.mp4' | grep -n K | cut -d: -f1 | tr '\\n' ' '");
    EXPECT_NE(keys.output.find("1 13 25 37 "), std::string::npos) << keys.output;
    const std::vector<double> db = framePsnr(d, "four.mp4", "one.mp4");
    ASSERT_EQ(db.size(), 48u);
    for (size_t i = 0; i < db.size(); ++i) EXPECT_GE(db[i], 40.0) << "frame " << i;
    // Frames out of order would not pass: neighbours differ by far more than noise.
    ASSERT_EQ(shell("cd '" + d + "' && ffmpeg -v error -nostdin -i four.mp4 -vf trim=start_frame=1 shifted.mp4").status, 0);
    const std::vector<double> shifted = framePsnr(d, "shifted.mp4", "one.mp4");
    ASSERT_FALSE(shifted.empty());
    EXPECT_LT(*std::min_element(shifted.begin(), shifted.end()), 40.0);
}

// A chunk that fails (a damaged input frame) fails its array task; the join
// is cancelled without running, no output appears, and --wait says so.
TEST(SlurmRender, AFailedChunkFailsItsTaskAndNothingIsJoined) {
    REQUIRE_SLURM();
    const std::string d = freshDir("slurm_fail");
    writeFootage(d, 48);
    // Frame 27 lies in chunk 2 (25-36) and beyond the look-back of chunk 3 (from 37).
    ASSERT_EQ(shell("cd '" + d + "' && head -c 60 in.0027.png > cut && mv cut in.0027.png").status, 0);
    const RunResult r = varnokIn(d, "slurm render in.%04d.png -o out.mp4 --chunks 4 --wait" + std::string(kLook));
    EXPECT_NE(r.status, 0) << r.output;
    const std::string array = submittedId(r.output, "render job array"), join = submittedId(r.output, "join job");
    ASSERT_FALSE(array.empty()) << r.output;
    ASSERT_FALSE(join.empty()) << r.output;
    EXPECT_NE(r.output.find(array + "_2 FAILED"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find(join + " CANCELLED"), std::string::npos) << r.output;
    EXPECT_FALSE(exists(d + "/slurm-" + join + ".out")) << "the join ran";
    EXPECT_FALSE(exists(d + "/out.mp4"));
    for (int i : {0, 1, 3}) EXPECT_TRUE(exists(d + "/" + varnok::chunkPartPath("out.mp4", i, 4))) << i;
    EXPECT_FALSE(exists(d + "/out.part-0002-of-0004.mp4"));
    // The task's own log says why.
    EXPECT_NE(fileBytes(d + "/slurm-" + array + "_2.out").find("in.0027.png"), std::string::npos);

    // A join by hand refuses too, naming the missing part.
    const RunResult j = varnokIn(d, "join out.mp4");
    EXPECT_EQ(j.status, 1);
    EXPECT_NE(j.output.find("out.part-0002-of-0004.mp4"), std::string::npos) << j.output;
    EXPECT_FALSE(exists(d + "/out.mp4"));
}

}  // namespace
