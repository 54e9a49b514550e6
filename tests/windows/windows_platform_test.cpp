// What only Windows does differently: where the preset folder comes from, UTF-8
// paths with accents reaching the wide file API, replacing a file another
// program holds open, loading a bundle from such a path, and the GPU hand-off
// of a real render when no OpenCL.dll can be loaded.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "catalogue/param_catalogue.h"
#include "presets/preset_file_read.h"
#include "presets/preset_load.h"
#include "presets/preset_save.h"
#include "tests/plugin/varnok_test_support.h"
#include "tests/presets/memory_params.h"
#include "tests/presets/temp_dir.h"
#include "treatments/gpu/opencl_api.h"

namespace ormel {
namespace {

namespace fs = std::filesystem;

const char* const kPresetTail = "/Documents/Tesmar/Varnok/Presets";

// Holds HOME and USERPROFILE as they were and puts them back.
class ScopedProfile {
public:
    ScopedProfile() : home_(read(L"HOME")), profile_(read(L"USERPROFILE")) {}
    ~ScopedProfile() {
        setVariable("HOME", home_);
        setVariable("USERPROFILE", profile_);
    }

private:
    static std::string read(const wchar_t* name) {
        const wchar_t* v = _wgetenv(name);
        return v != nullptr ? fs::path(v).u8string() : std::string();
    }
    std::string home_;
    std::string profile_;
};

TEST(WindowsPresetFolder, HomeThenUserProfileThenTheFixedFolder) {
    ScopedProfile keep;
    setVariable("HOME", "D:\\Home\\ana");
    setVariable("USERPROFILE", "C:\\Users\\ana");
    EXPECT_EQ(presetDirectory(), std::string("D:\\Home\\ana") + kPresetTail);

    // Where HOME is missing, as it is on most Windows machines, the profile
    // folder counts, accents and all, in UTF-8.
    unsetVariable("HOME");
    setVariable("USERPROFILE", u8"C:\\Users\\Renée");
    EXPECT_EQ(presetDirectory(), std::string(u8"C:\\Users\\Renée") + kPresetTail);
    EXPECT_EQ(findParam(paramCatalogue(), "presetPath")->defaultText,
              std::string(u8"C:\\Users\\Renée") + kPresetTail + "/Varnok.qelvar");

    unsetVariable("USERPROFILE");
    const std::string fallback = presetDirectory();
    EXPECT_EQ(fallback, std::string("C:/Users/Public") + kPresetTail);
    EXPECT_TRUE(fs::u8path(fallback).is_absolute());
}

// The names on disk, as Windows itself spells them, sorted.
std::vector<std::wstring> wideNames(const fs::path& folder) {
    std::vector<std::wstring> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().wstring());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(WindowsPresetFiles, AccentedFoldersAndNamesSaveAndLoad) {
    TempDir dir;
    // A look's name as a file name, in a folder that does not exist yet.
    const std::string folder = dir.file(u8"Préréglages été");
    const std::string path = folder + u8"/Traînées Fantômes.qelvar";
    MemoryParams saved;
    saved.values["glowAmount"].number = 0.75;
    ASSERT_TRUE(savePreset(saved, path, 0.0, u8"Traînées Fantômes"));

    EXPECT_EQ(wideNames(dir.path()), std::vector<std::wstring>{L"Préréglages été"});
    EXPECT_EQ(wideNames(fs::u8path(folder)), std::vector<std::wstring>{L"Traînées Fantômes.qelvar"});
    EXPECT_EQ(readPresetFile(path).at("presetName"), u8"Traînées Fantômes");

    MemoryParams loaded;
    ASSERT_TRUE(loadPreset(loaded, path));
    EXPECT_EQ(loaded.values.at("glowAmount").number, 0.75);
    EXPECT_EQ(loaded.values.at("customPresetName").text, u8"Traînées Fantômes");
}

// Another program holding the preset without delete sharing (an editor, a
// virus scanner) makes the replacement fail: the save reports it, the file
// keeps its content, and no temporary file is left beside it.
TEST(WindowsPresetFiles, AFileHeldOpenKeepsItsContentAndNothingIsLeftBehind) {
    TempDir dir;
    const std::string path = dir.file(u8"Gardé.qelvar");
    writeWholeFile(path, "# Varnok preset v1\nseed=7\n");
    HANDLE held = CreateFileW(fs::u8path(path).wstring().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    MemoryParams params;
    const bool saved = savePreset(params, path, 0.0, "Nouveau");
    CloseHandle(held);

    EXPECT_FALSE(saved);
    EXPECT_EQ(readWholeFile(path), "# Varnok preset v1\nseed=7\n");
    EXPECT_EQ(wideNames(dir.path()), std::vector<std::wstring>{L"Gardé.qelvar"});

    // Once it is let go, the same save replaces it whole.
    ASSERT_TRUE(savePreset(params, path, 0.0, "Nouveau"));
    EXPECT_EQ(readWholeFile(path), formatPresetFile(params, 0.0, "Nouveau"));
    EXPECT_EQ(wideNames(dir.path()), std::vector<std::wstring>{L"Gardé.qelvar"});
}

// The plug-in's export button, end to end: the file named by presetPath and
// the slot file in the profile folder, both with accents, land under the names
// Windows shows, and import reads them back.
TEST(WindowsPresetFiles, ExportAndImportThroughThePlugInWithAccentedPaths) {
    ScopedProfile keep;
    TempDir dir;
    unsetVariable("HOME");
    setVariable("USERPROFILE", dir.file(u8"Renée"));
    int status = -1;
    auto inst = varnok_test::plugin().createInstance(ofxhost::kContextFilter, &status);
    ASSERT_TRUE(inst) << ofxhost::statusName(status);
    const std::string exported = dir.file(u8"Traînées Fantômes.qelvar");
    ASSERT_TRUE(inst->setValue("presetPath", ofxhost::ParamValue::string(exported)));
    ASSERT_TRUE(inst->setValue("customPresetName", ofxhost::ParamValue::string(u8"Été")));
    ASSERT_TRUE(inst->setValue("glowAmount", ofxhost::ParamValue::number(0.5)));
    ASSERT_EQ(inst->instanceChanged("savePreset", 0.0), ofxhost::kStatusOK);

    const fs::path slots = fs::path(L"Renée") / "Documents" / "Tesmar" / "Varnok" / "Presets";
    EXPECT_EQ(wideNames(dir.path()), (std::vector<std::wstring>{L"Renée", L"Traînées Fantômes.qelvar"}));
    EXPECT_EQ(wideNames(dir.path() / slots), std::vector<std::wstring>{L"Custom 01.qelvar"});
    EXPECT_EQ(readPresetFile(exported).at("presetName"), u8"Été");

    ASSERT_TRUE(inst->setValue("glowAmount", ofxhost::ParamValue::number(0.0)));
    ASSERT_EQ(inst->instanceChanged("loadPreset", 0.0), ofxhost::kStatusOK);
    ofxhost::ParamValue glow;
    ASSERT_TRUE(inst->getValue("glowAmount", 0.0, &glow));
    EXPECT_EQ(glow.numbers.at(0), 0.5);
}

// A bundle copied into a folder named with accents and backslashes, the way a
// Windows host hands the path over, loads and describes itself.
TEST(WindowsBundle, LoadsFromAnAccentedFolder) {
    TempDir dir;
    const fs::path target = fs::u8path(dir.file(u8"Effets spéciaux")) / "Varnok.ofx.bundle";
    fs::create_directories(target);
    const fs::path built = fs::u8path(VARNOK_BUNDLE_PATH).parent_path().parent_path().parent_path();
    fs::copy(built, target, fs::copy_options::recursive);
    std::string error;
    std::unique_ptr<ofxhost::Plugin> p = ofxhost::Plugin::load(target.u8string() + "\\", "", &error);
    ASSERT_TRUE(p) << error;
    EXPECT_EQ(p->identifier(), "com.tesmar.VarnokOFX");
    EXPECT_FALSE(p->params(ofxhost::kContextFilter).empty());
}

TEST(WindowsBundle, ANonBundleReportsTheSystemsReason) {
    TempDir dir;
    std::string error;
    EXPECT_FALSE(ofxhost::Plugin::load(dir.file(u8"Absent é.ofx"), "", &error));
    EXPECT_NE(error.find(u8"Absent é.ofx"), std::string::npos) << error;
    EXPECT_NE(error.find("error "), std::string::npos) << error;
}

// With the GPU engine chosen and no OpenCL.dll to load, the plug-in's pixel
// sort falls back to the processor and gives exactly its bits.
TEST(WindowsGpu, RenderWithoutOpenClGivesTheProcessorPixelSort) {
    ocl::Api api;
    if (ocl::loadApi(api)) GTEST_SKIP() << "an OpenCL runtime is installed here";
    int status = -1;
    auto inst = varnok_test::plugin().createInstance(ofxhost::kContextFilter, &status);
    ASSERT_TRUE(inst) << ofxhost::statusName(status);
    inst->setFrameProvider("Source", [](double t, ofxhost::FloatImage& out) {
        out = varnok_test::movingSquares(64, 48, t);
        return true;
    });
    auto renderWith = [&](double engine, double sort) {
        EXPECT_TRUE(inst->setValue("renderEngine", ofxhost::ParamValue::number(engine)));
        EXPECT_TRUE(inst->setValue("pixelSortEnable", ofxhost::ParamValue::number(sort)));
        const auto r = inst->render(3);
        EXPECT_EQ(r.status, ofxhost::kStatusOK) << r.error;
        return r.output.rgba;
    };
    ASSERT_TRUE(inst->setValue("pixelSortAmount", ofxhost::ParamValue::number(0.9)));
    ASSERT_TRUE(inst->setValue("pixelSortThreshold", ofxhost::ParamValue::number(0.05)));
    const std::vector<float> gpu = renderWith(1, 1);
    const std::vector<float> cpu = renderWith(0, 1);
    const std::vector<float> unsorted = renderWith(1, 0);
    EXPECT_NE(cpu, unsorted) << "the pixel sort must change the picture for this test to mean anything";
    EXPECT_EQ(gpu, cpu);
}

}  // namespace
}  // namespace ormel
