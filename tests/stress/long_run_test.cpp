// Long runs: thousands of frames through one instance, and the bundle loaded
// and unloaded over and over in one process, must not make memory creep.
// The sanitizer build checks the same runs for leaks at exit.
#include <dirent.h>
#include <malloc.h>

#include "tests/stress/stress_support.h"

namespace {

using ofxhost::ParamValue;

// Bytes the allocator has handed out and not had back. glibc before 2.33 (the
// Debian 11 release build) has only mallinfo, whose int fields suffice for
// the few hundred megabytes these runs hold.
#if __GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 33)
size_t heapInUse() { return mallinfo2().uordblks; }
#else
size_t heapInUse() { return static_cast<unsigned>(mallinfo().uordblks); }
#endif

int openDescriptors() {
    int n = 0;
    if (DIR* d = ::opendir("/proc/self/fd")) {
        while (::readdir(d)) ++n;
        ::closedir(d);
    }
    return n;
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kCountsHeap = false;   // the sanitizers' allocators keep their own books
#else
constexpr bool kCountsHeap = true;
#endif

TEST(LongRun, FiveThousandFramesWithTrackingAndChangingLooksKeepMemoryFlat) {
    std::string error;
    auto plugin = ofxhost::Plugin::load(VARNOK_BUNDLE_PATH, "", &error);
    ASSERT_TRUE(plugin) << error;
    auto inst = plugin->createInstance(ofxhost::kContextFilter);
    ASSERT_TRUE(inst);
    constexpr int kFrames = 5000, kW = 48, kH = 32;
    varnok_stress::feedClip(*inst, kW, kH, 0, kFrames - 1);
    int looks = 0;
    for (const auto& p : plugin->params())
        if (p.name == "builtinPreset") looks = static_cast<int>(p.options.size());
    ASSERT_GT(looks, 1);
    size_t warm = 0;
    for (int f = 0; f < kFrames; ++f) {
        // Every look once in the first 550 frames (what a look sets up the
        // first time it is used is not growth), then a change every 400.
        if (f < 550 ? f % 50 == 0 : f % 400 == 0) {
            // A user switching looks mid-render: the look first, then tracking
            // back on, as a look may turn it off.
            inst->setValue("builtinPreset", ParamValue::number((f < 550 ? f / 50 : f / 400) % looks));
            ASSERT_EQ(inst->instanceChanged("builtinPreset", f), ofxhost::kStatusOK);
            inst->setValue("useTemporalTracking", ParamValue::number(1));
            inst->setValue("fastPreview", ParamValue::number(0));
            inst->setValue("temporalFrames", ParamValue::number(4 + (f / 50) % 5));
        }
        const ofxhost::RenderResult r = inst->render(f);
        ASSERT_EQ(r.status, ofxhost::kStatusOK) << "frame " << f;
        // A host keeps no per-frame record of the fetches it served.
        inst->clearFetchLog();
        if (f == 600) warm = heapInUse();
    }
    EXPECT_EQ(inst->imagesOutstanding(), 0);
    if (kCountsHeap) {
        const size_t end = heapInUse();
        const double growth = static_cast<double>(end) - static_cast<double>(warm);
        // The host's action log is bounded (a few thousand short records);
        // anything kept per frame would be megabytes by now.
        EXPECT_LT(growth, 1.0 * 1024 * 1024) << "heap grew " << growth / 1048576.0 << " MB over 4400 frames";
    }
}

TEST(LongRun, FiftyLoadUnloadCyclesLeaveNothingBehind) {
    size_t afterFirst = 0;
    int fdsAfterFirst = 0;
    for (int cycle = 0; cycle < 50; ++cycle) {
        std::string error;
        auto plugin = ofxhost::Plugin::load(VARNOK_BUNDLE_PATH, "", &error);
        ASSERT_TRUE(plugin) << "cycle " << cycle << ": " << error;
        ASSERT_FALSE(plugin->params(ofxhost::kContextFilter).empty());
        {
            auto inst = plugin->createInstance(ofxhost::kContextFilter);
            ASSERT_TRUE(inst) << "cycle " << cycle;
            varnok_stress::feedClip(*inst, 32, 24, 0, 0);
            ASSERT_EQ(inst->render(0).status, ofxhost::kStatusOK) << "cycle " << cycle;
        }
        plugin.reset();
        if (cycle == 0) {
            afterFirst = heapInUse();
            fdsAfterFirst = openDescriptors();
        }
    }
    EXPECT_EQ(openDescriptors(), fdsAfterFirst);
    if (kCountsHeap) {
        const double growth = static_cast<double>(heapInUse()) - static_cast<double>(afterFirst);
        EXPECT_LT(growth, 256.0 * 1024) << "heap grew " << growth / 1024.0 << " KB over 49 cycles";
    }
}

}  // namespace
