// varnok as a host of any plug-in, with the Zoo bundle's small plug-ins: the
// plug-in chosen by id, contexts and clips, generators, regions of
// definition, a parametric curve, a crash and a refusal for a missing suite.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "cli_test_support.h"
#include "media/image_io.h"

namespace {

using cli_test::exists;
using cli_test::freshDir;
using cli_test::readFrame;
using cli_test::run;
using cli_test::RunResult;

// A float EXR of one colour.
void writeFlat(const std::string& path, int w, int h, float r, float g, float b) {
    ofxhost::FloatImage img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float* p = img.pixel(x, y);
            p[0] = r, p[1] = g, p[2] = b, p[3] = 1.0f;
        }
    std::string err;
    ASSERT_TRUE(varnok::writeImageFile(path, img, varnok::SampleType::Float, 4, &err)) << err;
}

// Pixel (x, y) of a written frame, y from the top as files store rows.
std::vector<float> pixelOf(const std::string& path, int x, int y, int* w = nullptr, int* h = nullptr) {
    const ofxhost::FloatImage img = varnok::toFloatRgba(readFrame(path));
    if (w) *w = img.width;
    if (h) *h = img.height;
    if (x >= img.width || y >= img.height) return {};
    const float* p = img.pixel(x, y);
    return {p[0], p[1], p[2], p[3]};
}

std::vector<std::string> filesIn(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d))
            if (e->d_name[0] != '.') names.push_back(e->d_name);
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

using V = std::vector<float>;

