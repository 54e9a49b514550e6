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

// Keeps the object that holds it in the live-handle registry. Declared as the
// holder's last member, it registers the holder once every other member
// exists and unregisters it before any goes. Not copyable, and so neither is
// the holder: a handle names one object.
class HandleRegistration {
public:
    HandleRegistration(const void* holder, HandleKind kind) : holder_(holder) {
        registerHandle(holder, kind);
    }
    ~HandleRegistration() { unregisterHandle(holder_); }
    HandleRegistration(const HandleRegistration&) = delete;
    HandleRegistration& operator=(const HandleRegistration&) = delete;

private:
    const void* holder_;
};

// A suite call handing out the handle of one member of the object behind a
// handle: no object is a bad handle, nowhere to write it a bad value.
template <class Out, class Obj, class Member>
OfxStatus handOut(Obj* obj, Out* out, Member Obj::*member) {
    if (!obj) return kOfxStatErrBadHandle;
    if (!out) return kOfxStatErrValue;
    *out = reinterpret_cast<Out>(&(obj->*member));
    return kOfxStatOK;
}

// A suite call handing out the object found by name, and its property set
// where the caller asks for it.
template <class Handle, class Obj>
OfxStatus handOutFound(Obj* found, Handle* handle, OfxPropertySetHandle* props) {
    if (!found) return kOfxStatErrUnknown;
    *handle = reinterpret_cast<Handle>(found);
    if (props) *props = reinterpret_cast<OfxPropertySetHandle>(&found->props);
    return kOfxStatOK;
}

struct ParamObj {
    std::string name;
    std::string type;
    ParamKind kind = ParamKind::Double;
    PropertySet props;
    AnimatedValue anim;              // instances only
    std::string scratch;             // text handed to the plug-in by the last string read
    // Parametric parameters: per curve, the control points (position, value)
    // by position; a descriptor's are the instances' defaults.
    std::vector<std::vector<std::pair<double, double>>> curves;
    EffectObj* owner = nullptr;

    HandleRegistration registration{this, HandleKind::Param};
};

struct ParamSetObj {
    PropertySet props;
    std::vector<std::unique_ptr<ParamObj>> params;   // definition order
    std::map<std::string, ParamObj*> byName;
    EffectObj* owner = nullptr;

    HandleRegistration registration{this, HandleKind::ParamSet};
};

struct ClipObj {
    std::string name;
    PropertySet props;
    ImageLayout layout;
    BitDepth depth = BitDepth::Float;             // as the clip preferences settled them
    Components components = Components::RGBA;
    // How colour relates to alpha in its images: footage is taken as
    // unpremultiplied; the output is what the plug-in's preferences declare.
    std::string premultiplication = kOfxImageUnPreMultiplied;
    FrameProvider provider;               // at most one of the two is set
    SharedFrameProvider sharedProvider;
    FrameLabeler labeler;
    FrameShapeProvider shape;
    EffectObj* owner = nullptr;

    HandleRegistration registration{this, HandleKind::Clip};
};

// An image handed out by clipGetImage: its property set is the handle.
struct ImageObj {
    PropertySet props;
    std::shared_ptr<ImageBuffer> buffer;
};

struct PluginState;

struct EffectObj {
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

    HandleRegistration registration{this, HandleKind::Effect};
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
    int preferencesStatus = kOfxStatReplyDefault;   // of the latest clip-preferences action
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
// A suite the plug-in asked for and did not get, kept with the plug-in whose
// action is under way (or until the next load, outside actions).
void noteMissingSuite(const std::string& name, int version);
std::vector<std::string> takeMissingSuitesOutsideActions();
std::vector<std::string> missingSuitesOf(const PluginState& p);

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
const void* parametricSuite();
void forgetImagesOf(InstanceState* s);
}  // namespace ofxhost
