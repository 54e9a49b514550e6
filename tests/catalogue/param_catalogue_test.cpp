#include "catalogue/param_catalogue.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace ormel {
namespace {

TEST(ParamCatalogue, CountsNamesAndGroupsAreConsistent) {
    const auto params = paramCatalogue();
    const auto groups = groupCatalogue();

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

// Counts the members of an aggregate: the largest N for which T{x1..xN}
// compiles with values that convert to anything.
struct AnyField {
    template <typename T>
    operator T() const;
};
template <typename T, typename Seq, typename = void>
struct BraceInitialisable : std::false_type {};
template <typename T, size_t... I>
struct BraceInitialisable<T, std::index_sequence<I...>,
                          std::void_t<decltype(T{(static_cast<void>(I), AnyField{})...})>> : std::true_type {};
template <typename T, size_t N = 0>
constexpr size_t memberCount() {
    if constexpr (BraceInitialisable<T, std::make_index_sequence<N + 1>>::value) {
        return memberCount<T, N + 1>();
    } else {
        return N;
    }
}

// Where a field sits in Settings, and how wide it is; -1 for no field.
std::pair<std::ptrdiff_t, size_t> placeOf(const Settings& s, const SettingsField& field) {
    return std::visit(
        [&](auto member) -> std::pair<std::ptrdiff_t, size_t> {
            if constexpr (std::is_same_v<decltype(member), std::monostate>) {
                return {-1, 0};
            } else {
                const char* at = reinterpret_cast<const char*>(&(s.*member));
                return {at - reinterpret_cast<const char*>(&s), sizeof(s.*member)};
            }
        },
        field);
}

TEST(ParamTable, EverySettingsFieldIsFilledByExactlyOneRow) {
    const Settings s;
    const auto params = paramCatalogue();
    std::map<std::ptrdiff_t, std::pair<size_t, std::string>> filled;  // offset -> width, who fills it
    auto claim = [&](const SettingsField& field, const std::string& who) {
        const auto place = placeOf(s, field);
        ASSERT_GE(place.first, 0) << who;
        const auto [it, fresh] = filled.emplace(place.first, std::make_pair(place.second, who));
        EXPECT_TRUE(fresh) << who << " fills the field " << it->second.second << " fills";
    };
    std::set<std::string> switches;
    for (const ParamSpec& p : params)
        if (p.kind == ParamKind::Boolean) switches.insert(p.name);
    for (const ParamSpec& p : params) {
        const bool hasField = !std::holds_alternative<std::monostate>(p.field);
        EXPECT_EQ(hasField, p.sampling != Sampling::None) << p.name;
        if (isPresetControl(p)) {
            EXPECT_FALSE(hasField) << p.name;
        }
        if (p.detection) {
            EXPECT_TRUE(hasField) << p.name;
        }
        if (!p.passthroughGate.empty()) {
            EXPECT_TRUE(switches.count(p.passthroughGate)) << p.name;
        }
        if (hasField) claim(p.field, p.name);
    }
    for (const SettingsField& f : computedFields()) claim(f, "the sampling code");
    // No two claims overlap, and there are as many as Settings has members.
    std::ptrdiff_t end = 0;
    for (const auto& [offset, claim] : filled) {
        EXPECT_GE(offset, end) << claim.second;
        end = offset + static_cast<std::ptrdiff_t>(claim.first);
    }
    EXPECT_LE(static_cast<size_t>(end), sizeof(Settings));
    EXPECT_EQ(filled.size(), memberCount<Settings>());
}

// Engine tests build on Settings{}: its initialisers are the defaults a user
// gets, so they test what users see.
TEST(ParamTable, SettingsInitialisersAreTheTableDefaults) {
    const Settings plain;
    const Settings table = defaultSettings();
    for (const ParamSpec& p : paramCatalogue()) {
        const auto place = placeOf(plain, p.field);
        if (place.first < 0) continue;
        const char* a = reinterpret_cast<const char*>(&plain) + place.first;
        const char* b = reinterpret_cast<const char*>(&table) + place.first;
        EXPECT_EQ(std::memcmp(a, b, place.second), 0) << p.name;
    }
    EXPECT_EQ(table.pointSize, 7.0f);  // the host's default, before the HUD factor
    EXPECT_EQ(table.temporalFrames, 0);
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
