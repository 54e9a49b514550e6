// Values outside a control's declared range, from a host that does not hold
// them or from an expression, give the picture of the held value; values
// inside it, such as every built-in look's, give the same bits as before.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "pipeline/process_frame.h"
#include "plugin/held_param_reader.h"
#include "varnok_test_support.h"

namespace {

using ofxhost::FloatImage;
using ofxhost::ParamValue;
using varnok_test::movingSquares;
using varnok_test::plugin;
using varnok_test::TableReader;
using varnok_test::toEngine;

constexpr int kW = 64;
constexpr int kH = 48;

std::unique_ptr<ofxhost::Instance> instance() {
    auto inst = plugin().createInstance(ofxhost::kContextFilter);
    if (inst)
        inst->setFrameProvider("Source", [](double t, FloatImage& out) {
            out = movingSquares(kW, kH, t);
            return true;
        });
    return inst;
}

bool sameBits(const FloatImage& a, const FloatImage& b) {
    return a.rgba.size() == b.rgba.size() &&
           std::memcmp(a.rgba.data(), b.rgba.data(), a.rgba.size() * sizeof(float)) == 0;
}

bool sameBits(const ormel::Image& a, const ormel::Image& b) {
    return a.pixels.size() == b.pixels.size() &&
           std::memcmp(a.pixels.data(), b.pixels.data(), a.pixels.size() * sizeof(ormel::Pixel)) == 0;
}

TEST(ValueRanges, ValuesOutsideTheRangeGiveThePictureOfTheHeldValue) {
    struct Case {
        const char* name;
        ParamValue given;
        ParamValue held;
    };
    const Case cases[] = {
        {"glowAmount", ParamValue::number(100), ParamValue::number(2)},
        {"maxObjects", ParamValue::number(-1), ParamValue::number(1)},
        {"blurRadius", ParamValue::number(2147483647), ParamValue::number(12)},
        {"hudScale", ParamValue::number(0.01), ParamValue::number(0.25)},
        {"outputMode", ParamValue::number(9), ParamValue::number(2)},
        {"sourceOpacity", ParamValue::number(-3), ParamValue::number(0)},
        {"pointSize", ParamValue::number(1e9), ParamValue::number(128)},
        {"hueTolerance", ParamValue::number(-0.5), ParamValue::number(0.001)},
        {"targetColor", ParamValue::numbers3(2.0, -1.0, 0.25), ParamValue::numbers3(1.0, 0.0, 0.25)},
    };
    const auto catalogue = ormel::paramCatalogue();
    for (const Case& c : cases) {
        const ormel::ParamSpec* spec = ormel::findParam(catalogue, c.name);
        ASSERT_NE(spec, nullptr) << c.name;
        if (spec->kind == ormel::ParamKind::Double || spec->kind == ormel::ParamKind::Integer) {
            ASSERT_TRUE(c.held.numbers[0] == spec->minimum || c.held.numbers[0] == spec->maximum)
                << c.name << ": the held value is an end of the declared range";
        }
        auto given = instance(), held = instance();
        ASSERT_TRUE(given && held);
        ASSERT_TRUE(given->setValue(c.name, c.given)) << c.name;
        ASSERT_TRUE(held->setValue(c.name, c.held)) << c.name;
        for (double t : {3.0, 4.0}) {
            const auto a = given->render(t), b = held->render(t);
            ASSERT_EQ(a.status, ofxhost::kStatusOK) << c.name;
            EXPECT_TRUE(sameBits(a.output, b.output)) << c.name << " at " << t;
        }
        EXPECT_EQ(given->isIdentity(3).identity, held->isIdentity(3).identity) << c.name;
    }
}

// NaN, which a host's expression can give, reads as the default.
TEST(ValueRanges, NotANumberReadsAsTheDefault) {
    const auto catalogue = ormel::paramCatalogue();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const ormel::Image frame = toEngine(movingSquares(kW, kH, 2));
    for (const char* name : {"glowAmount", "hueTolerance", "trackingDistance", "lineWidth", "targetColor"}) {
        TableReader withNan, defaults;
        const ormel::ParamSpec* spec = ormel::findParam(catalogue, name);
        ASSERT_NE(spec, nullptr);
        if (spec->kind == ormel::ParamKind::Rgb) withNan.setRgb(name, nan, spec->defaultRgb[1], nan);
        else withNan.set(name, nan);
        const ormel::ParamRanges ranges(catalogue);
        const auto a = ormel::processFrame(frame, {}, ormel::sampleSettings(ormel::HeldParamReader(withNan, ranges), 2));
        const auto b = ormel::processFrame(frame, {}, ormel::sampleSettings(defaults, 2));
        EXPECT_TRUE(sameBits(a.image, b.image)) << name;
    }
}

// Every built-in look, applied through the host, renders exactly as its
// values read without any holding: holding changes nothing in range.
TEST(ValueRanges, EveryLookRendersAsItsValuesUnheld) {
    const auto catalogue = ormel::paramCatalogue();
    for (int look = 0; look < 11; ++look) {
        auto inst = instance();
        ASSERT_TRUE(inst);
        ASSERT_TRUE(inst->setValue("builtinPreset", ParamValue::number(look)));
        ASSERT_EQ(inst->instanceChanged("builtinPreset", 0), ofxhost::kStatusOK);
        // Earlier frames too, for the looks that track.
        TableReader raw;
        for (const auto& spec : catalogue) {
            ParamValue v;
            if (spec.kind == ormel::ParamKind::String || spec.kind == ormel::ParamKind::PushButton) continue;
            ASSERT_TRUE(inst->getValue(spec.name, 5, &v)) << spec.name;
            if (spec.kind == ormel::ParamKind::Rgb) raw.setRgb(spec.name, v.numbers[0], v.numbers[1], v.numbers[2]);
            else raw.set(spec.name, v.numbers[0]);
        }
        const ormel::Settings settings = ormel::sampleSettings(raw, 5);
        std::vector<ormel::FrameSample> history;
        for (int n = settings.temporalFrames; n >= 1; --n)
            history.push_back({5 - n, toEngine(movingSquares(kW, kH, 5 - n))});
        const auto want = ormel::processFrame(toEngine(movingSquares(kW, kH, 5)), history, settings).image;
        const auto got = inst->render(5);
        ASSERT_EQ(got.status, ofxhost::kStatusOK) << "look " << look;
        ASSERT_EQ(got.output.rgba.size(), want.pixels.size() * 4);
        EXPECT_EQ(std::memcmp(got.output.rgba.data(), want.pixels.data(), got.output.rgba.size() * sizeof(float)), 0)
            << "look " << look;
    }
}

}  // namespace
