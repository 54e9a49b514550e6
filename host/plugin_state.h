// What the host keeps for one loaded plug-in.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/host_objects.h"

namespace ofxhost {

// The action and message logs keep the latest records only: a long render
// runs several actions a frame, and a host that kept them all would grow
// without end. Past twice the limit the older half goes, so appending stays
// cheap on average.
constexpr size_t kLogLimit = 4096;
template <typename T>
void keepRecent(std::vector<T>& log) {
    if (log.size() >= 2 * kLogLimit) log.erase(log.begin(), log.end() - static_cast<std::ptrdiff_t>(kLogLimit));
}

struct PluginState {
    void* library = nullptr;
    OfxPlugin* plugin = nullptr;
    std::string bundlePath;
    std::string identifier;
    unsigned versionMajor = 0, versionMinor = 0;
    bool loaded = false;
    HostDescription hostDescription;
    std::unique_ptr<EffectObj> descriptor;
    // Guards the described contexts and their records below; entries are
    // added once and never removed while the plug-in is loaded.
    std::mutex describeMutex;
    std::map<std::string, std::unique_ptr<EffectObj>> contexts;   // described contexts
    std::map<std::string, int> contextStatus;
    std::map<std::string, std::vector<ParamInfo>> paramInfos;
    std::map<std::string, std::vector<ClipInfo>> clipInfos;
    PropertyMap effectProps;
    std::mutex logMutex;
    std::vector<ActionRecord> actions;
    std::vector<std::string> messages;
    std::vector<std::string> missingSuites;   // "OfxParametricParameterSuite version 1", guarded by the host

    // The descriptor of a described context, or null.
    const EffectObj* described(const std::string& context) {
        std::lock_guard<std::mutex> lock(describeMutex);
        auto it = contexts.find(context);
        return it == contexts.end() ? nullptr : it->second.get();
    }

    // Runs one action through the plug-in's main entry and logs its status.
    int call(const char* action, const void* handle, PropertySet* in, PropertySet* out);
};

// Builds the library-independent description of a described parameter.
ParamInfo describeParam(const ParamObj& p);

}  // namespace ofxhost
