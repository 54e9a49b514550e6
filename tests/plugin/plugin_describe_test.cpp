// The effect as a host sees it after describe and describeInContext.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "host/shared_library.h"
#include "varnok_test_support.h"

namespace {

using ofxhost::ParamInfo;
using ofxhost::ParamKind;
using varnok_test::plugin;

std::vector<std::string> prop(const ofxhost::PropertyMap& m, const std::string& name) {
    auto it = m.find(name);
    return it == m.end() ? std::vector<std::string>{} : it->second.values;
}

ParamKind hostKind(ormel::ParamKind k) {
    switch (k) {
        case ormel::ParamKind::Double: return ParamKind::Double;
        case ormel::ParamKind::Integer: return ParamKind::Integer;
        case ormel::ParamKind::Boolean: return ParamKind::Boolean;
        case ormel::ParamKind::Choice: return ParamKind::Choice;
        case ormel::ParamKind::Rgb: return ParamKind::RGB;
        case ormel::ParamKind::String: return ParamKind::String;
        case ormel::ParamKind::PushButton: return ParamKind::PushButton;
    }
    return ParamKind::Custom;
}

// The binary sits in the standard bundle layout of its system and offers one plug-in.
TEST(PluginDescribe, BundleHoldsExactlyOnePlugin) {
    const std::string binary = VARNOK_BUNDLE_PATH;
    const std::string suffix = std::string("/Varnok.ofx.bundle/Contents/") + ofxhost::kBundleArchitecture + "/Varnok.ofx";
    ASSERT_GE(binary.size(), suffix.size());
    ASSERT_EQ(binary.substr(binary.size() - suffix.size()), suffix);
    const std::string bundle = binary.substr(0, binary.size() - suffix.size()) + "/Varnok.ofx.bundle";
    std::string error;
    EXPECT_EQ(ofxhost::Plugin::listPlugins(bundle, &error),
              std::vector<std::string>{"com.tesmar.VarnokOFX"})
        << error;
}

TEST(PluginDescribe, IdentityAndEffectProperties) {
    auto& p = plugin();
    EXPECT_EQ(p.identifier(), "com.tesmar.VarnokOFX");
    // The version set once in CMake, as hosts see it.
    EXPECT_EQ(p.versionMajor(), unsigned{VARNOK_VERSION_MAJOR});
    EXPECT_EQ(p.versionMinor(), unsigned{VARNOK_VERSION_MINOR});
    const auto& e = p.effectProperties();
    EXPECT_EQ(prop(e, "OfxPropLabel"), std::vector<std::string>{"Varnok"});
    EXPECT_EQ(prop(e, "OfxPropShortLabel"), std::vector<std::string>{"Varnok"});
    EXPECT_EQ(prop(e, "OfxPropLongLabel"), std::vector<std::string>{"Varnok"});
    EXPECT_EQ(prop(e, "OfxImageEffectPluginPropGrouping"), std::vector<std::string>{"Tesmar"});
    EXPECT_EQ(prop(e, "OfxPropPluginDescription"),
              std::vector<std::string>{
                  "Color-region tracker that detects target-color blobs and renders Vantor-style "
                  "HUD overlays, lines, labels, trails, glow and CRT treatments."});
    EXPECT_EQ(p.supportedContexts(),
              (std::vector<std::string>{"OfxImageEffectContextFilter", "OfxImageEffectContextGeneral"}));
    EXPECT_EQ(prop(e, "OfxImageEffectPropSupportedPixelDepths"),
              std::vector<std::string>{"OfxBitDepthFloat"});
    const std::map<std::string, std::string> flags = {
        {"OfxImageEffectPluginPropSingleInstance", "0"},
        {"OfxImageEffectPluginPropHostFrameThreading", "0"},
        {"OfxImageEffectPropSupportsMultiResolution", "0"},
        {"OfxImageEffectPropSupportsTiles", "0"},
        {"OfxImageEffectPropTemporalClipAccess", "1"},
        {"OfxImageEffectPluginPropFieldRenderTwiceAlways", "0"},
        {"OfxImageEffectPropSupportsMultipleClipPARs", "0"},
        {"OfxImageEffectPropNoSpatialAwareness", "false"},
    };
    for (const auto& f : flags) EXPECT_EQ(prop(e, f.first), std::vector<std::string>{f.second}) << f.first;
    // Left to the host's defaults.
    EXPECT_TRUE(prop(e, "OfxImageEffectPluginRenderThreadSafety").empty() ||
                prop(e, "OfxImageEffectPluginRenderThreadSafety") ==
                    std::vector<std::string>{"OfxImageEffectRenderInstanceSafe"});
}

TEST(PluginDescribe, ClipsInBothContexts) {
    for (const char* context : {ofxhost::kContextFilter, ofxhost::kContextGeneral}) {
        const auto& clips = plugin().clips(context);
        ASSERT_EQ(clips.size(), 2u) << context;
        EXPECT_EQ(clips[0].name, "Source");
        EXPECT_EQ(clips[1].name, "Output");
        for (const auto& c : clips) {
            EXPECT_EQ(prop(c.properties, "OfxImageEffectPropSupportedComponents"),
                      std::vector<std::string>{"OfxImageComponentRGBA"});
            EXPECT_EQ(prop(c.properties, "OfxImageEffectPropSupportsTiles"), std::vector<std::string>{"0"});
        }
        EXPECT_EQ(prop(clips[0].properties, "OfxImageEffectPropTemporalClipAccess"),
                  std::vector<std::string>{"1"});
        EXPECT_EQ(prop(clips[0].properties, "OfxImageClipPropIsMask"), std::vector<std::string>{"0"});
    }
}

// Everything the host stored for each parameter matches the catalogue, in
// order, in both contexts.
TEST(PluginDescribe, ParametersAsLoadedMatchTheCatalogue) {
    const auto catalogue = ormel::paramCatalogue();
    const auto groups = ormel::groupCatalogue();
    for (const char* context : {ofxhost::kContextFilter, ofxhost::kContextGeneral}) {
        SCOPED_TRACE(context);
        const std::vector<ParamInfo>& params = plugin().params(context);
        std::vector<const ParamInfo*> pages, groupInfos, values;
        for (const auto& p : params) {
            if (p.kind == ParamKind::Page) {
                pages.push_back(&p);
            } else if (p.kind == ParamKind::Group) {
                groupInfos.push_back(&p);
            } else {
                values.push_back(&p);
            }
        }
        ASSERT_EQ(pages.size(), 1u);
        ASSERT_EQ(groupInfos.size(), groups.size());
        ASSERT_EQ(values.size(), catalogue.size());

        EXPECT_EQ(pages[0]->name, "Réglages");
        ASSERT_EQ(pages[0]->children.size(), catalogue.size());
        for (size_t i = 0; i < catalogue.size(); ++i) EXPECT_EQ(pages[0]->children[i], catalogue[i].name);

        for (size_t i = 0; i < groups.size(); ++i) {
            const ParamInfo& g = *groupInfos[i];
            EXPECT_EQ(g.name, groups[i].name);
            EXPECT_EQ(g.label, groups[i].label);
            EXPECT_EQ(prop(g.properties, "OfxPropShortLabel"), std::vector<std::string>{groups[i].label});
            EXPECT_EQ(prop(g.properties, "OfxPropLongLabel"), std::vector<std::string>{groups[i].label});
            EXPECT_EQ(g.parent, "");
            const auto open = prop(g.properties, "OfxParamPropGroupOpen");
            if (g.name == "engine") {
                EXPECT_EQ(open, std::vector<std::string>{"0"});
            } else {
                EXPECT_TRUE(open.empty() || open == std::vector<std::string>{"1"}) << g.name;
            }
        }
        // Groups come before every other parameter.
        size_t lastGroup = 0, firstValue = params.size();
        for (size_t i = 0; i < params.size(); ++i) {
            if (params[i].kind == ParamKind::Group) {
                lastGroup = i;
            } else if (params[i].kind != ParamKind::Page && firstValue == params.size()) {
                firstValue = i;
            }
        }
        EXPECT_LT(lastGroup, firstValue);

        for (size_t i = 0; i < 128; ++i) {
            const ormel::ParamSpec& s = catalogue[i];
            const ParamInfo& p = *values[i];
            SCOPED_TRACE(s.name);
            ASSERT_EQ(p.name, s.name);
            EXPECT_EQ(p.kind, hostKind(s.kind));
            EXPECT_EQ(p.label, s.label);
            EXPECT_EQ(prop(p.properties, "OfxPropShortLabel"), std::vector<std::string>{s.label});
            EXPECT_EQ(prop(p.properties, "OfxPropLongLabel"), std::vector<std::string>{s.label});
            EXPECT_EQ(p.parent, s.group);
            const auto hint = prop(p.properties, "OfxParamPropHint");
            EXPECT_TRUE(hint.empty() || hint == std::vector<std::string>{""});
            switch (s.kind) {
                case ormel::ParamKind::Double:
                case ormel::ParamKind::Integer:
                    EXPECT_EQ(p.defaultNumbers, std::vector<double>{s.defaultValue});
                    EXPECT_EQ(p.minimum, std::vector<double>{s.minimum});
                    EXPECT_EQ(p.maximum, std::vector<double>{s.maximum});
                    EXPECT_EQ(p.displayMinimum, std::vector<double>{s.displayMinimum});
                    EXPECT_EQ(p.displayMaximum, std::vector<double>{s.displayMaximum});
                    EXPECT_EQ(p.hasIncrement, s.kind == ormel::ParamKind::Double);
                    if (p.hasIncrement) {
                        EXPECT_EQ(p.increment, s.increment);
                    }
                    break;
                case ormel::ParamKind::Boolean:
                case ormel::ParamKind::Choice:
                    EXPECT_EQ(p.defaultNumbers, std::vector<double>{s.defaultValue});
                    EXPECT_EQ(p.options, s.options);
                    EXPECT_TRUE(prop(p.properties, "OfxParamPropChoiceLabelOption").empty());
                    break;
                case ormel::ParamKind::Rgb:
                    EXPECT_EQ(p.defaultNumbers,
                              (std::vector<double>{s.defaultRgb[0], s.defaultRgb[1], s.defaultRgb[2]}));
                    EXPECT_EQ(p.minimum, (std::vector<double>{0, 0, 0}));
                    EXPECT_EQ(p.maximum, (std::vector<double>{1, 1, 1}));
                    EXPECT_EQ(p.displayMinimum, (std::vector<double>{0, 0, 0}));
                    EXPECT_EQ(p.displayMaximum, (std::vector<double>{1, 1, 1}));
                    break;
                case ormel::ParamKind::String:
                    EXPECT_EQ(p.defaultText, s.defaultText);
                    EXPECT_EQ(p.stringMode, s.stringMode == ormel::StringMode::FilePath
                                                ? "OfxParamStringIsFilePath"
                                                : "OfxParamStringIsSingleLine");
                    break;
                case ormel::ParamKind::PushButton:
                    break;
            }
        }
    }
}

// A few rows checked against the documented values themselves, so a slip in
// the table cannot hide behind the comparison above.
TEST(PluginDescribe, DocumentedRowsAsTheHostStoresThem) {
    std::map<std::string, const ParamInfo*> byName;
    for (const auto& p : plugin().params(ofxhost::kContextFilter)) byName[p.name] = &p;

    const ParamInfo& hud = *byName.at("hudScale");
    EXPECT_EQ(hud.label, "Taille HUD");
    EXPECT_EQ(hud.parent, "hudDisplay");
    EXPECT_EQ(hud.defaultNumbers, std::vector<double>{2});
    EXPECT_EQ(hud.minimum, std::vector<double>{0.25});
    EXPECT_EQ(hud.maximum, std::vector<double>{12});
    EXPECT_EQ(hud.displayMinimum, std::vector<double>{0.5});
    EXPECT_EQ(hud.displayMaximum, std::vector<double>{6});
    EXPECT_EQ(hud.increment, 0.05);

    const ParamInfo& erode = *byName.at("erodeIterations");
    EXPECT_EQ(erode.label, "Éroder le masque");
    EXPECT_EQ(erode.maximum, std::vector<double>{8});
    EXPECT_FALSE(erode.hasIncrement);

    const ParamInfo& slots = *byName.at("customPresetSlot");
    ASSERT_EQ(slots.options.size(), 20u);
    EXPECT_EQ(slots.options.front(), "Perso 01");
    EXPECT_EQ(slots.options.back(), "Perso 20");
    EXPECT_EQ(byName.at("builtinPreset")->options.size(), 11u);
    EXPECT_EQ(byName.at("lineCurveMode")->options,
              (std::vector<std::string>{"Droit", "Arc", "Sinusoïde", "Organique"}));
    EXPECT_EQ(byName.at("trailColor")->parent, "trails");
    EXPECT_EQ(byName.at("seed")->parent, "crt");
    EXPECT_EQ(byName.at("seed")->defaultNumbers, std::vector<double>{1337});
    EXPECT_EQ(byName.at("magnifierMaxTargets")->minimum, std::vector<double>{0});
    EXPECT_EQ(byName.at("magnifierMaxTargets")->displayMinimum, std::vector<double>{1});
    EXPECT_EQ(byName.at("lineCurveAmount")->minimum, std::vector<double>{-600});
    EXPECT_EQ(byName.at("boxColor")->defaultNumbers, (std::vector<double>{1, 0.12, 0.08}));
    EXPECT_EQ(byName.at("fastPreview")->defaultNumbers, std::vector<double>{1});
    EXPECT_EQ(byName.at("detectionScale")->defaultNumbers, std::vector<double>{3});
    EXPECT_EQ(byName.at("customPresetName")->defaultText, "Mon preset");
    EXPECT_EQ(byName.at("renderEngine")->parent, "engine");
}

TEST(PluginDescribe, NewInstanceHoldsEveryHandleAndWritesNothing) {
    for (const char* context : {ofxhost::kContextFilter, ofxhost::kContextGeneral}) {
        int status = -1;
        auto inst = plugin().createInstance(context, &status);
        ASSERT_TRUE(inst) << ofxhost::statusName(status);
        ofxhost::ParamValue v;
        ASSERT_TRUE(inst->getValue("hudScale", 0.0, &v));
        EXPECT_EQ(v.numbers, std::vector<double>{2});
        ASSERT_TRUE(inst->getValue("presetPath", 0.0, &v));
        EXPECT_EQ(v.text, ormel::presetDirectory() + "/Varnok.qelvar");
        EXPECT_TRUE(inst->keyTimes("hudScale").empty());
        // Parameter changes other than the preset controls do nothing.
        EXPECT_EQ(inst->instanceChanged("hudScale", 0.0), ofxhost::kStatusOK);
    }
}

}  // namespace
