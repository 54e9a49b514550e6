// Hosts differ in how they answer a plug-in: what they give for times before
// the clip starts, whether they give other times at all, and what their image
// labels mean. The pictures must not depend on any of it.
#include <gtest/gtest.h>

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

// A host that says it has no temporal clip access gets no fetch at another
// time, one message per instance in plain words, and the picture of a
// render without history; the plug-in posts nothing else, on any host.
TEST(HostManners, HostWithoutTemporalAccessGetsNoOtherTimeAndOneMessage) {
    FloatImage withoutHistory[3];
    {
        auto inst = temporalInstance(plugin(), 4);
        ASSERT_TRUE(inst);
        ASSERT_TRUE(inst->setValue("useTemporalTracking", ofxhost::ParamValue::number(0)));
        const size_t before = plugin().messages().size();
        for (int i = 0; i < 3; ++i) withoutHistory[i] = inst->render(10 + i).output;
        auto temporal = temporalInstance(plugin(), 4);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(temporal->render(10 + i).status, ofxhost::kStatusOK);
        EXPECT_EQ(plugin().messages().size(), before) << "nothing is posted per render or per sequence";
    }
    HostKind editor(ofxhost::HostDescription{false});
    ASSERT_TRUE(editor.plugin);
    for (int instance = 0; instance < 2; ++instance) {
        auto inst = temporalInstance(*editor.plugin, 4);
        ASSERT_TRUE(inst);
        EXPECT_EQ(inst->getFramesNeeded(10).status, ofxhost::kStatusReplyDefault);
        for (int i = 0; i < 3; ++i) {
            inst->clearFetchLog();
            const auto r = inst->render(10 + i);
            ASSERT_EQ(r.status, ofxhost::kStatusOK);
            for (double t : sourceFetches(*inst)) EXPECT_EQ(t, 10 + i);
            EXPECT_TRUE(sameBits(r.output, withoutHistory[i])) << "frame " << 10 + i;
        }
    }
    const auto messages = editor.plugin->messages();
    ASSERT_EQ(messages.size(), 2u) << "one per instance";
    for (const std::string& m : messages) {
        EXPECT_EQ(m.rfind("OfxMessageWarning: ", 0), 0u) << m;
        EXPECT_NE(m.find("needs a host that gives earlier frames"), std::string::npos) << m;
    }
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
