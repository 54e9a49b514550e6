// Saving replaces the file in one step, yet must save wherever opening the
// path for writing would: long file names and paths through symbolic links.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "presets/preset_save.h"
#include "tests/presets/memory_params.h"
#include "tests/presets/temp_dir.h"

namespace ormel {
namespace {

std::size_t entryCount(const std::filesystem::path& dir) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir), {}));
}

// A name at the file system's limit is legal; the temporary file beside it
// must not need a longer one.
TEST(PresetSaveRules, FileNameAtTheLengthLimitSaves) {
    TempDir dir;
    const std::string name = std::string(255 - 7, 'p') + ".qelvar";
    const std::string path = dir.file(name);
    MemoryParams params;
    EXPECT_TRUE(savePreset(params, path, 0.0, "long"));
    EXPECT_EQ(readWholeFile(path), formatPresetFile(params, 0.0, "long"));
    EXPECT_EQ(entryCount(dir.path()), 1u);
}

// Saving to a link writes the file it points to, and the link stays a link.
TEST(PresetSaveRules, SavingThroughALinkWritesItsTarget) {
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "real");
    const std::string target = dir.file("real/p.qelvar");
    writeWholeFile(target, "old");
    std::filesystem::create_symlink("real/p.qelvar", dir.path() / "link.qelvar");
    MemoryParams params;
    ASSERT_TRUE(savePreset(params, dir.file("link.qelvar"), 0.0, "lien"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.path() / "link.qelvar"));
    EXPECT_EQ(readWholeFile(target), formatPresetFile(params, 0.0, "lien"));
    EXPECT_EQ(entryCount(dir.path() / "real"), 1u);

    // A link to a file not made yet creates that file, as opening it would.
    std::filesystem::create_symlink("real/new.qelvar", dir.path() / "dangling.qelvar");
    ASSERT_TRUE(savePreset(params, dir.file("dangling.qelvar"), 0.0, "neuf"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.path() / "dangling.qelvar"));
    EXPECT_EQ(readWholeFile(dir.file("real/new.qelvar")), formatPresetFile(params, 0.0, "neuf"));
}

// A loop of links cannot be opened for writing either: nothing is saved and
// nothing hangs.
TEST(PresetSaveRules, LinkLoopSavesNothing) {
    TempDir dir;
    std::filesystem::create_symlink("b.qelvar", dir.path() / "a.qelvar");
    std::filesystem::create_symlink("a.qelvar", dir.path() / "b.qelvar");
    MemoryParams params;
    EXPECT_FALSE(savePreset(params, dir.file("a.qelvar"), 0.0, "boucle"));
    EXPECT_EQ(entryCount(dir.path()), 2u);
}

}  // namespace
}  // namespace ormel
