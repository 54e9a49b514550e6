#include <algorithm>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <sstream>
#if !defined(_WIN32)
#include <sys/resource.h>
#endif
#include <vector>

#include <gtest/gtest.h>

#include "presets/number_text.h"
#include "presets/preset_catalogue.h"
#include "presets/preset_load.h"
#include "presets/preset_save.h"
#include "presets/preset_slots.h"
#include "tests/presets/memory_params.h"
#include "tests/presets/temp_dir.h"

namespace ormel {
namespace {

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Moves every preset parameter away from its default and inside its range,
// doubles with more than six significant digits.
void scramble(MemoryParams& params) {
    const auto catalogue = paramCatalogue();
    int i = 0;
    for (const PresetKey& key : presetKeys()) {
        PresetValue v = params.value(key.name);
        const ParamSpec& spec = *findParam(catalogue, key.name);
        ++i;
        switch (key.kind) {
            case ValueKind::Double: {
                const double step = 0.123456789 * i;
                v.number = spec.minimum + (spec.maximum - spec.minimum) * (step - std::floor(step));
                break;
            }
            case ValueKind::Integer:
                v.integer = static_cast<int>(spec.minimum) +
                            (3 * i + 1) % (static_cast<int>(spec.maximum - spec.minimum) + 1);
                break;
            case ValueKind::Choice: v.integer = v.integer == 0 ? 1 : 0; break;
            case ValueKind::Boolean: v.flag = !v.flag; break;
            case ValueKind::Rgb: v.rgb = {0.1111111 * (i % 9), 0.5, 1.0 / 3.0}; break;
            case ValueKind::Text: break;
        }
        params.setValue(key.name, v);
    }
}

std::map<std::string, PresetValue> presetValuesOf(const MemoryParams& params) {
    std::map<std::string, PresetValue> out;
    for (const PresetKey& key : presetKeys()) out[key.name] = params.value(key.name);
    return out;
}

// Every preset value of `target` equals `source`'s, doubles and colours as
// written with six significant digits; booleans all false when `booleansFalse`.
void expectLoadedToSixDigits(const MemoryParams& source, const MemoryParams& target, bool booleansFalse) {
    for (const PresetKey& key : presetKeys()) {
        const PresetValue in = source.value(key.name);
        const PresetValue out = target.value(key.name);
        if (key.kind == ValueKind::Double) {
            EXPECT_EQ(formatPresetDouble(out.number), formatPresetDouble(in.number)) << key.name;
            EXPECT_NEAR(out.number, in.number, std::abs(in.number) * 5e-6) << key.name;
        } else if (key.kind == ValueKind::Rgb) {
            for (int c = 0; c < 3; ++c) EXPECT_NEAR(out.rgb[c], in.rgb[c], 1e-6) << key.name;
        } else if (key.kind == ValueKind::Boolean && booleansFalse) {
            EXPECT_FALSE(out.flag) << key.name;
        } else {
            EXPECT_EQ(out, in) << key.name;
        }
    }
}

// Every parameter outside the presets group, in file order.
TEST(PresetKeys, HundredTwentyInFileOrder) {
    const auto keys = presetKeys();
    const auto catalogue = paramCatalogue();
    const auto controls = std::count_if(catalogue.begin(), catalogue.end(), isPresetControl);
    ASSERT_EQ(keys.size(), catalogue.size() - static_cast<size_t>(controls));
    auto at = [&](const char* name) {
        return std::find_if(keys.begin(), keys.end(), [&](const PresetKey& k) { return k.name == name; }) -
               keys.begin();
    };
    EXPECT_EQ(keys[0].name, "renderEngine");
    EXPECT_EQ(keys[1].name, "fastPreview");
    EXPECT_EQ(at("hudScale"), at("sourceOpacity") + 1);
    EXPECT_EQ(at("drawPoints"), at("hudScale") + 1);
    EXPECT_EQ(at("pixelSortEnable"), at("asciiCellSize") + 1);
    EXPECT_EQ(keys.back().name, "seed");
    EXPECT_EQ(keys[at("targetColor")].kind, ValueKind::Rgb);
    EXPECT_EQ(keys[at("detectionScale")].kind, ValueKind::Choice);
    for (const PresetKey& key : keys) {
        for (const char* control : {"builtinPreset", "customPresetSlot", "customPresetName", "presetPath"}) {
            EXPECT_NE(key.name, control);
        }
    }
}

TEST(FormatPresetFile, HeaderNameThenOneLinePerKey) {
    MemoryParams params;
    const auto lines = linesOf(formatPresetFile(params, 0.0, "Mon preset"));
    const auto keys = presetKeys();
    ASSERT_EQ(lines.size(), keys.size() + 2);
    EXPECT_EQ(lines[0], "# Varnok preset v1");
    EXPECT_EQ(lines[1], "presetName=Mon preset");
    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(lines[i + 2].substr(0, keys[i].name.size() + 1), keys[i].name + "=");
    }
    EXPECT_EQ(lines[2], "renderEngine=1");
    EXPECT_EQ(lines[3], "fastPreview=1");
    EXPECT_EQ(lines[7], "targetColor=1,0,0");
    EXPECT_EQ(lines[8], "hueTolerance=0.06");
    EXPECT_EQ(lines[17], "maxBlobArea=500000");
    EXPECT_EQ(lines[19], "trackingDistance=90");
    EXPECT_EQ(lines[23], "hudScale=2");
    EXPECT_EQ(lines.back(), "seed=1337");

