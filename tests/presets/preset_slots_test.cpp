#include "presets/preset_slots.h"

#include <gtest/gtest.h>

#include "catalogue/param_catalogue.h"
#include "tests/presets/temp_dir.h"

namespace ormel {
namespace {

TEST(CustomPresetPath, TwoDigitSlotNumbersClampedToTwenty) {
    EXPECT_EQ(customPresetPath("/p", 0), "/p/Custom 01.qelvar");
    EXPECT_EQ(customPresetPath("/p", 8), "/p/Custom 09.qelvar");
    EXPECT_EQ(customPresetPath("/p", 9), "/p/Custom 10.qelvar");
    EXPECT_EQ(customPresetPath("/p", 19), "/p/Custom 20.qelvar");
    EXPECT_EQ(customPresetPath("/p", 25), "/p/Custom 20.qelvar");
    EXPECT_EQ(customPresetPath("/p", -1), "/p/Custom 01.qelvar");
    EXPECT_EQ(customPresetPath("/p", -2147483647 - 1), "/p/Custom 01.qelvar");
}

TEST(CustomPresetPath, SlotFilesLieInThePresetFolderUnderHome) {
    ScopedHome home("/home/somebody");
    EXPECT_EQ(customPresetPath(2), "/home/somebody/Documents/Tesmar/Varnok/Presets/Custom 03.qelvar");
    EXPECT_EQ(customPresetPath(2), customPresetPath(presetDirectory(), 2));
}

TEST(CurrentCustomPresetName, TypedNameWinsElseSlotDefault) {
    EXPECT_EQ(currentCustomPresetName("Mon preset", 4), "Mon preset");
    EXPECT_EQ(currentCustomPresetName("", 2), "Preset perso 03");
    EXPECT_EQ(currentCustomPresetName("", 4), "Preset perso 05");
    EXPECT_EQ(currentCustomPresetName("", 9), "Preset perso 10");
    EXPECT_EQ(currentCustomPresetName("", 40), "Preset perso 20");
    EXPECT_EQ(currentCustomPresetName("", -3), "Preset perso 01");
    // A name of spaces is not empty and is kept as typed.
    EXPECT_EQ(currentCustomPresetName(" ", 0), " ");
}

}  // namespace
}  // namespace ormel
