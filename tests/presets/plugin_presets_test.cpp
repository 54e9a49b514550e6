// The preset controls of the real bundle, driven the way a host drives them:
// values set on an instance, then the change reported through instanceChanged.
#include <filesystem>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "host/ofx_host.h"
#include "tests/presets/temp_dir.h"

namespace ormel {
namespace {

ofxhost::Plugin& bundle() {
    static std::unique_ptr<ofxhost::Plugin> loaded = [] {
        std::string error;
        auto p = ofxhost::Plugin::load(VARNOK_BUNDLE_PATH, "", &error);
        if (!p) ADD_FAILURE() << "cannot load " << VARNOK_BUNDLE_PATH << ": " << error;
        return p;
    }();
    if (!loaded) throw std::runtime_error("plug-in not loaded");
    return *loaded;
}

class PluginPresets : public ::testing::Test {
protected:
    PluginPresets() : home_(home.path().u8string()) {
        instance = bundle().createInstance(ofxhost::kContextFilter);
        if (!instance) throw std::runtime_error("no instance");
    }

    double number(const std::string& name, double time = 0.0) const {
        ofxhost::ParamValue v;
        EXPECT_TRUE(instance->getValue(name, time, &v)) << name;
        return v.numbers.empty() ? -12345.0 : v.numbers[0];
    }
    std::vector<double> numbers(const std::string& name) const {
        ofxhost::ParamValue v;
        EXPECT_TRUE(instance->getValue(name, 0.0, &v)) << name;
        return v.numbers;
    }
    std::string text(const std::string& name) const {
        ofxhost::ParamValue v;
        EXPECT_TRUE(instance->getValue(name, 0.0, &v)) << name;
        return v.text;
    }
    void set(const std::string& name, double v) {
        ASSERT_TRUE(instance->setValue(name, ofxhost::ParamValue::number(v))) << name;
    }
    void setText(const std::string& name, const std::string& v) {
        ASSERT_TRUE(instance->setValue(name, ofxhost::ParamValue::string(v))) << name;
    }
    int change(const std::string& name, double time = 0.0) { return instance->instanceChanged(name, time); }
    std::string presetFolder() const { return (home.path() / "Documents/Tesmar/Varnok/Presets").u8string(); }

    TempDir home;
    std::unique_ptr<ofxhost::Instance> instance;

private:
    ScopedHome home_;
};

TEST_F(PluginPresets, PickingALookRewritesTheParametersWithoutMixing) {
    set("builtinPreset", 9);
    ASSERT_EQ(change("builtinPreset"), ofxhost::kStatusOK);
    EXPECT_EQ(text("customPresetName"), "Traînées Fantômes");
    EXPECT_EQ(number("drawTrails"), 1.0);
    EXPECT_EQ(number("temporalFrames"), 18.0);
    EXPECT_EQ(number("fastPreview"), 0.0);

    set("builtinPreset", 3);
    ASSERT_EQ(change("builtinPreset"), ofxhost::kStatusOK);
    EXPECT_EQ(text("customPresetName"), "Pixel Sort Rouge");
    EXPECT_EQ(number("drawTrails"), 0.0);
    EXPECT_EQ(number("temporalFrames"), 8.0);
    EXPECT_EQ(number("fastPreview"), 1.0);
    EXPECT_EQ(number("pixelSortEnable"), 1.0);
    EXPECT_EQ(number("pixelSortLength"), 128.0);
    EXPECT_EQ(numbers("pixelSortColor"), (std::vector<double>{1, 0.02, 0}));
    // The choice keeps the user's pick; nothing writes it back.
    EXPECT_EQ(number("builtinPreset"), 3.0);
}

TEST_F(PluginPresets, SavingASlotWritesTheFileAtThePressTime) {
    set("customPresetSlot", 4);
    setText("customPresetName", "");
    ASSERT_TRUE(instance->setKey("glowAmount", 0.0, ofxhost::ParamValue::number(0.2)));
    ASSERT_TRUE(instance->setKey("glowAmount", 10.0, ofxhost::ParamValue::number(1.2)));
    ASSERT_EQ(change("saveCustomPreset", 10.0), ofxhost::kStatusOK);
    const std::string saved = readWholeFile(presetFolder() + "/Custom 05.qelvar");
    EXPECT_EQ(saved.rfind("# Varnok preset v1\npresetName=Preset perso 05\nrenderEngine=1\n", 0), 0u);
    EXPECT_NE(saved.find("\nglowAmount=1.2\n"), std::string::npos);
    EXPECT_NE(saved.find("\nseed=1337\n"), std::string::npos);
}

TEST_F(PluginPresets, OutOfRangeChoicesFromTheHostAreClamped) {
    set("builtinPreset", 14);
    ASSERT_EQ(change("builtinPreset"), ofxhost::kStatusOK);
    EXPECT_EQ(text("customPresetName"), "Point Cloud Blanc");
    set("builtinPreset", -1);
    ASSERT_EQ(change("builtinPreset"), ofxhost::kStatusOK);
    EXPECT_EQ(text("customPresetName"), "CLASSIC");
    set("customPresetSlot", 25);
    setText("customPresetName", "");
    ASSERT_EQ(change("saveCustomPreset"), ofxhost::kStatusOK);
    EXPECT_NE(readWholeFile(presetFolder() + "/Custom 20.qelvar").find("\npresetName=Preset perso 20\n"),
              std::string::npos);
}

TEST_F(PluginPresets, OtherParametersTriggerNothing) {
    setText("presetPath", home.file("never.qelvar"));
    for (const char* name : {"customPresetSlot", "customPresetName", "presetPath", "glowAmount"}) {
        EXPECT_EQ(change(name), ofxhost::kStatusOK) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(home.file("never.qelvar")));
    EXPECT_FALSE(std::filesystem::exists(presetFolder()));
    EXPECT_EQ(text("customPresetName"), "Mon preset");
}

}  // namespace
}  // namespace ormel