    EXPECT_EQ(linesOf(formatPresetFile(params, 0.0, ""))[1], "renderEngine=1");
    // A line feed in the name must not smuggle a value line into the file.
    EXPECT_EQ(linesOf(formatPresetFile(params, 0.0, "evil\nseed=1"))[1], "presetName=evil seed=1");
}

TEST(FormatPresetFile, SamplesValuesAtTheGivenTime) {
    MemoryParams params;
    params.setKeyed("glowAmount", 12.0, doubleValue(0.9));
    params.setKeyed("pixelSortColor", 12.0, rgbValue(0.5, 1e-5, 1e6));
    const std::string atTwelve = formatPresetFile(params, 12.0, "x");
    EXPECT_NE(atTwelve.find("\nglowAmount=0.9\n"), std::string::npos);
    EXPECT_NE(atTwelve.find("\npixelSortColor=0.5,1e-05,1e+06\n"), std::string::npos);
    EXPECT_NE(formatPresetFile(params, 0.0, "x").find("\nglowAmount=0.35\n"), std::string::npos);
}

TEST(SaveLoad, RoundTripRestoresEveryValueToSixDigits) {
    TempDir dir;
    const std::string path = dir.file("round.qelvar");
    MemoryParams source;
    scramble(source);
    source.setValue("hueTolerance", doubleValue(0.123456789));
    source.setValue("maxConnectionDistance", doubleValue(1234.5678));
    source.setValue("targetColor", rgbValue(0.987654321, 0, 1));
    ASSERT_TRUE(savePreset(source, path, 0.0, "Aller-retour"));

    MemoryParams target;
    ASSERT_TRUE(loadPreset(target, path));
    EXPECT_EQ(target.value("customPresetName").text, "Aller-retour");
    expectLoadedToSixDigits(source, target, false);
    EXPECT_EQ(target.value("hueTolerance").number, 0.123457);
    EXPECT_EQ(target.value("maxConnectionDistance").number, 1234.57);
    EXPECT_EQ(target.value("targetColor"), rgbValue(0.987654, 0, 1));
}

TEST(LoadPreset, SingleKeyWritesItAndWritesBackTheRestExceptColours) {
    TempDir dir;
    const std::string path = dir.file("one.qelvar");
    writeWholeFile(path, "glowAmount=1.2\n");
    MemoryParams params;
    params.setValue("customPresetName", textValue("Gardé"));
    params.setValue("seed", integerValue(42));
    params.setValue("targetColor", rgbValue(0.2, 0.4, 0.6));
    const auto before = presetValuesOf(params);
    params.writes.clear();

    ASSERT_TRUE(loadPreset(params, path));
    EXPECT_EQ(params.value("glowAmount").number, 1.2);
    EXPECT_EQ(params.value("customPresetName").text, "Gardé");
    auto after = presetValuesOf(params);
    after["glowAmount"] = before.at("glowAmount");
    EXPECT_EQ(after, before);
    // Current values are written back, colours are not written at all.
    for (const PresetKey& key : presetKeys()) {
        const bool written = std::count(params.writes.begin(), params.writes.end(), key.name) == 1;
        EXPECT_EQ(written, key.kind != ValueKind::Rgb) << key.name;
    }
}

// A file's values outside a control's range are held to it as they load, as
// the effect holds whatever it reads; values inside it load as written.
TEST(LoadPreset, ValuesOutsideTheirRangeLoadHeld) {
    TempDir dir;
    const std::string path = dir.file("wild.qelvar");
    writeWholeFile(path,
                   "glowAmount=100\nmaxObjects=-1\nblurRadius=2147483647\noutputMode=9\nhudScale=nan\n"
                   "targetColor=2,-1,0.25\nscanline=0.3\n");
    MemoryParams params;
    ASSERT_TRUE(loadPreset(params, path));
    EXPECT_EQ(params.value("glowAmount").number, 2.0);
    EXPECT_EQ(params.value("maxObjects").integer, 1);
    EXPECT_EQ(params.value("blurRadius").integer, 12);
    EXPECT_EQ(params.value("outputMode").integer, 2);
    EXPECT_EQ(params.value("hudScale").number, findParam(paramCatalogue(), "hudScale")->defaultValue);
    EXPECT_EQ(params.value("targetColor").rgb, (std::array<double, 3>{1.0, 0.0, 0.25}));
    EXPECT_EQ(params.value("scanline").number, 0.3);
}

TEST(LoadPreset, SpacesAroundEqualsMatchNoKeyButStillCountAsAPair) {
    TempDir dir;
    const std::string path = dir.file("spaced.qelvar");
    writeWholeFile(path, "hueTolerance = 0.1\n");
    MemoryParams params;
    const auto before = presetValuesOf(params);
    EXPECT_TRUE(loadPreset(params, path));
    EXPECT_EQ(presetValuesOf(params), before);
}

TEST(LoadPreset, CarriageReturnsKeepNumbersAndColoursButTurnBooleansFalse) {
    TempDir dir;
    MemoryParams source;
    scramble(source);
    source.setValue("drawPoints", boolValue(true));
    std::string text = formatPresetFile(source, 0.0, "crlf");
    std::string crlf;
    for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const std::string path = dir.file("crlf.qelvar");
    writeWholeFile(path, crlf);

    MemoryParams target;
    target.setValue("drawTrails", boolValue(true));
    ASSERT_TRUE(loadPreset(target, path));
    EXPECT_EQ(target.value("customPresetName").text, "crlf\r");
    expectLoadedToSixDigits(source, target, true);
}

TEST(LoadPreset, ColourSeparatorsAreNotCheckedButAllThreeNumbersAreNeeded) {
    TempDir dir;
    const std::string path = dir.file("colours.qelvar");
    writeWholeFile(path, "targetColor=1;0;0\npointColor=1,0\nboxColor=a,b,c\n");
    MemoryParams params;
    params.setValue("targetColor", rgbValue(0, 0, 1));
    params.setValue("pointColor", rgbValue(0.3, 0.3, 0.3));
    const PresetValue box = params.value("boxColor");
    ASSERT_TRUE(loadPreset(params, path));
    EXPECT_EQ(params.value("targetColor"), rgbValue(1, 0, 0));
    EXPECT_EQ(params.value("pointColor"), rgbValue(0.3, 0.3, 0.3));
    EXPECT_EQ(params.value("boxColor"), box);
}

TEST(LoadPreset, MalformedValuesReadAsZeroOrFalseThenHeldToTheirRange) {
    TempDir dir;
    const std::string path = dir.file("bad.qelvar");
    writeWholeFile(path,
                   "drawPoints=yes\nglowAmount=lots\nseed=abc\nmaxObjects=99999999999\n"
                   "detectionScale=-4\nlineCurveAmount=-1e999\n");
    MemoryParams params;
    ASSERT_TRUE(loadPreset(params, path));
    EXPECT_FALSE(params.value("drawPoints").flag);
    EXPECT_EQ(params.value("glowAmount").number, 0.0);
    EXPECT_EQ(params.value("seed").integer, 0);
    EXPECT_EQ(params.value("maxObjects").integer, 512);
    EXPECT_EQ(params.value("detectionScale").integer, 0);
    EXPECT_EQ(params.value("lineCurveAmount").number, -600.0);
}

TEST(LoadPreset, NothingToReadChangesNothing) {
    TempDir dir;
    writeWholeFile(dir.file("comments.qelvar"), "# Varnok preset v1\n# seed=4\nno pair\n\n");
    writeWholeFile(dir.file("empty.qelvar"), "");
    for (const char* name : {"comments.qelvar", "empty.qelvar", "missing.qelvar"}) {
        MemoryParams params;
        EXPECT_FALSE(loadPreset(params, dir.file(name))) << name;
        EXPECT_TRUE(params.writes.empty()) << name;
    }
}

TEST(SavePreset, CreatesThePresetFolderOnFirstSave) {
    TempDir home;
    ScopedHome scoped(home.path().string());
    const std::string path = customPresetPath(3);
    ASSERT_FALSE(std::filesystem::exists(home.path() / "Documents"));
    MemoryParams params;
    EXPECT_TRUE(savePreset(params, path, 0.0, "premier"));
    EXPECT_TRUE(std::filesystem::is_regular_file(home.path() / "Documents/Tesmar/Varnok/Presets/Custom 04.qelvar"));
    EXPECT_EQ(readWholeFile(path), formatPresetFile(params, 0.0, "premier"));
}

TEST(SavePreset, ReplacesAnEarlierFileCompletely) {
    TempDir dir;
    const std::string path = dir.file("p.qelvar");
    writeWholeFile(path, std::string(20000, 'x'));
    MemoryParams params;
    ASSERT_TRUE(savePreset(params, path, 0.0, "n"));
    EXPECT_EQ(readWholeFile(path), formatPresetFile(params, 0.0, "n"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(SavePreset, UnwritablePlacesSaveNothingAndLeaveNoLitter) {
    TempDir dir;
    writeWholeFile(dir.file("plain"), "not a folder");
    std::filesystem::create_directory(dir.path() / "folder");
    MemoryParams params;
    EXPECT_FALSE(savePreset(params, dir.file("plain") + "/p.qelvar", 0.0, "n"));
    EXPECT_FALSE(savePreset(params, dir.file("folder"), 0.0, "n"));
    EXPECT_FALSE(savePreset(params, "", 0.0, "n"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "folder"));
    EXPECT_EQ(readWholeFile(dir.file("plain")), "not a folder");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
}

#if !defined(_WIN32)
// A write that fails midway (here the file-size limit) must keep the user's
// earlier preset intact instead of leaving it truncated. Windows has no such
// limit; its own failing replacement is tested with the Windows build.
TEST(SavePreset, WriteFailingMidwayKeepsTheEarlierFile) {
    TempDir dir;
    const std::string path = dir.file("keep.qelvar");
    const std::string earlier = "# Varnok preset v1\npresetName=Ancien\nseed=7\n";
    writeWholeFile(path, earlier);

    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 256;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    MemoryParams params;
    const bool saved = savePreset(params, path, 0.0, "Nouveau");
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved);
    EXPECT_EQ(readWholeFile(path), earlier);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}
#endif

}  // namespace
}  // namespace ormel
