// What the host keeps for one loaded plug-in.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/host_objects.h"

namespace ofxhost {

struct PluginState {
    void* library = nullptr;
    OfxPlugin* plugin = nullptr;
    std::string bundlePath;
    std::string identifier;
    unsigned versionMajor = 0, versionMinor = 0;
    bool loaded = false;
    std::unique_ptr<EffectObj> descriptor;
    std::map<std::string, std::unique_ptr<EffectObj>> contexts;   // described contexts
    std::map<std::string, int> contextStatus;
    std::map<std::string, std::vector<ParamInfo>> paramInfos;
    std::map<std::string, std::vector<ClipInfo>> clipInfos;
    PropertyMap effectProps;
    std::mutex logMutex;
    std::vector<ActionRecord> actions;
    std::vector<std::string> messages;

    // Runs one action through the plug-in's main entry and logs its status.
    int call(const char* action, const void* handle, PropertySet* in, PropertySet* out);
};

// Builds the library-independent description of a described parameter.
ParamInfo describeParam(const ParamObj& p);

}  // namespace ofxhost
