// Shared pieces of the plug-in tests: the loaded bundle, synthetic clips, and
// a parameter reader that mirrors what a test sets on a host instance.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <string>

#include "engine/types.h"
#include "host/ofx_host.h"
#include "catalogue/param_catalogue.h"
#include "plugin/settings_sampling.h"

namespace varnok_test {

// The bundle under test, loaded once per test program.
inline ofxhost::Plugin& plugin() {
    static std::unique_ptr<ofxhost::Plugin> loaded = [] {
        std::string error;
        auto p = ofxhost::Plugin::load(VARNOK_BUNDLE_PATH, "", &error);
        if (!p) ADD_FAILURE() << "cannot load " << VARNOK_BUNDLE_PATH << ": " << error;
        return p;
    }();
    if (!loaded) throw std::runtime_error("plug-in not loaded");
    return *loaded;
}

// A dark frame with a few red squares whose positions depend on the time,
// so detection, tracking and the overlay all have something to do.
inline ofxhost::FloatImage movingSquares(int w, int h, double t) {
    ofxhost::FloatImage img(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            float* p = img.pixel(x, y);
            p[0] = 0.05f + 0.1f * static_cast<float>(x) / static_cast<float>(w);
            p[1] = 0.08f;
            p[2] = 0.1f + 0.05f * static_cast<float>(y) / static_cast<float>(h);
            p[3] = 1.0f;
        }
    }
    const int shift = static_cast<int>(std::lround(t * 2.0));
    const int squares[3][2] = {{w / 5, h / 4}, {w / 2, h / 2}, {(3 * w) / 4, (2 * h) / 3}};
    for (const auto& sq : squares) {
        for (int dy = 0; dy < 8; ++dy) {
            for (int dx = 0; dx < 8; ++dx) {
                const int x = sq[0] + dx + shift, y = sq[1] + dy;
                if (x < 0 || x >= w || y < 0 || y >= h) continue;
                float* p = img.pixel(x, y);
                p[0] = 0.95f;
                p[1] = 0.05f;
                p[2] = 0.04f;
            }
        }
    }
    return img;
}

inline ormel::Image toEngine(const ofxhost::FloatImage& f) {
    ormel::Image img(f.width, f.height);
    for (int y = 0; y < f.height; ++y) {
        for (int x = 0; x < f.width; ++x) {
            const float* p = f.pixel(x, y);
            img.at(x, y) = ormel::Pixel{p[0], p[1], p[2], p[3]};
        }
    }
    return img;
}

// Catalogue defaults, overridden by whatever a test sets. Used both to feed
// sampleSettings directly and to set the same values on a host instance.
class TableReader : public ormel::ParamReader {
public:
    TableReader() {
        for (const auto& spec : ormel::paramCatalogue()) {
            if (spec.kind == ormel::ParamKind::Rgb) {
                values_[spec.name] = {spec.defaultRgb[0], spec.defaultRgb[1], spec.defaultRgb[2]};
            } else {
                values_[spec.name] = {spec.defaultValue, 0.0, 0.0};
            }
        }
    }
    void set(const std::string& name, double v) { values_.at(name) = {v, 0.0, 0.0}; }
    void setRgb(const std::string& name, double r, double g, double b) { values_.at(name) = {r, g, b}; }

    double getDouble(const std::string& n) const override { return values_.at(n)[0]; }
    int getInt(const std::string& n) const override { return static_cast<int>(values_.at(n)[0]); }
    bool getBool(const std::string& n) const override { return values_.at(n)[0] != 0.0; }
    int getChoice(const std::string& n) const override { return static_cast<int>(values_.at(n)[0]); }
    std::array<double, 3> getRgb(const std::string& n) const override { return values_.at(n); }

    const std::map<std::string, std::array<double, 3>>& values() const { return values_; }

private:
    std::map<std::string, std::array<double, 3>> values_;
};

}  // namespace varnok_test
