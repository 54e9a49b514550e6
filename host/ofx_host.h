// A small OpenFX host: loads any image-effect bundle, describes it, creates
// instances, stores parameter values with keyframes, feeds clips from frame
// providers and runs the actions. Deliberately free of OpenFX headers so that
// tools and tests can use it without the C API in scope.
//
// Typical use:
//   std::string err;
//   auto plugin = ofxhost::Plugin::load("Varnok.ofx.bundle", "", &err);
//   auto inst = plugin->createInstance(ofxhost::kContextFilter);
//   inst->setFrameProvider("Source", [](double t, ofxhost::FloatImage& img) {...});
//   inst->setValue("hudScale", ofxhost::ParamValue::number(3));
//   ofxhost::RenderResult r = inst->render(10);
//   if (r.status != ofxhost::kStatusOK) puts(ofxhost::statusName(r.status));
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ofxhost {

// OfxStatus values, as the standard numbers them.
constexpr int kStatusOK = 0;
constexpr int kStatusFailed = 1;
constexpr int kStatusErrFatal = 2;
constexpr int kStatusErrUnknown = 3;
constexpr int kStatusErrMissingHostFeature = 4;
constexpr int kStatusErrUnsupported = 5;
constexpr int kStatusErrExists = 6;
constexpr int kStatusErrFormat = 7;
constexpr int kStatusErrMemory = 8;
constexpr int kStatusErrBadHandle = 9;
constexpr int kStatusErrBadIndex = 10;
constexpr int kStatusErrValue = 11;
constexpr int kStatusReplyYes = 12;
constexpr int kStatusReplyNo = 13;
constexpr int kStatusReplyDefault = 14;

// "kOfxStatErrUnsupported" and so on; "kOfxStat(<n>)" for unknown codes.
std::string statusName(int status);

// An action's name as users read it: "render", "create-instance",
// "describe-in-context", "clip preferences", "region of definition"...
std::string actionLabel(const std::string& action);

// Told, on the acting thread, of each action as it starts (`time` NaN when
// the action has none) and, with a null action, as it ends; for a crash
// report that names the culprit. One watcher per process; null for none.
using ActionWatcher = void (*)(const char* pluginId, const char* action, double time);
void setActionWatcher(ActionWatcher watcher);

// Context names as the standard spells them.
extern const char* const kContextFilter;   // "OfxImageEffectContextFilter"
extern const char* const kContextGeneral;  // "OfxImageEffectContextGeneral"
extern const char* const kContextGenerator;
extern const char* const kContextTransition;
extern const char* const kContextPaint;

enum class BitDepth { Byte, Short, Half, Float };
enum class RowOrder { TopFirst, BottomFirst };
enum class Components { RGBA, RGB, Alpha };

// Packed float RGBA, 4 floats per pixel, top-down as image files store
// pictures: row 0 is the top of the picture. OpenFX counts rows up from the
// bottom, so row 0 is handed to plug-ins as the image's highest row (y2 - 1).
struct FloatImage {
    int width = 0;
    int height = 0;
    std::vector<float> rgba;

    FloatImage() = default;
    FloatImage(int w, int h, float fill = 0.0f);
    bool empty() const { return width <= 0 || height <= 0; }
    float* pixel(int x, int y) { return rgba.data() + (static_cast<size_t>(y) * width + x) * 4; }
    const float* pixel(int x, int y) const {
        return rgba.data() + (static_cast<size_t>(y) * width + x) * 4;
    }
};

// How the host hands a clip's images to the plug-in. Real hosts differ in
// every one of these; tests switch them to exercise each path.
struct ImageLayout {
    // The footage's own format. Images reach the plug-in in the depth and
    // components the clip preferences settled on (converted from the footage,
    // and the output back to float), unless `imposeFormat` hands them exactly
    // as given here whatever the plug-in declared, as a careless host would.
    BitDepth depth = BitDepth::Float;
    Components components = Components::RGBA;
    bool imposeFormat = false;
    int originX = 0;             // bounds.x1 (the frame's pixel (0,0) sits here)
    int originY = 0;             // bounds.y1
    int rowPadding = 0;          // extra bytes after every row
    // How rows lie in memory. TopFirst (rowBytes < 0, the data pointer at the
    // last row in memory) is how a top-down decoded frame is lent without a
    // copy; BottomFirst (rowBytes > 0) is the most common host storage.
    RowOrder rowOrder = RowOrder::TopFirst;
    int extraWidth = 0;          // bounds wider (>0) or narrower (<0) than the frame
    int extraHeight = 0;         // bounds taller (>0) or shorter (<0) than the frame
    float outputFill = 0.5f;     // initial value of every output channel, to spot untouched pixels
};

// Yields the frame at `time` into `out`; false means no frame there (the
// plug-in's fetch then fails). Called on the rendering thread.
using FrameProvider = std::function<bool(double time, FloatImage& out)>;
// Lends the frame at `time` without a copy; null means no frame there. The
// host only reads it and lets go of it when the action ends.
using SharedFrameProvider = std::function<std::shared_ptr<const FloatImage>(double time)>;

// The label the host gives the image of a clip at `time`
// (kOfxImagePropUniqueIdentifier); it must change whenever the picture at
// that time changes. "" means no label of the caller's: the host then gives
// the image a label no other image shares.
using FrameLabeler = std::function<std::string(double time)>;

// The size of the frame at `time` when the caller knows it without producing
// the frame; false when it does not. With it, plain float images are handed
// out at once and their pixels produced only when the plug-in first reads
// their data pointer, so an image a plug-in recognises by its label and
// releases unread costs no conversion.
using FrameShapeProvider = std::function<bool(double time, int* width, int* height)>;

enum class ParamKind {
    Double, Integer, Boolean, Choice, RGB, RGBA, Double2D, Integer2D, Double3D, Integer3D,
    String, Custom, PushButton, Group, Page, Parametric, ParametricUnknown
};
// "double", "integer", "boolean", "choice", "rgb", "rgba", "double2d", ... "push button".
std::string kindName(ParamKind kind);

// One property as the plug-in left it: type ("int", "double", "string",
// "pointer") and each value printed as text.
struct PropertyDump {
    std::string type;
    std::vector<std::string> values;
};
using PropertyMap = std::map<std::string, PropertyDump>;

// A described parameter, with the usual properties pulled out for convenience.
struct ParamInfo {
    std::string name;
    ParamKind kind = ParamKind::Double;
    std::string typeName;                // "OfxParamTypeDouble" ...
    std::string label;
    std::string parent;                  // group name, "" when none
    std::vector<double> defaultNumbers;  // numeric kinds, one per component
    std::string defaultText;             // string and custom kinds
    std::vector<double> minimum, maximum, displayMinimum, displayMaximum;  // empty when unset
    bool hasIncrement = false;
    double increment = 0.0;
    std::vector<std::string> options;    // choices
    std::string stringMode;              // strings
    std::vector<std::string> children;   // pages
    PropertyMap properties;              // everything, as set
};

struct ClipInfo {
    std::string name;
    PropertyMap properties;
};

// A parameter value: numbers for numeric kinds (one per component; booleans
// and choices as 0/1 and the index), text for strings and custom parameters.
struct ParamValue {
    std::vector<double> numbers;
    std::string text;

    static ParamValue number(double v) { return ParamValue{{v}, {}}; }
    static ParamValue numbers3(double a, double b, double c) { return ParamValue{{a, b, c}, {}}; }
    static ParamValue string(std::string s) { return ParamValue{{}, std::move(s)}; }
};

// What each action returned, in call order.
struct ActionRecord {
    std::string action;  // "OfxImageEffectActionRender" ...
    int status = kStatusOK;
};

struct RenderOptions {
    RenderOptions() = default;
    RenderOptions(int w, int h) : width(w), height(h) {}

    int width = -1;   // frame size; -1 takes the main clip's frame size at that time
    int height = -1;
    std::string mainClip;   // the clip that sizes the frame; "" is "Source"
    // The output image covers the plug-in's region of definition at this time
    // (whole pixels, its bounds where the region lies) rather than the frame;
    // a region that is unbounded, or whose float RGBA image would exceed
    // `maxOutputPixels` pixels (0: no limit but 65536 a side), is cut to the frame.
    bool outputAtRegionOfDefinition = false;
    double maxOutputPixels = 0.0;
};

struct RenderResult {
    int status = kStatusFailed;
    FloatImage output;   // the output image as the plug-in left it, converted to float RGBA
    std::string error;   // host-side problem (no source frame to size the output...)
    bool regionCut = false;   // the region of definition was cut to the frame (see RenderOptions)
    // The action whose failure ended the render ("OfxImageEffectActionRender",
    // "OfxImageEffectActionGetRegionOfDefinition"...); "" when none failed.
    std::string failedAction;
    // What the host negotiated for this render: the output's region of
    // definition, the render window (x1, y1, x2, y2, in pixels) and, per input
    // clip, the region of interest the plug-in asked for; regions are in
    // canonical coordinates (pixels divided by the render scale).
    std::vector<double> regionOfDefinition;
    std::vector<int> renderWindow;
    std::map<std::string, std::vector<double>> regionsOfInterest;
};

struct IdentityResult {
    int status = kStatusFailed;   // kStatusOK: identity; kStatusReplyDefault: not identity
    bool identity = false;
    std::string clip;             // clip to pass through
    double time = 0.0;
};

struct FramesNeededResult {
    int status = kStatusFailed;   // kStatusReplyDefault: the current frame only
    // Per clip name, the ranges [first, last] the plug-in declared.
    std::map<std::string, std::vector<std::pair<double, double>>> ranges;
};

// One image fetch made by the plug-in during an action (for tests and caches).
struct FetchRecord {
    std::string clip;
    double time = 0.0;
    bool delivered = false;
};

// What the host says of itself in the description it hands plug-ins. Hosts
// differ: an editing host may say it has no temporal clip access, and then
// answers a fetch at any time with the current frame.
struct HostDescription {
    bool temporalClipAccess = true;
    // Behaves as MLT's OpenFX module does (the free editors built on it):
    // no temporal clip access, so a fetch at any time gets the current
    // frame; a fresh instance of the effect for every frame rendered; a new
    // image label on every fetch; no instance-changed action; parameter
    // values handed over as set, never held to their ranges.
    bool likeMlt = false;

    static HostDescription mltLike() { return HostDescription{false, true}; }
};

// How a clip answers fetches outside its frame range. Hosts differ: some
// refuse them, many hold the first (last) frame for earlier (later) times.
enum class OutsideRange { AskProvider, Refuse, HoldEnds };

class Instance;
struct PluginState;
struct InstanceState;

// One plug-in from a bundle, loaded, with its host set and described.
class Plugin {
public:
    // `path` is a bundle folder (X.ofx.bundle), or the .ofx binary itself.
    // `identifier` picks the plug-in; "" takes the first image-effect plug-in.
    // Runs load and describe. Returns null with `*error` set on failure.
    // `host` is the description the plug-in is given; a library loaded twice
    // in one process keeps the description of its latest load.
    static std::unique_ptr<Plugin> load(const std::string& path, const std::string& identifier,
                                        std::string* error, const HostDescription& host = {});
    // Identifiers of every plug-in in a binary (empty with `*error` on failure).
    static std::vector<std::string> listPlugins(const std::string& path, std::string* error);
    ~Plugin();  // runs unload and closes the library

    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    const std::string& identifier() const;
    unsigned versionMajor() const;
    unsigned versionMinor() const;
    const PropertyMap& effectProperties() const;   // after describe
    std::vector<std::string> supportedContexts() const;

    // Describes in `context` (once per context, cached). Status of the action.
    int describeInContext(const std::string& context);
    // Parameters and clips as described in `context`, in definition order.
    const std::vector<ParamInfo>& params(const std::string& context = kContextFilter);
    const std::vector<ClipInfo>& clips(const std::string& context = kContextFilter);

    // Describes in the context if needed, then creates an instance.
    // Null, with `*status` (and the action log) telling why, on failure.
    std::unique_ptr<Instance> createInstance(const std::string& context, int* status = nullptr);

    // The actions run on the plug-in or its instances, oldest first: every
    // one, or at least the latest 4096 once there were more. Copies, so they
    // can be read while instances render on other threads.
    std::vector<ActionRecord> actions() const;
    // Messages the plug-in posted through the message suite ("type: text"),
    // kept the same way.
    std::vector<std::string> messages() const;
    // Suites the plug-in asked for that this host lacks ("Name version N").
    std::vector<std::string> missingSuites() const;

private:
    Plugin();
    std::unique_ptr<PluginState> state_;
    friend class Instance;
};

// One effect instance. Not thread-safe: one action at a time.
class Instance {
public:
    ~Instance();  // runs destroyInstance
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    const std::string& context() const;
    // What the output's images hold, as the clip preferences settled it:
    // "OfxImageOpaque", "OfxImageAlphaPremultiplied" or
    // "OfxImageAlphaUnPremultiplied".
    std::string outputPremultiplication();

    // Parameter values by name. False when there is no such parameter or the
    // value does not fit its kind (wrong component count, text for a number).
    bool hasParam(const std::string& name) const;
    ParamKind paramKind(const std::string& name) const;
    bool setValue(const std::string& name, const ParamValue& value);          // removes keys
    bool setKey(const std::string& name, double time, const ParamValue& value);
    bool deleteKeys(const std::string& name);
    bool getValue(const std::string& name, double time, ParamValue* value) const;
    std::vector<double> keyTimes(const std::string& name) const;

    // Clip feeding and presentation.
    void setFrameProvider(const std::string& clip, FrameProvider provider);
    void setSharedFrameProvider(const std::string& clip, SharedFrameProvider provider);   // replaces the other
    // Labels for the clip's images, so plug-ins can recognise a picture they
    // have seen. Setting a provider drops the labeler: new pictures, new labels.
    // Hosts differ here too: a labeler that returns one label for every time
    // acts as a host that labels a whole clip alike, one that returns a new
    // label on each call as a host that labels every fetch afresh.
    void setFrameLabeler(const std::string& clip, FrameLabeler labeler);
    // Sizes for the clip's frames, for images whose pixels wait until they
    // are read (plain float layout only). Setting a provider drops it.
    void setFrameShapeProvider(const std::string& clip, FrameShapeProvider shape);
    void setClipLayout(const std::string& clip, const ImageLayout& layout);
    // Clips' and effect's frame range; until set, a range wide enough for any
    // time a caller renders.
    void setFrameRange(double first, double last);
    // What a fetch outside the clips' frame range gets (AskProvider: whatever
    // the provider has there, the default).
    void setOutsideRange(OutsideRange mode);
    // The render scale of every action from now on, as a host's proxy mode
    // sets it: source images come made smaller by it, the output is that
    // size too, and the actions are told the scale. 1 by default.
    void setRenderScale(double scale);
    void setFrameRate(double fps);
    // The depth and components a clip's images are presented in, as the clip
    // preferences settled them ("OfxBitDepthByte", "OfxImageComponentRGBA").
    std::string clipDepth(const std::string& clip);
    std::string clipComponents(const std::string& clip);

    RenderResult render(double time, const RenderOptions& options = {});
    // Hands a finished output back for the next render's output image to
    // reuse, so steady rendering takes no fresh pages.
    void recycleOutput(FloatImage&& image);
    IdentityResult isIdentity(double time);
    FramesNeededResult getFramesNeeded(double time);
    // Begin-instance-changed, instance-changed for `param`, end-instance-changed;
    // the first non-OK, non-default status of the three (or OK).
    // Values the plug-in writes during it are reported back to it as further
    // changes with the plug-in as their reason.
    int instanceChanged(const std::string& param, double time,
                        const std::string& reason = "OfxChangeUserEdited");

    // Image fetches the plug-in made since the last clearFetchLog().
    const std::vector<FetchRecord>& fetchLog() const;
    void clearFetchLog();
    // Input images handed to the plug-in since the instance was made, and
    // those whose pixels it asked for; the rest it knew by their label.
    struct InputReads {
        long fetched = 0;
        long read = 0;
    };
    InputReads inputReads() const;
    // Images the plug-in fetched and has not released (leak check).
    int imagesOutstanding() const;
    // The most images the plug-in held at once since the last clearFetchLog().
    int peakImagesOutstanding() const;

private:
    Instance();
    std::unique_ptr<InstanceState> state_;
    friend class Plugin;
};

}  // namespace ofxhost
