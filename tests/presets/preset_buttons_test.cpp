#include "presets/preset_buttons.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "presets/preset_catalogue.h"
#include "presets/preset_save.h"
#include "presets/preset_slots.h"
#include "tests/presets/memory_params.h"
#include "tests/presets/temp_dir.h"

namespace ormel {
namespace {

// Each case gets its own HOME, so slot files never leak between cases.
class PresetButtons : public ::testing::Test {
protected:
    PresetButtons() : home_(home.path().u8string()) {}

    std::string slotFile(int slot) const { return customPresetPath(slot); }
    size_t filesInPresetFolder() const {
        const std::filesystem::path folder = presetDirectory_();
        if (!std::filesystem::exists(folder)) return 0;
        return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
    }

    TempDir home;
    MemoryParams params;

private:
    static std::filesystem::path presetDirectory_() { return std::filesystem::u8path(presetFolder()); }
    ScopedHome home_;
};

TEST_F(PresetButtons, SaveToSlotWithEmptyNameUsesTheSlotDefaultName) {
    params.setValue("customPresetSlot", choiceValue(4));
    params.setValue("customPresetName", textValue(""));
    EXPECT_TRUE(presetParamChanged(params, "saveCustomPreset", 3.0));
    const std::string text = readWholeFile(slotFile(4));
    EXPECT_EQ(text.rfind("# Varnok preset v1\npresetName=Preset perso 05\n", 0), 0u);
    EXPECT_NE(slotFile(4).find("/Custom 05.qelvar"), std::string::npos);
}

TEST_F(PresetButtons, SlotIndexBeyondTheListActsOnTheLastSlot) {
    params.setValue("customPresetSlot", choiceValue(25));
    params.setValue("customPresetName", textValue(""));
    presetParamChanged(params, "saveCustomPreset", 0.0);
    EXPECT_NE(readWholeFile(slotFile(19)).find("presetName=Preset perso 20\n"), std::string::npos);
    EXPECT_EQ(filesInPresetFolder(), 1u);
}

TEST_F(PresetButtons, LoadFromSlotRestoresItsValues) {
    params.setValue("customPresetSlot", choiceValue(2));
    params.setValue("glowAmount", doubleValue(1.5));
    presetParamChanged(params, "saveCustomPreset", 0.0);
    params.setValue("glowAmount", doubleValue(0.0));
    params.setValue("customPresetName", textValue("autre"));
    presetParamChanged(params, "loadCustomPreset", 0.0);
    EXPECT_EQ(params.value("glowAmount").number, 1.5);
    EXPECT_EQ(params.value("customPresetName").text, "Mon preset");
}

TEST_F(PresetButtons, LoadFromAnEmptySlotChangesNothing) {
    params.setValue("customPresetSlot", choiceValue(6));
    params.writes.clear();
    EXPECT_TRUE(presetParamChanged(params, "loadCustomPreset", 0.0));
    EXPECT_TRUE(params.writes.empty());
    EXPECT_EQ(filesInPresetFolder(), 0u);
}

TEST_F(PresetButtons, ExportWritesTheChosenFileAndTheSlotAlike) {
    const std::string exported = home.file("elsewhere/export.qelvar");
    params.setValue("presetPath", textValue(exported));
    params.setValue("customPresetSlot", choiceValue(11));
    params.setValue("seed", integerValue(4242));
    presetParamChanged(params, "savePreset", 0.0);
    const std::string text = readWholeFile(exported);
    EXPECT_NE(text.find("\nseed=4242\n"), std::string::npos);
    EXPECT_EQ(readWholeFile(slotFile(11)), text);
}

TEST_F(PresetButtons, ExportStillFilesTheSlotWhenTheChosenFileFails) {
    writeWholeFile(home.file("blocker"), "x");
    params.setValue("presetPath", textValue(home.file("blocker/export.qelvar")));
    presetParamChanged(params, "savePreset", 0.0);
    EXPECT_TRUE(std::filesystem::is_regular_file(slotFile(0)));
}

TEST_F(PresetButtons, EmptyPresetPathMakesExportAndImportDoNothing) {
    params.setValue("presetPath", textValue(""));
    params.writes.clear();
    EXPECT_TRUE(presetParamChanged(params, "savePreset", 0.0));
    EXPECT_TRUE(presetParamChanged(params, "loadPreset", 0.0));
    EXPECT_TRUE(params.writes.empty());
    EXPECT_EQ(filesInPresetFolder(), 0u);
}

TEST_F(PresetButtons, ImportFilesTheLoadedPresetIntoTheSlotUnderItsName) {
    const std::string source = home.file("incoming.qelvar");
    writeWholeFile(source, "presetName=Importé\nglowAmount=1.25\n");
    params.setValue("presetPath", textValue(source));
    params.setValue("customPresetSlot", choiceValue(1));
    presetParamChanged(params, "loadPreset", 0.0);
    EXPECT_EQ(params.value("glowAmount").number, 1.25);
    EXPECT_EQ(params.value("customPresetName").text, "Importé");
    EXPECT_EQ(readWholeFile(slotFile(1)), formatPresetFile(params, 0.0, "Importé"));
}

TEST_F(PresetButtons, FailedImportTouchesNeitherParametersNorTheSlot) {
    params.setValue("customPresetSlot", choiceValue(3));
    presetParamChanged(params, "saveCustomPreset", 0.0);
    const std::string slotBefore = readWholeFile(slotFile(3));
    params.setValue("glowAmount", doubleValue(1.75));
    params.setValue("presetPath", textValue(home.file("missing.qelvar")));
    params.writes.clear();
    presetParamChanged(params, "loadPreset", 0.0);
    EXPECT_TRUE(params.writes.empty());
    EXPECT_EQ(readWholeFile(slotFile(3)), slotBefore);
    EXPECT_FALSE(std::filesystem::exists(home.file("missing.qelvar")));
}

TEST_F(PresetButtons, OtherControlsDoNothingByThemselves) {
    params.writes.clear();
    for (const char* name : {"customPresetSlot", "customPresetName", "presetPath", "glowAmount",
                             "BuiltinPreset", "savepreset", ""}) {
        EXPECT_FALSE(presetParamChanged(params, name, 0.0)) << name;
        EXPECT_FALSE(isPresetTrigger(name)) << name;
    }
    EXPECT_TRUE(params.writes.empty());
    EXPECT_EQ(filesInPresetFolder(), 0u);
}

}  // namespace
}  // namespace ormel
