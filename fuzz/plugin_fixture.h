// The real bundle, loaded once per harness process, and one instance of it.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "host/ofx_host.h"

namespace varnok_fuzz {

inline ofxhost::Plugin& bundle() {
    static std::unique_ptr<ofxhost::Plugin> plugin = [] {
        std::string error;
        auto p = ofxhost::Plugin::load(VARNOK_BUNDLE_PATH, "", &error);
        if (!p) {
            std::fprintf(stderr, "cannot load %s: %s\n", VARNOK_BUNDLE_PATH, error.c_str());
            std::abort();
        }
        return p;
    }();
    return *plugin;
}

inline ofxhost::Instance& instance() {
    static std::unique_ptr<ofxhost::Instance> inst = [] {
        int status = 0;
        auto i = bundle().createInstance(ofxhost::kContextFilter, &status);
        if (!i) {
            std::fprintf(stderr, "createInstance failed: %s\n", ofxhost::statusName(status).c_str());
            std::abort();
        }
        return i;
    }();
    return *inst;
}

}  // namespace varnok_fuzz
