// Hosts differ in how they answer a plug-in: what they give for times before
// the clip starts, whether they give other times at all, and what their image
// labels mean. The pictures must not depend on any of it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/worker_pool.h"
#include "varnok_test_support.h"

#if !defined(_WIN32)
#include <sys/resource.h>
#include <unistd.h>
#endif

// A capped address space and the sanitizers' shadow memory do not mix.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VARNOK_UNDER_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define VARNOK_UNDER_SANITIZER 1
#endif
#endif

namespace {

using ofxhost::FloatImage;
using varnok_test::movingSquares;
using varnok_test::plugin;

constexpr int kW = 64;
constexpr int kH = 48;

bool sameBits(const FloatImage& a, const FloatImage& b) {
    return a.width == b.width && a.height == b.height && a.rgba.size() == b.rgba.size() &&
           std::memcmp(a.rgba.data(), b.rgba.data(), a.rgba.size() * sizeof(float)) == 0;
}

// Temporal tracking with trails and speed labels, so every earlier frame the
// render takes shows in the picture.
std::unique_ptr<ofxhost::Instance> temporalInstance(ofxhost::Plugin& p, int frames) {
    auto inst = p.createInstance(ofxhost::kContextFilter);
    if (!inst) return inst;
    for (const auto& [name, v] : std::vector<std::pair<const char*, double>>{
             {"fastPreview", 0}, {"useTemporalTracking", 1}, {"temporalFrames", frames}, {"drawTrails", 1},
             {"drawLabels", 1}, {"labelVelocity", 1}})
        EXPECT_TRUE(inst->setValue(name, ofxhost::ParamValue::number(v))) << name;
    inst->setFrameProvider("Source", [](double t, FloatImage& out) {
        out = movingSquares(kW, kH, t);
        return true;
    });
    return inst;
}

std::vector<double> sourceFetches(const ofxhost::Instance& inst) {
    std::vector<double> times;
    for (const auto& f : inst.fetchLog())
        if (f.clip == "Source") times.push_back(f.time);
    return times;
}

// A clip that starts at frame 5: whether the host refuses earlier times,
// holds the first frame for them or has pictures there anyway, the render
// takes only the frames the clip has, and looks as it does where the frames
// before 5 are simply missing.
TEST(HostManners, EarlierFramesStayInsideTheClipsFrameRange) {
    auto missingBefore5 = temporalInstance(plugin(), 3);
    ASSERT_TRUE(missingBefore5);
    missingBefore5->setFrameProvider("Source", [](double t, FloatImage& out) {
        if (t < 5) return false;
        out = movingSquares(kW, kH, t);
        return true;
    });
    const std::pair<ofxhost::OutsideRange, const char*> hosts[] = {
        {ofxhost::OutsideRange::Refuse, "refuses"},
        {ofxhost::OutsideRange::HoldEnds, "holds the first frame"},
        {ofxhost::OutsideRange::AskProvider, "has pictures before the range"},
    };
    for (const auto& [mode, what] : hosts) {
        auto inst = temporalInstance(plugin(), 3);
        ASSERT_TRUE(inst);
        inst->setFrameRange(5, 100);
        inst->setOutsideRange(mode);
        struct Case {
            double t;
            std::vector<double> fetched;   // source fetches, current frame included
            std::vector<std::pair<double, double>> needed;
        };
        for (const Case& c : {Case{5, {5}, {}}, Case{6.0, {6, 5}, {{5, 6}}}, Case{7, {7, 5, 6}, {{5, 7}}},
                              Case{9, {9, 6, 7, 8}, {{6, 9}}}}) {
            inst->clearFetchLog();
            const auto r = inst->render(c.t);
            ASSERT_EQ(r.status, ofxhost::kStatusOK) << what;
            EXPECT_EQ(sourceFetches(*inst), c.fetched) << what << " at " << c.t;
            const auto want = missingBefore5->render(c.t);
            EXPECT_TRUE(sameBits(r.output, want.output)) << what << " at " << c.t;
            const auto needed = inst->getFramesNeeded(c.t);
            if (c.needed.empty()) {
                EXPECT_EQ(needed.status, ofxhost::kStatusReplyDefault) << what << " at " << c.t;
            } else {
                EXPECT_EQ(needed.ranges.at("Source"), c.needed) << what << " at " << c.t;
            }
        }
    }
}

// The library keeps the description of its latest load: a test that loads it
// as another kind of host loads it back as the usual one when it is done.
struct HostKind {
    explicit HostKind(const ofxhost::HostDescription& d) {
        std::string error;
        plugin = ofxhost::Plugin::load(VARNOK_BUNDLE_PATH, "", &error, d);
        EXPECT_TRUE(plugin) << error;
    }
    ~HostKind() {
        plugin.reset();
        std::string error;
        ofxhost::Plugin::load(VARNOK_BUNDLE_PATH, "", &error);
    }
    std::unique_ptr<ofxhost::Plugin> plugin;
};

// Editors that give no earlier frames (MLT's module, a host without temporal
// clip access): frames rendered in order equal those of a host that serves
// earlier frames, trails included, fetching nothing at another time; two
// clips with the same settings rendered side by side do not lend each other
// regions, and each renders as without history; the user is told once in
// the process, however many instances the host makes.
TEST(HostManners, EditorsWithoutEarlierFramesTrackWhatTheyRendered) {
    constexpr int kFrames = 4;
    FloatImage served[6], withoutHistory[2][4];
    {
        auto inst = temporalInstance(plugin(), kFrames);
        ASSERT_TRUE(inst);
        inst->setFrameRange(0, 100);
        for (int t = 0; t < 6; ++t) served[t] = inst->render(t).output;
        ASSERT_TRUE(inst->setValue("useTemporalTracking", ofxhost::ParamValue::number(0)));
        EXPECT_FALSE(sameBits(served[5], inst->render(5).output)) << "the trails must show";
        for (int stream = 0; stream < 2; ++stream) {
            inst->setFrameProvider("Source", [stream](double t, FloatImage& out) {
                out = movingSquares(kW, kH, t + 9 * stream);
                return true;
            });
            for (int i = 0; i < 4; ++i) withoutHistory[stream][i] = inst->render(20 + i).output;
        }
    }
    for (const auto& [host, what] : {std::pair{ofxhost::HostDescription{false}, "no temporal access"},
                                     std::pair{ofxhost::HostDescription::mltLike(), "like MLT"}}) {
        HostKind editor(host);
        ASSERT_TRUE(editor.plugin);
        auto inst = temporalInstance(*editor.plugin, kFrames);
        ASSERT_TRUE(inst);
        inst->setFrameRange(0, 100);
        EXPECT_EQ(inst->getFramesNeeded(3).status, ofxhost::kStatusReplyDefault) << what;
        for (int t = 0; t < 6; ++t) {
            inst->clearFetchLog();
            const auto r = inst->render(t);
            ASSERT_EQ(r.status, ofxhost::kStatusOK) << what;
            for (double f : sourceFetches(*inst)) EXPECT_EQ(f, t) << what;
            EXPECT_TRUE(sameBits(r.output, served[t])) << what << ", frame " << t;
        }
        std::unique_ptr<ofxhost::Instance> streams[2];
        for (int stream = 0; stream < 2; ++stream) {
            streams[stream] = temporalInstance(*editor.plugin, kFrames);
            ASSERT_TRUE(streams[stream]);
            streams[stream]->setFrameProvider("Source", [stream](double t, FloatImage& out) {
                out = movingSquares(kW, kH, t + 9 * stream);
                return true;
            });
        }
        for (int i = 0; i < 4; ++i)
            for (int stream = 0; stream < 2; ++stream)
                EXPECT_TRUE(sameBits(streams[stream]->render(20 + i).output, withoutHistory[stream][i]))
                    << what << ", stream " << stream << ", frame " << 20 + i;
        int told = 0;
        for (const std::string& m : editor.plugin->messages())
            if (m.find("gives no earlier frames") != std::string::npos) {
                ++told;
                EXPECT_NE(m.find("render the clip in order from its first frame"), std::string::npos) << m;
            }
        // The library stays loaded from one host to the next: once in the process.
        EXPECT_EQ(told, host.likeMlt ? 0 : 1) << what;
    }
}

// "Overlay seul" is declared premultiplied, as it is drawn, in every host
// and output mode; laid over the source as a host lays a premultiplied
// layer, it gives the picture drawn straight onto the source, with no dark
// edge where the overlay is partly clear (which reading it as straight
// colour would leave).
TEST(HostManners, OverlayAloneCompositesOverThePlateWithoutFringes) {
    HostKind editor(ofxhost::HostDescription::mltLike());
    ASSERT_TRUE(editor.plugin);
    auto inst = temporalInstance(*editor.plugin, 0);
    ASSERT_TRUE(inst);
    ASSERT_TRUE(inst->setValue("glowAmount", ofxhost::ParamValue::number(0)));
    const double t = 7;
    FloatImage rendered[3];
    for (int mode = 0; mode < 3; ++mode) {
        ASSERT_TRUE(inst->setValue("outputMode", ofxhost::ParamValue::number(mode)));
        EXPECT_EQ(inst->outputPremultiplication(), "OfxImageAlphaPremultiplied") << "mode " << mode;
        rendered[mode] = inst->render(t).output;
    }
    const FloatImage plate = movingSquares(kW, kH, t);
    const FloatImage& layer = rendered[1];
    const FloatImage& drawnOn = rendered[0];
    ASSERT_EQ(layer.rgba.size(), plate.rgba.size());
    float worstPremultiplied = 0, worstStraight = 0;
    int edges = 0;
    for (size_t i = 0; i < plate.rgba.size(); i += 4) {
        const float a = layer.rgba[i + 3];
        edges += a > 0.01f && a < 0.99f;
        for (size_t c = 0; c < 3; ++c) {
            const float under = plate.rgba[i + c] * (1 - a);
            worstPremultiplied = std::max(worstPremultiplied, std::fabs(layer.rgba[i + c] + under - drawnOn.rgba[i + c]));
            worstStraight = std::max(worstStraight, std::fabs(layer.rgba[i + c] * a + under - drawnOn.rgba[i + c]));
        }
    }
    EXPECT_GT(edges, 10) << "the overlay should have soft edges";
    EXPECT_LT(worstPremultiplied, 1e-5f);
    EXPECT_GT(worstStraight, 0.05f) << "the test should see a fringe where there is one";
}

// Labels are a hint. One label for every image of the clip, a label per
// time, a new label on every fetch: the pictures equal those of a host
// without labels, on later renders and out of order too.
TEST(HostManners, ImageLabelsNeverChangeThePicture) {
    auto unlabelled = temporalInstance(plugin(), 5);
    ASSERT_TRUE(unlabelled);
    int serial = 0;
    const std::pair<const char*, ofxhost::FrameLabeler> labelers[] = {
        {"one label for the clip", [](double) { return std::string("clip"); }},
        {"a label per time", [](double t) { return "clip@" + std::to_string(t); }},
        {"a new label per fetch", [&serial](double) { return "fetch" + std::to_string(++serial); }},
    };
    for (const auto& [what, labeler] : labelers) {
        for (int scale : {0, 2}) {
            auto inst = temporalInstance(plugin(), 5);
            ASSERT_TRUE(inst);
            inst->setFrameLabeler("Source", labeler);
            ASSERT_TRUE(inst->setValue("detectionScale", ofxhost::ParamValue::number(scale)));
            ASSERT_TRUE(unlabelled->setValue("detectionScale", ofxhost::ParamValue::number(scale)));
            for (double t : {10.0, 11.0, 12.0, 10.0, 20.0}) {
                const auto r = inst->render(t);
                ASSERT_EQ(r.status, ofxhost::kStatusOK) << what;
                EXPECT_TRUE(sameBits(r.output, unlabelled->render(t).output))
                    << what << ", detection scale " << scale << ", frame " << t;
            }
        }
    }
}

#if !defined(_WIN32) && !defined(VARNOK_UNDER_SANITIZER)
// Runs in a process of its own, whose address space is then capped a little
// above what it uses: a frame that no longer fits is a status from the
// plug-in (its copies of the frame) and from the host (its output image),
// never a crash. Exit code 0 when both said kOfxStatErrMemory.
[[noreturn]] void renderWithoutMemory() {
    ofxhost::setWorkerCount(1);   // no thread to start once memory is short
    int side = 512;
    auto inst = plugin().createInstance(ofxhost::kContextFilter);
    if (!inst) std::_Exit(3);
    inst->setFrameProvider("Source", [&side](double t, FloatImage& out) {
        out = movingSquares(side, side, t);
        return true;
    });
    if (inst->render(1).status != ofxhost::kStatusOK) std::_Exit(4);
    long pages = 0;
    FILE* statm = std::fopen("/proc/self/statm", "r");
    if (!statm || std::fscanf(statm, "%ld", &pages) != 1) std::_Exit(5);
    std::fclose(statm);
    // Room for the host's 64 MB source and output at 2048 x 2048, not for
    // the plug-in's copies besides.
    const rlim_t cap = static_cast<rlim_t>(pages) * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + (160u << 20);
    const rlimit limit{cap, cap};
    if (::setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(6);
    side = 2048;
    const int plugin = inst->render(2).status;
    side = 16;
    ofxhost::RenderOptions huge;
    huge.width = 30000;
    huge.height = 30000;
    const int host = inst->render(3, huge).status;
    std::_Exit(plugin == ofxhost::kStatusErrMemory && host == ofxhost::kStatusErrMemory ? 0 : 10 + plugin * 16 + host);
}

TEST(HostMannersDeathTest, ExhaustedMemoryIsAStatusNotACrash) {
#ifdef GTEST_FLAG_SET
    GTEST_FLAG_SET(death_test_style, "threadsafe");
#else  // GoogleTest before 1.12 (Debian 11's, for the release root)
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
#endif
    EXPECT_EXIT(renderWithoutMemory(), ::testing::ExitedWithCode(0), "");
}
#endif

}  // namespace
