#include "presets/builtin_looks.h"

#include <algorithm>
#include <set>

#include <gtest/gtest.h>

#include "catalogue/param_catalogue.h"
#include "presets/preset_apply.h"
#include "presets/preset_catalogue.h"
#include "tests/presets/memory_params.h"

namespace ormel {
namespace {

ValueKind kindOf(ParamKind kind) {
    switch (kind) {
        case ParamKind::Double: return ValueKind::Double;
        case ParamKind::Integer: return ValueKind::Integer;
        case ParamKind::Boolean: return ValueKind::Boolean;
        case ParamKind::Choice: return ValueKind::Choice;
        case ParamKind::Rgb: return ValueKind::Rgb;
        default: return ValueKind::Text;
    }
}

// The preset parameters only, so the presets group cannot hide a difference.
std::map<std::string, PresetValue> presetValuesOf(const MemoryParams& params) {
    std::map<std::string, PresetValue> out;
    for (const PresetKey& key : presetKeys()) out[key.name] = params.value(key.name);
    return out;
}

TEST(BuiltinLooks, NamesAreTheBuiltinPresetOptions) {
    const auto catalogue = paramCatalogue();
    const ParamSpec* choice = findParam(catalogue, "builtinPreset");
    ASSERT_NE(choice, nullptr);
    const auto looks = builtinLooks();
    ASSERT_EQ(looks.size(), static_cast<size_t>(kBuiltinLookCount));
    ASSERT_EQ(choice->options.size(), looks.size());
    for (size_t i = 0; i < looks.size(); ++i) EXPECT_EQ(looks[i].name, choice->options[i]);
}

TEST(BuiltinLooks, EveryWriteNamesAPresetParameterOfTheRightKindWithinRange) {
    const auto catalogue = paramCatalogue();
    for (const BuiltinLook& look : builtinLooks()) {
        for (const auto& [name, value] : look.writes) {
            const ParamSpec* spec = findParam(catalogue, name);
            ASSERT_NE(spec, nullptr) << look.name << ": " << name;
            EXPECT_FALSE(isPresetControl(*spec)) << name;
            EXPECT_EQ(kindOf(spec->kind), value.kind) << look.name << ": " << name;
            if (value.kind == ValueKind::Double) {
                EXPECT_GE(value.number, spec->minimum) << name;
                EXPECT_LE(value.number, spec->maximum) << name;
            } else if (value.kind == ValueKind::Integer) {
                EXPECT_GE(value.integer, spec->minimum) << name;
                EXPECT_LE(value.integer, spec->maximum) << name;
            } else if (value.kind == ValueKind::Choice) {
                EXPECT_GE(value.integer, 0) << name;
                EXPECT_LT(value.integer, static_cast<int>(spec->options.size())) << name;
            } else if (value.kind == ValueKind::Rgb) {
                for (double c : value.rgb) {
                    EXPECT_GE(c, 0.0) << name;
                    EXPECT_LE(c, 1.0) << name;
                }
            }
        }
    }
}

TEST(ApplyPresetBase, WritesEveryPresetParameterInFileOrderWithTrailsOff) {
    MemoryParams params;
    params.setValue("glowAmount", doubleValue(1.9));
    params.setValue("targetColor", rgbValue(0.3, 0.3, 0.3));
    params.writes.clear();
    applyPresetBase(params);

    std::vector<std::string> expected;
    for (const PresetKey& key : presetKeys()) expected.push_back(key.name);
    EXPECT_EQ(params.writes, expected);
    EXPECT_EQ(params.writes.front(), "renderEngine");
    EXPECT_EQ(params.writes.back(), "seed");

    const MemoryParams defaults;
    for (const PresetKey& key : presetKeys()) {
        if (key.name == "drawTrails") continue;
        EXPECT_EQ(params.value(key.name), defaults.value(key.name)) << key.name;
    }
    EXPECT_TRUE(defaults.value("drawTrails").flag);
    EXPECT_FALSE(params.value("drawTrails").flag);
}

TEST(ApplyBuiltinPreset, LooksNeverMixWhicheverCameBefore) {
    const int lookCount = kBuiltinLookCount;
    for (int second = 0; second < lookCount; ++second) {
        MemoryParams fresh;
        applyBuiltinPreset(fresh, second);
        const auto expected = presetValuesOf(fresh);
        for (int first = 0; first < lookCount; ++first) {
            MemoryParams params;
            applyBuiltinPreset(params, first);
            applyBuiltinPreset(params, second);
            EXPECT_EQ(presetValuesOf(params), expected) << first << " then " << second;
            EXPECT_EQ(params.value("customPresetName").text, builtinLooks()[second].name);
        }
    }
}

TEST(ApplyBuiltinPreset, OnlyGhostTrailsShowsTrailsAndTemporalTracking) {
    for (int i = 0; i < kBuiltinLookCount; ++i) {
        MemoryParams params;
        applyBuiltinPreset(params, i);
        const bool ghost = i == 9;
        EXPECT_EQ(params.value("drawTrails").flag, ghost) << i;
        EXPECT_EQ(params.value("useTemporalTracking").flag, ghost) << i;
        EXPECT_EQ(params.value("fastPreview").flag, !ghost) << i;
        EXPECT_EQ(params.value("pixelSortEnable").flag, i == 3) << i;
    }
}

TEST(ApplyBuiltinPreset, LeavesSlotAndPathAlone) {
    MemoryParams params;
    params.setValue("customPresetSlot", choiceValue(7));
    params.setValue("presetPath", textValue("/somewhere/else.qelvar"));
    params.writes.clear();
    for (int i = 0; i < kBuiltinLookCount; ++i) applyBuiltinPreset(params, i);
    EXPECT_EQ(params.value("customPresetSlot").integer, 7);
    EXPECT_EQ(params.value("presetPath").text, "/somewhere/else.qelvar");
    const std::set<std::string> written(params.writes.begin(), params.writes.end());
    for (const char* control : {"builtinPreset", "customPresetSlot", "presetPath"}) {
        EXPECT_EQ(written.count(control), 0u) << control;
    }
}

// CLASSIC is the base under its own name; indices outside the looks write no name.
TEST(ApplyBuiltinPreset, ClassicAndUnknownIndicesGiveTheBase) {
    MemoryParams base;
    applyPresetBase(base);
    for (int index : {0, -1, 11}) {
        MemoryParams params;
        applyBuiltinPreset(params, 5);
        applyBuiltinPreset(params, index);
        EXPECT_EQ(presetValuesOf(params), presetValuesOf(base)) << index;
        EXPECT_EQ(params.value("customPresetName").text, index == 0 ? "CLASSIC" : "Constellation MST");
    }
}

}  // namespace
}  // namespace ormel
