#include "presets/preset_file_read.h"

#include <gtest/gtest.h>

#include "tests/presets/temp_dir.h"

namespace ormel {
namespace {

TEST(ParsePresetText, SplitsAtFirstEqualsAndTrimsNothing) {
    const PresetMap map = parsePresetText(
        "# Varnok preset v1\n"
        "\n"
        "no equals sign here\n"
        "presetName=a=b\n"
        "hueTolerance = 0.1\n"
        "glowAmount=1.2\r\n"
        "#seed=5\n"
        "=orphan\n"
        "last=1");
    EXPECT_EQ(map.size(), 5u);
    EXPECT_EQ(map.at("presetName"), "a=b");
    EXPECT_EQ(map.at("hueTolerance "), " 0.1");
    EXPECT_EQ(map.count("hueTolerance"), 0u);
    EXPECT_EQ(map.at("glowAmount"), "1.2\r");
    EXPECT_EQ(map.at(""), "orphan");
    EXPECT_EQ(map.at("last"), "1");
    EXPECT_EQ(map.count("seed"), 0u);
}

TEST(ParsePresetText, RepeatedKeyKeepsItsLastValue) {
    const PresetMap map = parsePresetText("seed=1\nseed=2\nseed=3\n");
    EXPECT_EQ(map.at("seed"), "3");
}

TEST(ParsePresetText, OnlyCommentsAndBareLinesGiveNothing) {
    EXPECT_TRUE(parsePresetText("# header\nplain\n\n\r\n").empty());
}

TEST(ReadPresetFile, MissingDirectoryAndOversizedFilesReadAsEmpty) {
    TempDir dir;
    EXPECT_TRUE(readPresetFile(dir.file("absent.qelvar")).empty());
    EXPECT_TRUE(readPresetFile(dir.path().string()).empty());
    const std::string big = dir.file("big.qelvar");
    writeWholeFile(big, "seed=7\n" + std::string(kMaxPresetFileBytes, '#'));
    EXPECT_TRUE(readPresetFile(big).empty());
}

TEST(ReadPresetFile, ReadsBytesUnchanged) {
    TempDir dir;
    const std::string path = dir.file("p.qelvar");
    writeWholeFile(path, "presetName=Traînées Fantômes\nseed=5");
    const PresetMap map = readPresetFile(path);
    EXPECT_EQ(map.at("presetName"), "Traînées Fantômes");
    EXPECT_EQ(map.at("seed"), "5");
}

TEST(ParseBool, OnlyExactTrueSpellings) {
    const PresetMap map = parsePresetText(
        "a=1\nb=true\nc=TRUE\nd=0\ne=True\nf=yes\ng=1 \nh=1\r\ni=\n");
    EXPECT_TRUE(parseBool(map, "a", false));
    EXPECT_TRUE(parseBool(map, "b", false));
    EXPECT_TRUE(parseBool(map, "c", false));
    for (const char* key : {"d", "e", "f", "g", "h", "i"}) EXPECT_FALSE(parseBool(map, key, true)) << key;
    EXPECT_TRUE(parseBool(map, "absent", true));
    EXPECT_FALSE(parseBool(map, "absent", false));
}

TEST(ParseRgb, AnySeparatorAndLeadingSpaces) {
    const PresetMap map = parsePresetText(
        "comma=1,0.05,0.02\nsemi=1;0;0\nspaced= 0.5 , 0.25 , 1\ncrlf=0.1,0.2,0.3\r\n");
    double r = -1, g = -1, b = -1;
    ASSERT_TRUE(parseRgb(map, "comma", r, g, b));
    EXPECT_EQ(r, 1.0);
    EXPECT_EQ(g, 0.05);
    EXPECT_EQ(b, 0.02);
    ASSERT_TRUE(parseRgb(map, "semi", r, g, b));
    EXPECT_EQ(r, 1.0);
    EXPECT_EQ(g, 0.0);
    EXPECT_EQ(b, 0.0);
    ASSERT_TRUE(parseRgb(map, "spaced", r, g, b));
    EXPECT_EQ(r, 0.5);
    EXPECT_EQ(g, 0.25);
    EXPECT_EQ(b, 1.0);
    ASSERT_TRUE(parseRgb(map, "crlf", r, g, b));
    EXPECT_EQ(b, 0.3);
}

TEST(ParseRgb, IncompleteOrNonNumericLeavesColourUnchanged) {
    const PresetMap map = parsePresetText("two=1,0\nword=red,0,0\nempty=\nnan=nan,0,0\nstuck=1,,0,0\n");
    for (const char* key : {"two", "word", "empty", "nan", "stuck", "absent"}) {
        double r = 7, g = 8, b = 9;
        EXPECT_FALSE(parseRgb(map, key, r, g, b)) << key;
        EXPECT_EQ(r, 7.0) << key;
        EXPECT_EQ(g, 8.0) << key;
        EXPECT_EQ(b, 9.0) << key;
    }
}

}  // namespace
}  // namespace ormel
