// The effect instance: one per instance the host creates. It holds a handle
// to both clips and to every parameter of the catalogue, fetched once at
// construction (the base keeps them by name), and a
// cache of the regions found in earlier frames, keyed by the host's image
// labels; every action reads the parameters afresh, and the cache changes
// no result, only how often pixels are read.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "engine/row_bands.h"
#include "engine/tracks.h"
#include "engine/types.h"
#include "openfx/support/ofx_support.h"
#include "pipeline/process_frame.h"
#include "plugin/detection_cache.h"

class VarnokPlugin : public OFX::ImageEffect {
public:
    explicit VarnokPlugin(OfxImageEffectHandle handle);
    ~VarnokPlugin() override;

    void render(const OFX::RenderArguments& args) override;
    bool isIdentity(const OFX::IsIdentityArguments& args, OFX::Clip*& identityClip,
                    double& identityTime) override;
    void getFramesNeeded(const OFX::FramesNeededArguments& args,
                         OFX::FramesNeededSetter& frames) override;
    void changedParam(const OFX::InstanceChangedArgs& args, const std::string& paramName) override;
    // Logs how often earlier frames were recognised by their label, once per
    // sequence the host renders.
    void endSequenceRender(const OFX::EndSequenceRenderArguments& args) override;

    // Every non-preset parameter at `time`, converted, scaled by the HUD size
    // factor and with fast preview and temporal tracking folded in.
    ormel::Settings settingsAt(double time) const;

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
    // The regions of the `frames` source frames before `time`, oldest first,
    // each from the cache or detected in the host image reduced for
    // detection. Frames that are missing or of another size than `width` x
    // `height` are left out.
    void collectEarlierRegions(double time, int32_t frames, int32_t width, int32_t height,
                               const ormel::Settings& settings, const ormel::RowBands& bands,
                               std::vector<ormel::Image>& reduced, std::vector<ormel::FrameRegions>& earlier);

    ormel::DetectionCache detections_;
    // Frame-sized memory reused from one render to the next, so a render
    // takes no fresh pages; every render overwrites all of it. Renders of one
    // instance come one at a time, and a render that finds it busy uses its own.
    struct Scratch {
        ormel::Image current;
        ormel::TraceResult result;
        ormel::FrameScratch frame;
        std::vector<ormel::Image> reduced;  // earlier frames awaiting detection
    };
    std::mutex scratchMutex_;
    Scratch scratch_;
};
