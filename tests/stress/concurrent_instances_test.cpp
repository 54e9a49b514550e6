// Hosts render several instances of one plug-in at once, each on its own
// thread. Every instance must give exactly the frames it gives alone, and the
// host library's shared records must stay whole. Run under ThreadSanitizer in CI.
#include <thread>

#include "tests/stress/stress_support.h"

namespace {

using varnok_stress::Setting;
using ofxhost::ParamValue;

constexpr int kW = 96, kH = 64, kFrames = 10;

// Looks that take different paths through the effect: temporal tracking,
// pixel sort on the processor and on the GPU engine, a treatment stack.
std::vector<std::vector<Setting>> looks() {
    return {
        {{"useTemporalTracking", ParamValue::number(1)}, {"fastPreview", ParamValue::number(0)},
         {"temporalFrames", ParamValue::number(6)}, {"drawTrails", ParamValue::number(1)}},
        {{"pixelSortEnable", ParamValue::number(1)}, {"renderEngine", ParamValue::number(0)},
         {"pixelSortAmount", ParamValue::number(0.9)}},
        {{"pixelSortEnable", ParamValue::number(1)}, {"renderEngine", ParamValue::number(1)},
         {"useTemporalTracking", ParamValue::number(1)}, {"fastPreview", ParamValue::number(0)},
         {"temporalFrames", ParamValue::number(3)}},
        {{"targetColor", ParamValue::numbers3(0.95, 0.05, 0.04)}, {"glitchAmount", ParamValue::number(0.6)},
         {"scanline", ParamValue::number(0.5)}, {"drawBoxText", ParamValue::number(1)}},
    };
}

std::vector<ofxhost::FloatImage> renderLook(ofxhost::Plugin& plugin, const std::vector<Setting>& look) {
    std::vector<ofxhost::FloatImage> out;
    int status = 0;
    auto inst = plugin.createInstance(ofxhost::kContextFilter, &status);
    if (!inst) {
        ADD_FAILURE() << "createInstance: " << ofxhost::statusName(status);
        return out;
    }
    for (const auto& [name, value] : look)
        if (!inst->setValue(name, value)) ADD_FAILURE() << "cannot set " << name;
    varnok_stress::feedClip(*inst, kW, kH, 0, kFrames - 1);
    for (int f = 0; f < kFrames; ++f) {
        ofxhost::RenderResult r = inst->render(f);
        if (r.status != ofxhost::kStatusOK) ADD_FAILURE() << "render " << f << ": " << ofxhost::statusName(r.status);
        out.push_back(std::move(r.output));
    }
    return out;
}

TEST(ConcurrentInstances, ThreadedRendersMatchSerialRendersBitForBit) {
    std::string error;
    // A fresh load: the first describe and instance creation happen on the
    // worker threads, at the same moment.
    auto plugin = ofxhost::Plugin::load(VARNOK_BUNDLE_PATH, "", &error);
    ASSERT_TRUE(plugin) << error;
    const auto all = looks();
    std::vector<std::vector<ofxhost::FloatImage>> threaded(all.size() * 2);
    {
        std::vector<std::thread> threads;
        // Each look twice, so two instances with the same settings also run side by side.
        for (size_t i = 0; i < threaded.size(); ++i)
            threads.emplace_back([&, i] { threaded[i] = renderLook(*plugin, all[i % all.size()]); });
        // The host's records are read while the actions run.
        for (int k = 0; k < 50; ++k) {
            const auto actions = plugin->actions();
            const auto messages = plugin->messages();
            EXPECT_GE(actions.size(), 1u);
            std::this_thread::yield();
        }
        for (auto& t : threads) t.join();
    }
    for (size_t i = 0; i < all.size(); ++i) {
        const auto serial = renderLook(*plugin, all[i]);
        ASSERT_EQ(serial.size(), static_cast<size_t>(kFrames));
        for (size_t copy : {i, i + all.size()}) {
            ASSERT_EQ(threaded[copy].size(), serial.size()) << "look " << i;
            for (int f = 0; f < kFrames; ++f)
                EXPECT_TRUE(varnok_stress::sameBits(threaded[copy][f], serial[f])) << "look " << i << " frame " << f;
        }
    }
    // Every action the threads ran is in the log: 8 instances, each created,
    // destroyed and rendered kFrames times with its frames-needed calls.
    int renders = 0, creates = 0, destroys = 0;
    for (const auto& a : plugin->actions()) {
        renders += a.action == "OfxImageEffectActionRender";
        creates += a.action == "OfxActionCreateInstance";
        destroys += a.action == "OfxActionDestroyInstance";
    }
    const int instances = static_cast<int>(threaded.size() + all.size());
    EXPECT_EQ(creates, instances);
    EXPECT_EQ(destroys, instances);
    EXPECT_EQ(renders, instances * kFrames);
}

}  // namespace
