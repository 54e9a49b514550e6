#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "host/plugin_state.h"
#include "host/shared_library.h"

namespace ofxhost {

const char* const kContextFilter = kOfxImageEffectContextFilter;
const char* const kContextGeneral = kOfxImageEffectContextGeneral;
const char* const kContextGenerator = kOfxImageEffectContextGenerator;
const char* const kContextTransition = kOfxImageEffectContextTransition;
const char* const kContextPaint = kOfxImageEffectContextPaint;

std::string statusName(int s) {
    static const char* names[] = {
        "kOfxStatOK", "kOfxStatFailed", "kOfxStatErrFatal", "kOfxStatErrUnknown",
        "kOfxStatErrMissingHostFeature", "kOfxStatErrUnsupported", "kOfxStatErrExists",
        "kOfxStatErrFormat", "kOfxStatErrMemory", "kOfxStatErrBadHandle", "kOfxStatErrBadIndex",
        "kOfxStatErrValue", "kOfxStatReplyYes", "kOfxStatReplyNo", "kOfxStatReplyDefault",
    };
    if (s >= 0 && s <= 14) return names[s];
    if (s == kOfxStatErrImageFormat) return "kOfxStatErrImageFormat";
    return "kOfxStat(" + std::to_string(s) + ")";
}

std::string kindName(ParamKind k) {
    switch (k) {
        case ParamKind::Double: return "double";
        case ParamKind::Integer: return "integer";
        case ParamKind::Boolean: return "boolean";
        case ParamKind::Choice: return "choice";
        case ParamKind::RGB: return "rgb";
        case ParamKind::RGBA: return "rgba";
        case ParamKind::Double2D: return "double2d";
        case ParamKind::Integer2D: return "integer2d";
        case ParamKind::Double3D: return "double3d";
        case ParamKind::Integer3D: return "integer3d";
        case ParamKind::String: return "string";
        case ParamKind::Custom: return "custom";
        case ParamKind::PushButton: return "push button";
        case ParamKind::Group: return "group";
        case ParamKind::Page: return "page";
        case ParamKind::Parametric: return "parametric";
        case ParamKind::ParametricUnknown: return "unknown";
    }
    return "unknown";
}

void postMessage(PluginState* p, const std::string& text) {
    if (!p) {
        std::fprintf(stderr, "%s\n", text.c_str());
        return;
    }
    std::lock_guard<std::mutex> lock(p->logMutex);
    keepRecent(p->messages);
    p->messages.push_back(text);
}

namespace {
std::atomic<ActionWatcher> gWatcher{nullptr};
}  // namespace

void setActionWatcher(ActionWatcher watcher) { gWatcher = watcher; }

std::string actionLabel(const std::string& action) {
    static const std::pair<const char*, const char*> labels[] = {
        {kOfxActionCreateInstance, "create-instance"},
        {kOfxImageEffectActionDescribeInContext, "describe-in-context"},
        {kOfxImageEffectActionGetClipPreferences, "clip preferences"},
        {kOfxImageEffectActionGetRegionOfDefinition, "region of definition"},
        {kOfxImageEffectActionGetRegionsOfInterest, "regions of interest"},
        {kOfxImageEffectActionGetFramesNeeded, "frames needed"},
        {kOfxImageEffectActionIsIdentity, "is-identity"},
        {kOfxImageEffectActionRender, "render"},
        {kOfxImageEffectActionBeginSequenceRender, "begin sequence render"},
        {kOfxImageEffectActionEndSequenceRender, "end sequence render"},
        {kOfxActionInstanceChanged, "instance changed"},
        {kOfxActionDestroyInstance, "destroy-instance"},
    };
    for (const auto& [name, label] : labels)
        if (action == name) return label;
    // The rest by their own name, less the prefix every action shares.
    for (const char* prefix : {"OfxImageEffectAction", "OfxAction"})
        if (action.rfind(prefix, 0) == 0) return action.substr(std::string(prefix).size());
    return action;
}

int PluginState::call(const char* action, const void* handle, PropertySet* in, PropertySet* out) {
    if (!plugin || !plugin->mainEntry) return kOfxStatErrFatal;
    PluginState* saved = activePlugin();
    setActivePlugin(this);
    const ActionWatcher watcher = gWatcher.load();
    if (watcher) {
        const Property* t = in ? in->find(kOfxPropTime) : nullptr;
        const double time = t && t->type == PropType::Double && !t->doubles.empty() ? t->doubles[0] : NAN;
        watcher(identifier.c_str(), action, time);
    }
    int st;
    try {
        st = plugin->mainEntry(action, handle, reinterpret_cast<OfxPropertySetHandle>(in),
                               reinterpret_cast<OfxPropertySetHandle>(out));
    } catch (...) {
        // An exception escaping a C entry point is the plug-in's fault; report, don't die.
        st = kOfxStatErrFatal;
    }
    setActivePlugin(saved);
    if (watcher) watcher(identifier.c_str(), nullptr, NAN);
    std::lock_guard<std::mutex> lock(logMutex);
    keepRecent(actions);
    actions.push_back({action, st});
    return st;
}

ParamInfo describeParam(const ParamObj& p) {
    ParamInfo info;
    const PropertySet& ps = p.props;
    info.name = p.name;
    info.kind = p.kind;
    info.typeName = p.type;
    info.label = ps.getString(kOfxPropLabel);
    info.parent = ps.getString(kOfxParamPropParent);
    if (p.kind == ParamKind::String || p.kind == ParamKind::Custom) {
        info.defaultText = ps.getString(kOfxParamPropDefault);
    } else {
        info.defaultNumbers = ps.getDoubles(kOfxParamPropDefault);
    }
    if (componentCount(p.kind) > 0 && p.kind != ParamKind::Boolean && p.kind != ParamKind::Choice) {
        info.minimum = ps.getDoubles(kOfxParamPropMin);
        info.maximum = ps.getDoubles(kOfxParamPropMax);
        info.displayMinimum = ps.getDoubles(kOfxParamPropDisplayMin);
        info.displayMaximum = ps.getDoubles(kOfxParamPropDisplayMax);
    }
    if (const Property* inc = ps.find(kOfxParamPropIncrement)) {
        if (inc->type == PropType::Double && !inc->doubles.empty()) {
            info.hasIncrement = true;
            info.increment = inc->doubles[0];
        }
    }
    info.options = ps.getStrings(kOfxParamPropChoiceOption);
    info.stringMode = ps.getString(kOfxParamPropStringMode);
    info.children = ps.getStrings(kOfxParamPropPageChild);
    info.properties = ps.dump();
    return info;
}

namespace {

namespace fs = std::filesystem;

// Bundle paths are UTF-8 like every OpenFX string; u8path keeps them so on
// Windows, where a plain char path would be read in the code page.
fs::path fsPath(const std::string& p) { return fs::u8path(p); }

bool isDirectory(const std::string& p) {
    std::error_code ec;
    return fs::is_directory(fsPath(p), ec);
}

#if defined(_WIN32)
constexpr const char* kSeparators = "/\\";
#else
constexpr const char* kSeparators = "/";
#endif

// X.ofx.bundle/Contents/<architecture>/X.ofx, or the first .ofx found there.
std::string binaryPath(const std::string& path) {
    if (!isDirectory(path)) return path;
    std::string dir = path;
    while (dir.size() > 1 && std::string(kSeparators).find(dir.back()) != std::string::npos) dir.pop_back();
    const std::string arch = dir + "/Contents/" + kBundleArchitecture;
    const std::size_t slash = dir.find_last_of(kSeparators);
    std::string base = slash == std::string::npos ? dir : dir.substr(slash + 1);
    if (base.size() > 7 && base.compare(base.size() - 7, 7, ".bundle") == 0)
        base.resize(base.size() - 7);
    std::error_code ec;
    if (fs::exists(fsPath(arch + "/" + base), ec)) return arch + "/" + base;
    std::string found;
    for (fs::directory_iterator it(fsPath(arch), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string n = it->path().filename().u8string();
        if (n.size() > 4 && n.compare(n.size() - 4, 4, ".ofx") == 0) {
            found = arch + "/" + n;
            break;
        }
    }
    return found.empty() ? arch + "/" + base : found;
}

struct Library {
    void* handle = nullptr;
    OfxGetNumberOfPluginsFunc count = nullptr;
    OfxGetPluginFunc get = nullptr;
};

template <typename Fn>
Fn entryPoint(void* library, const char* name) {
    return reinterpret_cast<Fn>(findSharedSymbol(library, name));
}

bool openLibrary(const std::string& path, Library* lib, std::string* error) {
    const std::string bin = binaryPath(path);
    std::string reason;
    lib->handle = openSharedLibrary(bin, &reason);
    if (!lib->handle) {
        *error = "cannot load " + bin + ": " + (reason.empty() ? "unknown error" : reason);
        return false;
    }
    lib->count = entryPoint<OfxGetNumberOfPluginsFunc>(lib->handle, "OfxGetNumberOfPlugins");
    lib->get = entryPoint<OfxGetPluginFunc>(lib->handle, "OfxGetPlugin");
    if (!lib->count || !lib->get) {
        *error = bin + " is not an OpenFX plug-in (OfxGetNumberOfPlugins/OfxGetPlugin missing)";
        closeSharedLibrary(lib->handle);
        lib->handle = nullptr;
        return false;
    }
    return true;
}

std::string safeString(const char* s) { return s ? s : ""; }

}  // namespace

Plugin::Plugin() : state_(new PluginState) {}

std::vector<std::string> Plugin::listPlugins(const std::string& path, std::string* error) {
    std::string local;
    if (!error) error = &local;
    Library lib;
    if (!openLibrary(path, &lib, error)) return {};
    std::vector<std::string> ids;
    const int n = lib.count();
    for (int i = 0; i < n && i < 10000; ++i) {
        OfxPlugin* p = lib.get(i);
        if (p) ids.push_back(safeString(p->pluginIdentifier));
    }
    closeSharedLibrary(lib.handle);
    return ids;
}

std::unique_ptr<Plugin> Plugin::load(const std::string& path, const std::string& identifier,
                                     std::string* error, const HostDescription& host) {
    std::string local;
    if (!error) error = &local;
    Library lib;
    if (!openLibrary(path, &lib, error)) return nullptr;
    std::unique_ptr<Plugin> plugin(new Plugin);
    PluginState& s = *plugin->state_;
    s.library = lib.handle;
    s.bundlePath = path;
    s.hostDescription = host;
    const int n = lib.count();
    for (int i = 0; i < n && i < 10000 && !s.plugin; ++i) {
        OfxPlugin* p = lib.get(i);
        if (!p || safeString(p->pluginApi) != kOfxImageEffectPluginApi) continue;
        if (!identifier.empty() && safeString(p->pluginIdentifier) != identifier) continue;
        s.plugin = p;
    }
    if (!s.plugin) {
        *error = identifier.empty() ? path + " holds no image-effect plug-in"
                                    : path + " holds no plug-in " + identifier;
        return nullptr;   // the destructor closes the library
    }
    if (s.plugin->apiVersion != kOfxImageEffectPluginApiVersion) {
        *error = "unsupported image-effect API version " + std::to_string(s.plugin->apiVersion);
        s.plugin = nullptr;
        return nullptr;
    }
    s.identifier = safeString(s.plugin->pluginIdentifier);
    s.versionMajor = s.plugin->pluginVersionMajor;
    s.versionMinor = s.plugin->pluginVersionMinor;
    takeMissingSuitesOutsideActions();
    if (s.plugin->setHost) s.plugin->setHost(hostRecord(host));
    s.missingSuites = takeMissingSuitesOutsideActions();
    int st = s.call(kOfxActionLoad, nullptr, nullptr, nullptr);
    if (st != kOfxStatOK && st != kOfxStatReplyDefault) {
        *error = "load failed: " + statusName(st);
        // Plug-ins fetch their suites as they load: a refusal then is most
        // often for a suite this host lacks.
        std::string missing;
        for (const std::string& m : missingSuitesOf(s)) missing += (missing.empty() ? "" : ", ") + m;
        if (!missing.empty()) *error += "; it asked for suites this host lacks: " + missing;
        s.plugin = nullptr;
        return nullptr;
    }
    s.loaded = true;
    s.descriptor = std::make_unique<EffectObj>();
    s.descriptor->plugin = &s;
    s.descriptor->paramSet.owner = s.descriptor.get();
    initEffectDescriptor(s.descriptor->props, path);
    st = s.call(kOfxActionDescribe, s.descriptor.get(), nullptr, nullptr);
    if (st != kOfxStatOK && st != kOfxStatReplyDefault) {
        *error = "describe failed: " + statusName(st);
        return nullptr;
    }
    s.effectProps = s.descriptor->props.dump();
    return plugin;
}

Plugin::~Plugin() {
    PluginState& s = *state_;
    if (s.loaded) s.call(kOfxActionUnload, nullptr, nullptr, nullptr);
    s.contexts.clear();
    s.descriptor.reset();
    if (s.library) closeSharedLibrary(s.library);
}

const std::string& Plugin::identifier() const { return state_->identifier; }
unsigned Plugin::versionMajor() const { return state_->versionMajor; }
unsigned Plugin::versionMinor() const { return state_->versionMinor; }
const PropertyMap& Plugin::effectProperties() const { return state_->effectProps; }

std::vector<std::string> Plugin::supportedContexts() const {
    return state_->descriptor->props.getStrings(kOfxImageEffectPropSupportedContexts);
}

int Plugin::describeInContext(const std::string& context) {
    PluginState& s = *state_;
    // Instances may be created on several threads at once; the first one describes.
    std::lock_guard<std::mutex> lock(s.describeMutex);
    auto known = s.contextStatus.find(context);
    if (known != s.contextStatus.end()) return known->second;
    auto d = std::make_unique<EffectObj>();
    d->plugin = &s;
    d->paramSet.owner = d.get();
    // The context descriptor starts from what describe set.
    for (const auto& kv : s.descriptor->props.all()) d->props.all()[kv.first] = kv.second;
    d->props.acceptsUnknown = true;
    PropertySet in;
    in.setStrings(kOfxImageEffectPropContext, {context}, true, 1);
    const int st = s.call(kOfxImageEffectActionDescribeInContext, d.get(), &in, nullptr);
    s.contextStatus[context] = st;
    if (st == kOfxStatOK || st == kOfxStatReplyDefault) {
        std::vector<ParamInfo>& params = s.paramInfos[context];
        for (const auto& p : d->paramSet.params) params.push_back(describeParam(*p));
        std::vector<ClipInfo>& clips = s.clipInfos[context];
        for (const auto& c : d->clips) clips.push_back({c->name, c->props.dump()});
        s.contexts[context] = std::move(d);
    }
    return st;
}

const std::vector<ParamInfo>& Plugin::params(const std::string& context) {
    describeInContext(context);
    std::lock_guard<std::mutex> lock(state_->describeMutex);
    return state_->paramInfos[context];
}

const std::vector<ClipInfo>& Plugin::clips(const std::string& context) {
    describeInContext(context);
    std::lock_guard<std::mutex> lock(state_->describeMutex);
    return state_->clipInfos[context];
}

std::vector<ActionRecord> Plugin::actions() const {
    std::lock_guard<std::mutex> lock(state_->logMutex);
    return state_->actions;
}
std::vector<std::string> Plugin::missingSuites() const { return missingSuitesOf(*state_); }
std::vector<std::string> Plugin::messages() const {
    std::lock_guard<std::mutex> lock(state_->logMutex);
    return state_->messages;
}

}  // namespace ofxhost
