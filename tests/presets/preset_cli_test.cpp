// Presets from the varnok command line: looks by number or name, and preset
// files written by one run and read by another.
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "media/image_io.h"
#include "media/native_frame.h"
#include "tests/presets/temp_dir.h"

namespace ormel {
namespace {

struct RunResult {
    int status = -1;
    std::string output;  // stdout and stderr together
};

// Runs varnok with HOME pointed at `home`, so slot files stay in the test's folder.
RunResult run(const std::string& home, const std::string& args) {
    RunResult r;
    const std::string cmd = "HOME='" + home + "' " + std::string(VARNOK_EXE) + " " + args + " 2>&1";
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.output.append(buf, n);
    const int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

// Two red squares on a grey field, moving with the frame.
void writeInput(const std::string& dir) {
    for (int f = 1; f <= 2; ++f) {
        ofxhost::FloatImage img(48, 32);
        for (int y = 0; y < img.height; ++y)
            for (int x = 0; x < img.width; ++x) {
                float* p = img.pixel(x, y);
                const bool red = (x >= 6 + 2 * f && x < 12 + 2 * f && y >= 8 && y < 14) ||
                                 (x >= 30 && x < 36 && y >= 18 + f && y < 24 + f);
                p[0] = red ? 0.95f : 0.3f;
                p[1] = red ? 0.05f : 0.3f;
                p[2] = red ? 0.04f : 0.32f;
                p[3] = 1.0f;
            }
        char name[64];
        std::snprintf(name, sizeof name, "/in.%04d.exr", f);
        std::string err;
        ASSERT_TRUE(varnok::writeImageFile(dir + name, img, varnok::SampleType::Float, 4, &err)) << err;
    }
}

// The pixels of both output frames, for exact comparison.
std::string render(const TempDir& dir, const std::string& out, const std::string& extra) {
    const RunResult r = run(dir.path().string(), "render " + dir.file("in.%04d.exr") + " -o " +
                                                      dir.file(out + ".%04d.exr") + " --quiet " + extra);
    EXPECT_EQ(r.status, 0) << r.output;
    std::string pixels;
    for (const char* frame : {".0001.exr", ".0002.exr"}) {
        varnok::NativeFrame f;
        std::string err;
        EXPECT_TRUE(varnok::readImageFile(dir.file(out + frame), &f, &err)) << err;
        pixels.append(f.data.begin(), f.data.end());
    }
    return pixels;
}

TEST(PresetCli, PresetsListsTheElevenLooks) {
    TempDir dir;
    const RunResult r = run(dir.path().string(), "presets");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output.rfind(" 0  CLASSIC\n 1  HUD Scanner Vert\n", 0), 0u) << r.output;
    EXPECT_NE(r.output.find("\n 8  VHS Glitch Léger\n"), std::string::npos);
    EXPECT_NE(r.output.find("\n10  Point Cloud Blanc\n"), std::string::npos);
    EXPECT_EQ(r.output.find("\n11 "), std::string::npos);
}

TEST(PresetCli, LookByNumberOrNameGivesTheSamePicture) {
    TempDir dir;
    writeInput(dir.path().string());
    const std::string plain = render(dir, "plain", "");
    const std::string byNumber = render(dir, "number", "--preset 2");
    EXPECT_EQ(render(dir, "name", "--preset 'crt surveillance'"), byNumber);
    EXPECT_NE(byNumber, plain);
    // --set adjusts the look rather than being overwritten by it.
    EXPECT_NE(render(dir, "adjusted", "--preset 2 --set scanline=0"), byNumber);
}

TEST(PresetCli, BadLooksAndButtonsAreRefused) {
    TempDir dir;
    writeInput(dir.path().string());
    const std::string base = "render " + dir.file("in.%04d.exr") + " -o " + dir.file("x.%04d.exr");
    RunResult r = run(dir.path().string(), base + " --preset 11");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("varnok presets"), std::string::npos) << r.output;
    EXPECT_EQ(run(dir.path().string(), base + " --preset Nope").status, 1);
    r = run(dir.path().string(), base + " --press glowAmount");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("saveCustomPreset"), std::string::npos) << r.output;
    EXPECT_EQ(run(dir.path().string(), "params --press savePreset").status, 2);
}

TEST(PresetCli, ExportedByOneRunImportedByAnother) {
    TempDir dir;
    writeInput(dir.path().string());
    const std::string file = dir.file("looks/mine.qelvar");
    const std::string saved =
        render(dir, "saved", "--preset 6 --set glowAmount=1.3 --set presetPath=" + file + " --press savePreset");
    const std::string text = readWholeFile(file);
    EXPECT_NE(text.find("\npresetName=Tactical Red Boxes\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nglowAmount=1.3\n"), std::string::npos);
    EXPECT_EQ(readWholeFile(dir.file("Documents/Tesmar/Varnok/Presets/Custom 01.qelvar")), text);

    EXPECT_NE(render(dir, "plain", ""), saved);
    EXPECT_EQ(render(dir, "loaded", "--set presetPath=" + file + " --press loadPreset"), saved);
}

TEST(PresetCli, SlotSavedByOneRunLoadedByAnother) {
    TempDir dir;
    writeInput(dir.path().string());
    const std::string saved =
        render(dir, "saved", "--preset 9 --set customPresetSlot=4 --set customPresetName= --press saveCustomPreset");
    const std::string text = readWholeFile(dir.file("Documents/Tesmar/Varnok/Presets/Custom 05.qelvar"));
    EXPECT_EQ(text.rfind("# Varnok preset v1\npresetName=Preset perso 05\n", 0), 0u) << text;
    EXPECT_EQ(render(dir, "loaded", "--set customPresetSlot=4 --press loadCustomPreset"), saved);
}

}  // namespace
}  // namespace ormel
