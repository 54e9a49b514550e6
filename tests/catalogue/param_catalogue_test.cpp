#include "catalogue/param_catalogue.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>

namespace ormel {
namespace {

TEST(ParamCatalogue, CountsNamesAndGroupsAreConsistent) {
    const auto params = paramCatalogue();
    const auto groups = groupCatalogue();
    ASSERT_EQ(params.size(), static_cast<size_t>(kParamCount));
    ASSERT_EQ(groups.size(), static_cast<size_t>(kGroupCount));

    std::set<std::string> groupNames;
    for (const auto& g : groups) groupNames.insert(g.name);
    std::set<std::string> names;
    int presetControls = 0;
    for (const auto& p : params) {
        EXPECT_TRUE(names.insert(p.name).second) << "duplicate " << p.name;
        EXPECT_TRUE(groupNames.count(p.group)) << p.name << " has unknown group " << p.group;
        EXPECT_FALSE(p.label.empty()) << p.name;
        if (isPresetControl(p)) ++presetControls;
    }
    EXPECT_EQ(presetControls, 8);
    EXPECT_EQ(params.front().name, "renderEngine");
    EXPECT_EQ(params.back().name, "seed");
    EXPECT_EQ(params.back().group, "crt");
}

TEST(ParamCatalogue, DefaultsSitInsideTheirRanges) {
    for (const auto& p : paramCatalogue()) {
        if (p.kind == ParamKind::Double || p.kind == ParamKind::Integer) {
            EXPECT_LE(p.minimum, p.defaultValue) << p.name;
            EXPECT_GE(p.maximum, p.defaultValue) << p.name;
            EXPECT_LE(p.minimum, p.displayMinimum) << p.name;
            EXPECT_GE(p.maximum, p.displayMaximum) << p.name;
        }
        if (p.kind == ParamKind::Double) {
            EXPECT_GT(p.increment, 0.0) << p.name;
        }
        if (p.kind == ParamKind::Integer) {
            EXPECT_EQ(p.increment, 0.0) << p.name;
        }
        if (p.kind == ParamKind::Choice) {
            ASSERT_FALSE(p.options.empty()) << p.name;
            EXPECT_LT(p.defaultValue, static_cast<double>(p.options.size())) << p.name;
        }
    }
}

TEST(ParamCatalogue, NegativeRangesAreTheFourSignedControls) {
    std::set<std::string> signedOnes;
    for (const auto& p : paramCatalogue())
        if ((p.kind == ParamKind::Double || p.kind == ParamKind::Integer) && p.minimum < 0) {
            signedOnes.insert(p.name);
        }
    EXPECT_EQ(signedOnes, (std::set<std::string>{"lineCurveAmount", "lensDistortion",
                                                  "labelOffsetX", "labelOffsetY"}));
}

TEST(ParamCatalogue, ChoiceListsAndSlots) {
    const auto params = paramCatalogue();
    const ParamSpec* slots = findParam(params, "customPresetSlot");
    ASSERT_NE(slots, nullptr);
    ASSERT_EQ(slots->options.size(), 20u);
    EXPECT_EQ(slots->options[0], "Perso 01");
    EXPECT_EQ(slots->options[8], "Perso 09");
    EXPECT_EQ(slots->options[9], "Perso 10");
    EXPECT_EQ(slots->options[19], "Perso 20");
    EXPECT_EQ(findParam(params, "builtinPreset")->options.size(), 11u);
    EXPECT_EQ(findParam(params, "builtinPreset")->options[8], "VHS Glitch Léger");
    EXPECT_EQ(findParam(params, "detectionScale")->options[3], "Huitième");
    EXPECT_EQ(findParam(params, "nope"), nullptr);
}

TEST(ParamCatalogue, EngineGroupIsTheOnlyOneClosed) {
    for (const auto& g : groupCatalogue()) {
        if (g.name == "engine") {
            EXPECT_TRUE(g.setsOpen);
            EXPECT_FALSE(g.open);
        } else {
            EXPECT_FALSE(g.setsOpen) << g.name;
        }
    }
}

#if !defined(_WIN32)
// Windows adds USERPROFILE and another fallback: tested with the Windows build.
TEST(ParamCatalogue, PresetFolderFollowsHome) {
    const char* old = std::getenv("HOME");
    const std::string saved = old ? old : "";
    setenv("HOME", "/home/ana", 1);
    EXPECT_EQ(presetDirectory(), "/home/ana/Documents/Tesmar/Varnok/Presets");
    EXPECT_EQ(findParam(paramCatalogue(), "presetPath")->defaultText,
              "/home/ana/Documents/Tesmar/Varnok/Presets/Varnok.qelvar");
    setenv("HOME", "", 1);
    const std::string fallback = presetDirectory();
    ASSERT_FALSE(fallback.empty());
    EXPECT_EQ(fallback.front(), '/');
    EXPECT_NE(fallback.find("/Documents/Tesmar/Varnok/Presets"), std::string::npos);
    unsetenv("HOME");
    EXPECT_EQ(presetDirectory(), fallback);
    if (old) setenv("HOME", saved.c_str(), 1);
}
#endif

}  // namespace
}  // namespace ormel
