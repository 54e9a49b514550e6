// The objects behind the OpenFX handles a plug-in receives: effects (both
// descriptors and instances), parameter sets, parameters, clips and images.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "host/image_buffer.h"
#include "host/ofx_host.h"
#include "host/param_animation.h"
#include "host/property_set.h"
#include "openfx/include/ofxImageEffect.h"

namespace ofxhost {

struct EffectObj;
struct InstanceState;

struct ParamObj {
    ParamObj() { registerHandle(this, HandleKind::Param); }
    ~ParamObj() { unregisterHandle(this); }
    ParamObj(const ParamObj&) = delete;
    ParamObj& operator=(const ParamObj&) = delete;

    std::string name;
    std::string type;
    ParamKind kind = ParamKind::Double;
    PropertySet props;
    AnimatedValue anim;              // instances only
    std::string scratch;             // text handed to the plug-in by the last string read
    EffectObj* owner = nullptr;
};

struct ParamSetObj {
    ParamSetObj() { registerHandle(this, HandleKind::ParamSet); }
    ~ParamSetObj() { unregisterHandle(this); }
    ParamSetObj(const ParamSetObj&) = delete;
    ParamSetObj& operator=(const ParamSetObj&) = delete;

    PropertySet props;
    std::vector<std::unique_ptr<ParamObj>> params;   // definition order
    std::map<std::string, ParamObj*> byName;
    EffectObj* owner = nullptr;
};

struct ClipObj {
    ClipObj() { registerHandle(this, HandleKind::Clip); }
    ~ClipObj() { unregisterHandle(this); }
    ClipObj(const ClipObj&) = delete;
    ClipObj& operator=(const ClipObj&) = delete;

    std::string name;
    PropertySet props;
    ImageLayout layout;
    BitDepth depth = BitDepth::Float;             // as the clip preferences settled them
    Components components = Components::RGBA;
    FrameProvider provider;               // at most one of the two is set
    SharedFrameProvider sharedProvider;
    FrameLabeler labeler;
    FrameShapeProvider shape;
    EffectObj* owner = nullptr;
};

// An image handed out by clipGetImage: its property set is the handle.
struct ImageObj {
    PropertySet props;
    std::shared_ptr<ImageBuffer> buffer;
};

struct PluginState;

struct EffectObj {
    EffectObj() { registerHandle(this, HandleKind::Effect); }
    ~EffectObj() { unregisterHandle(this); }
    EffectObj(const EffectObj&) = delete;
    EffectObj& operator=(const EffectObj&) = delete;

    bool isDescriptor = true;
    PropertySet props;
    ParamSetObj paramSet;
    std::vector<std::unique_ptr<ClipObj>> clips;   // definition order
    PluginState* plugin = nullptr;
    InstanceState* instance = nullptr;              // instances only

    ClipObj* clip(const std::string& name) {
        for (auto& c : clips)
            if (c->name == name) return c.get();
        return nullptr;
    }
};

struct InstanceState {
    std::unique_ptr<EffectObj> effect;
    std::string context;
    PluginState* plugin = nullptr;
    std::vector<FetchRecord> fetches;
    int peakImages = 0;                         // most images held at once since the log was cleared
    std::map<PropertySet*, std::unique_ptr<ImageObj>> images;   // handed out, not released
    std::shared_ptr<ImageBuffer> output;       // the output image of the render under way
    FloatImage spareOutput;                    // a finished output handed back for reuse
    double actionTime = 0.0;                   // time of the action under way
    bool inAction = false;
    std::vector<std::string> pluginEdits;      // parameters the plug-in wrote during an action
    // Source frames fetched during the current action, so a frame is made once.
    struct CachedFrame {
        std::string clip;
        double time;
        std::shared_ptr<const FloatImage> frame;
    };
    std::vector<CachedFrame> actionFrames;
    // Pixels of images handed out before they existed are made under this
    // lock, whichever thread reads them; a frame gone by then counts here.
    std::mutex latePixelsMutex;
    std::atomic<int> latePixelsMissing{0};
    // Input images handed out, and those whose pixels the plug-in asked for.
    std::atomic<long> inputImagesFetched{0}, inputImagesRead{0};
    bool preferencesDirty = true;              // clip preferences to run again before the next action
    double frameFirst = -1048576.0, frameLast = 1048576.0, frameRate = 24.0;
    OutsideRange outsideRange = OutsideRange::AskProvider;
    double renderScale = 1.0;
    double projectWidth = 1920.0, projectHeight = 1080.0;
};

// Builds the properties of a fresh descriptor parameter of `type`.
void initParamDescriptor(ParamObj& p, const std::string& type, const std::string& name);
void initClipDescriptor(ClipObj& c, const std::string& name);
void initEffectDescriptor(PropertySet& props, const std::string& bundlePath);

// The process-wide OpenFX host record and its suites.
struct OfxHost* hostRecord(const HostDescription& description);
const void* fetchSuite(const char* name, int version);

// Registers the plug-in whose action is under way on this thread (messages
// and plug-in edits land there); null outside actions.
void setActivePlugin(PluginState* p);
PluginState* activePlugin();
void postMessage(PluginState* p, const std::string& text);

// Plug-in image release for the instance-side bookkeeping.
bool isLiveImage(PropertySet* p);

}  // namespace ofxhost

namespace ofxhost {
// The frame of an input clip at `t`, made once per action; null when the
// clip has no provider or the provider has no frame there.
std::shared_ptr<const FloatImage> frameAt(InstanceState& s, ClipObj& c, double t);
// The time whose frame a fetch of an input clip at `t` gets, by the clip's
// frame range and the host's way with times outside it; false when refused.
bool frameTimeFor(const InstanceState& s, double t, double* frameTime);
// The clip's frame at `t` from its provider, leaving the action's frames alone.
std::shared_ptr<const FloatImage> provideFrame(ClipObj& c, double t);
// Properties of an instance clip that follow its layout and the frame range.
void refreshClipProps(ClipObj& c, const InstanceState& s);
}  // namespace ofxhost

namespace ofxhost {
const void* imageEffectSuite();
const void* parameterSuite();
const void* memorySuite();
const void* multiThreadSuite();
const void* messageSuite(int version);
void forgetImagesOf(InstanceState* s);
}  // namespace ofxhost
