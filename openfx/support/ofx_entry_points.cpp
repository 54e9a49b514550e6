// The two symbols a host looks up in the binary.
#include <vector>

#include "ofxImageEffect.h"
#include "openfx/support/ofx_plugin_factory.h"
#include "openfx/support/ofx_suites.h"

namespace {

extern "C" void setHostThunk(OfxHost* host) { OFX::Private::setHost(host); }

// One record per factory, built on first use and kept for the library's life
// so the pointers handed to the host stay valid.
std::vector<OfxPlugin>& records() {
    static std::vector<OfxPlugin> list = [] {
        std::vector<OfxPlugin> out;
        OFX::PluginFactoryArray factories;
        OFX::Plugin::getPluginIDs(factories);
        for (OFX::PluginFactory* f : factories) {
            if (f == nullptr) continue;
            OfxPlugin p;
            p.pluginApi = kOfxImageEffectPluginApi;
            p.apiVersion = kOfxImageEffectPluginApiVersion;
            p.pluginIdentifier = f->getID().c_str();
            p.pluginVersionMajor = f->getMajorVersion();
            p.pluginVersionMinor = f->getMinorVersion();
            p.setHost = &setHostThunk;
            p.mainEntry = f->getMainEntry();
            out.push_back(p);
        }
        return out;
    }();
    return list;
}

}  // namespace

extern "C" {

OfxExport int OfxGetNumberOfPlugins(void) {
    try {
        return static_cast<int>(records().size());
    } catch (...) {
        return 0;
    }
}

OfxExport OfxPlugin* OfxGetPlugin(int nth) {
    try {
        std::vector<OfxPlugin>& list = records();
        if (nth < 0 || static_cast<size_t>(nth) >= list.size()) return nullptr;
        return &list[static_cast<size_t>(nth)];
    } catch (...) {
        return nullptr;
    }
}

}  // extern "C"