TEST(VarnokAnyPlugin, RendersOrRefusesEachKindOfPlugin) {
    const std::string d = freshDir("any_plugin");
    for (int f = 1; f <= 5; ++f) {
        char name[64];
        std::snprintf(name, sizeof name, "/a.%04d.exr", f);
        writeFlat(d + name, 6, 4, 0.25f, 0.5f, 0.125f);
        std::snprintf(name, sizeof name, "/b.%04d.exr", f);
        writeFlat(d + name, 6, 4, 0.5f, 0.25f, 0.25f);
    }
    writeFlat(d + "/wide.exr", 8, 4, 0.5f, 0.25f, 0.25f);
    const std::string zoo = std::string("--plugin ") + ZOO_BUNDLE + " --quiet ";
    const std::string a = d + "/a.####.exr", b = d + "/b.####.exr";
    struct Case {
        const char* name;
        std::string args;      // after "render"; OUT is the case's output folder
        bool succeeds;
        std::string says;      // in what varnok printed
        std::function<void(const std::string& out)> check;
    };
    const Case cases[] = {
        {"no id in a bundle of several", a + " -o OUT/o.####.exr", false,
         "holds 7 plug-ins; choose one with --plugin-id: org.varnok.tests.Merge2, org.varnok.tests.Wipe", nullptr},
        {"unknown id", a + " -o OUT/o.####.exr --plugin-id org.varnok.tests.Nope", false,
         "holds no plug-in org.varnok.tests.Nope; it holds: org.varnok.tests.Merge2", nullptr},
        {"general only, second input missing", a + " -o OUT/o.####.exr --plugin-id org.varnok.tests.Merge2", false,
         "the clip \"B\" is not optional and has no footage (give it with --input B=PATH)", nullptr},
        {"general only, two inputs: one picture for every frame, the output their union",
         a + " --input B=" + d + "/wide.exr -o OUT/o.####.exr --plugin-id org.varnok.tests.Merge2", true, "",
         [](const std::string& out) {
             int w = 0;
             EXPECT_EQ(pixelOf(out + "/o.0002.exr", 3, 1, &w), (V{0.75f, 0.75f, 0.375f, 1}));
             EXPECT_EQ(w, 8);
             EXPECT_EQ(pixelOf(out + "/o.0002.exr", 7, 1), (V{0, 0, 1, 1}));   // beyond A
         }},
        {"transition runs from 0 to 1 over the frames",
         a + " --input SourceTo=" + b + " --frames 1-3 -o OUT/o.####.exr --plugin-id org.varnok.tests.Wipe", true, "",
         [](const std::string& out) {
             EXPECT_EQ(pixelOf(out + "/o.0001.exr", 0, 0), (V{0.25f, 0.5f, 0.125f, 1}));
             EXPECT_EQ(pixelOf(out + "/o.0002.exr", 0, 0), (V{0.375f, 0.375f, 0.1875f, 1}));
             EXPECT_EQ(pixelOf(out + "/o.0003.exr", 0, 0), (V{0.5f, 0.25f, 0.25f, 1}));
         }},
        {"transition set by the user, any letter case",
         a + " --input SourceTo=" + b + " --frames 1-2 --set transition=1 -o OUT/o.####.exr --plugin-id "
             "org.varnok.tests.Wipe --context transition",
         true, "", [](const std::string& out) { EXPECT_EQ(pixelOf(out + "/o.0001.exr", 0, 0), (V{0.5f, 0.25f, 0.25f, 1})); }},
        {"generator with no INPUT", "--size 5x4 --frames 2-3 -o OUT/o.####.exr --plugin-id org.varnok.tests.Ramp", true,
         "",
         [](const std::string& out) {
             int w = 0, h = 0;
             // Top row of the file is the plug-in's y = 3.
             EXPECT_EQ(pixelOf(out + "/o.0003.exr", 1, 0, &w, &h), (V{1, 3, 3, 1}));
             EXPECT_EQ(w, 5);
             EXPECT_EQ(h, 4);
             EXPECT_FALSE(exists(out + "/o.0001.exr"));
         }},
        {"generator needs a size", "--frames 1-2 -o OUT/o.####.exr --plugin-id org.varnok.tests.Ramp", false,
         "a render with no INPUT needs --size WxH and --frames A-B", nullptr},
        {"region of definition larger than the source is written whole",
         a + " --frames 1-1 -o OUT/o.####.exr --plugin-id org.varnok.tests.Grow", true, "",
         [](const std::string& out) {
             int w = 0, h = 0;
             EXPECT_EQ(pixelOf(out + "/o.0001.exr", 0, 0, &w, &h), (V{0, 0, 1, 1}));
             EXPECT_EQ(w, 10);
             EXPECT_EQ(h, 8);
             EXPECT_EQ(pixelOf(out + "/o.0001.exr", 2, 2), (V{0.25f, 0.5f, 0.125f, 1}));
         }},
        {"parametric curve", a + " --frames 1-1 -o OUT/o.####.exr --plugin-id org.varnok.tests.Curve", true, "",
         [](const std::string& out) { EXPECT_EQ(pixelOf(out + "/o.0001.exr", 0, 0), (V{0.75f, 0.5f, 0.875f, 1})); }},
        {"refusal for a missing suite names the action, the plug-in's word and the suite",
         a + " -o OUT/o.####.exr --plugin-id org.varnok.tests.NeedsSuite", false,
         "create-instance failed: kOfxStatErrMissingHostFeature; the plug-in says: this effect draws its own "
         "controls; it asked for suites varnok lacks: OfxInteractSuite version 1",
         nullptr},
        {"crash in render", a + " -o OUT/o.####.png --plugin-id org.varnok.tests.Crash", false,
         "varnok: plug-in org.varnok.tests.Crash crashed in render at frame 3: SIG",
         [](const std::string& out) {
             // Frames finished before the crash stay whole under their names; nothing else is left.
             EXPECT_EQ(filesIn(out), (std::vector<std::string>{"o.0001.png", "o.0002.png"}));
             EXPECT_EQ(pixelOf(out + "/o.0002.png", 5, 3).size(), 4u);
         }},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string out = d + "/out" + std::to_string(index++);
        ASSERT_EQ(std::system(("mkdir -p '" + out + "'").c_str()), 0);
        std::string args = c.args;
        for (size_t at; (at = args.find("OUT")) != std::string::npos;) args.replace(at, 3, out);
        const RunResult r = run("render " + zoo + args);
        EXPECT_EQ(r.status == 0, c.succeeds) << r.output;
        if (!c.says.empty()) {
            EXPECT_NE(r.output.find(c.says), std::string::npos) << r.output;
        }
        // One line of varnok's, whatever went wrong; never a bare signal
        // (the shell may add its own word on a signal).
        if (!c.succeeds) {
            size_t lines = 0;
            for (size_t at = 0; (at = r.output.find("varnok: ", at)) != std::string::npos; ++at) ++lines;
            EXPECT_EQ(lines, 1u) << r.output;
        }
        if (c.check) c.check(out);
    }
}

TEST(VarnokAnyPlugin, ListsPluginsContextsAndClips) {
    const RunResult text = run(std::string("plugins ") + ZOO_BUNDLE);
    EXPECT_EQ(text.status, 0) << text.output;
    for (const char* line : {"org.varnok.tests.Wipe  version 1.0  \"Wipe\"\n  transition\n    SourceFrom   RGBA\n"
                             "    SourceTo     RGBA\n    Output       RGBA\n",
                             "org.varnok.tests.Ramp  version 1.0  \"Ramp\"\n  generator\n    Output       RGBA\n"})
        EXPECT_NE(text.output.find(line), std::string::npos) << text.output;
    const RunResult json = run(std::string("plugins --json ") + ZOO_BUNDLE);
    EXPECT_EQ(json.status, 0) << json.output;
    EXPECT_NE(json.output.find("{\"id\": \"org.varnok.tests.Merge2\", \"version\": \"1.0\", \"label\": \"Merge2\", "
                               "\"contexts\": [{\"name\": \"general\", \"clips\": [{\"name\": \"A\", \"optional\": "
                               "false, \"mask\": false, \"components\": [\"RGBA\"]}"),
              std::string::npos)
        << json.output;
}

}  // namespace
