// The effect instance: one per instance the host creates. It holds a handle
// to both clips and to every parameter of the catalogue, fetched once at
// construction (the base keeps them by name), and a
// cache of the regions found in earlier frames, keyed by the host's image
// labels and the frames' times; every action reads the parameters afresh,
// and the cache changes no result, only how often pixels are read.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "catalogue/param_catalogue.h"
#include "engine/row_bands.h"
#include "engine/tracks.h"
#include "engine/types.h"
#include "openfx/support/ofx_support.h"
#include "pipeline/process_frame.h"
#include "plugin/detection_cache.h"
#include "plugin/earlier_frames.h"
#include "plugin/held_param_reader.h"

class VarnokPlugin : public OFX::ImageEffect {
public:
    explicit VarnokPlugin(OfxImageEffectHandle handle);
    ~VarnokPlugin() override;

    void render(const OFX::RenderArguments& args) override;
    bool isIdentity(const OFX::IsIdentityArguments& args, OFX::Clip*& identityClip,
                    double& identityTime) override;
    void getFramesNeeded(const OFX::FramesNeededArguments& args,
                         OFX::FramesNeededSetter& frames) override;
    void getClipPreferences(OFX::ClipPreferencesSetter& preferences) override;
    void changedParam(const OFX::InstanceChangedArgs& args, const std::string& paramName) override;

    // Every non-preset parameter at `time`, converted, scaled by the HUD size
    // factor and the render scale, with fast preview and temporal tracking
    // folded in.
    ormel::Settings settingsAt(double time, double renderScale = 1.0) const;

    // Preset operations (varnok_plugin_presets.cpp). Looks and files change
    // the effect only by writing parameter values through the host.
    void applyPresetBase();
    void applyBuiltinPreset(int index);
    void savePreset(const std::string& path, double time, const std::string& name);
    bool loadPreset(const std::string& path);
    // customPresetName, or "Preset perso NN" for the selected slot when empty.
    std::string currentCustomPresetName() const;

    // Read access for the actions and the preset operations.
    OFX::Clip* outputClip = nullptr;
    OFX::Clip* sourceClip = nullptr;

private:
    // The source clip's frame range as the host gives it now.
    ClipFrameRange sourceRange() const;
    // Says once per process, where the user will see it, that this host
    // gives no earlier frames; an instance that showed it clears it once
    // remembered regions are in use.
    void tellNoEarlierFrames(bool rememberedInUse);

    // The controls' declared ranges, which every value read is held to.
    const ormel::ParamRanges ranges_;
    // False when the host's description says it has no temporal clip access.
    bool temporalHost_ = true;
    std::atomic<bool> showingNoEarlierFrames_{false};
    // Image labels are a hint: a host that gives one label to frames of two
    // different times (one label for the whole clip, say) loses the cache
    // for this instance.
    std::atomic<bool> labelsTrusted_{true};
    ormel::DetectionCache detections_;
    // Frame-sized memory reused from one render to the next, so a render
    // takes no fresh pages; every render overwrites all of it. Renders of one
    // instance come one at a time, and a render that finds it busy uses its own.
    struct Scratch {
        ormel::Image current;
        ormel::TraceResult result;
        ormel::FrameScratch frame;
        std::deque<ormel::Image> reduced;  // earlier frames awaiting detection
    };
    std::mutex scratchMutex_;
    Scratch scratch_;
};
