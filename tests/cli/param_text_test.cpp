// Command-line parameter values and media path patterns.
#include <unistd.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "media/media_path.h"
#include "cli/param_text.h"

namespace {

using ofxhost::ParamInfo;
using ofxhost::ParamKind;
using ofxhost::ParamValue;

ParamInfo param(const std::string& name, ParamKind kind) {
    ParamInfo p;
    p.name = name;
    p.kind = kind;
    return p;
}

TEST(ParamText, ParsesEveryKindAndRefusesWhatDoesNotFit) {
    std::string err;
    ParamValue v;
    ParamInfo d = param("hudScale", ParamKind::Double);
    d.minimum = {0.25};
    d.maximum = {12};
    ASSERT_TRUE(varnok::valueFromText(d, "3.5", &v, &err));
    EXPECT_EQ(v.numbers, std::vector<double>{3.5});
    EXPECT_FALSE(varnok::valueFromText(d, "20", &v, &err));
    EXPECT_NE(err.find("between 0.25 and 12"), std::string::npos) << err;
    EXPECT_FALSE(varnok::valueFromText(d, "nan", &v, &err));
    EXPECT_FALSE(varnok::valueFromText(d, "1e999", &v, &err));
    EXPECT_FALSE(varnok::valueFromText(d, "3x", &v, &err));

    ParamInfo i = param("blurRadius", ParamKind::Integer);
    i.minimum = {0};
    i.maximum = {12};
    ASSERT_TRUE(varnok::valueFromText(i, " 7 ", &v, &err));
    EXPECT_EQ(v.numbers, std::vector<double>{7});
    EXPECT_FALSE(varnok::valueFromText(i, "2.5", &v, &err));
    EXPECT_FALSE(varnok::valueFromText(i, "-1", &v, &err));
    EXPECT_FALSE(varnok::valueFromText(i, "99999999999", &v, &err));

    ParamInfo b = param("drawBoxes", ParamKind::Boolean);
    for (const char* t : {"true", "1", "on", "ON", "yes"}) {
        ASSERT_TRUE(varnok::valueFromText(b, t, &v, &err)) << t;
        EXPECT_EQ(v.numbers, std::vector<double>{1});
    }
    for (const char* t : {"false", "0", "off"}) {
        ASSERT_TRUE(varnok::valueFromText(b, t, &v, &err)) << t;
        EXPECT_EQ(v.numbers, std::vector<double>{0});
    }
    EXPECT_FALSE(varnok::valueFromText(b, "2", &v, &err));
    EXPECT_NE(err.find("boolean"), std::string::npos);

    ParamInfo c = param("detectionScale", ParamKind::Choice);
    c.options = {"Pleine", "Demi", "Quart", "Huitième"};
    ASSERT_TRUE(varnok::valueFromText(c, "Huitième", &v, &err));
    EXPECT_EQ(v.numbers, std::vector<double>{3});
    ASSERT_TRUE(varnok::valueFromText(c, "1", &v, &err));
    EXPECT_EQ(v.numbers, std::vector<double>{1});
    EXPECT_FALSE(varnok::valueFromText(c, "4", &v, &err));
    EXPECT_NE(err.find("between 0 and 3"), std::string::npos) << err;
    EXPECT_FALSE(varnok::valueFromText(c, "huitième", &v, &err));   // option texts are exact

    ParamInfo rgb = param("targetColor", ParamKind::RGB);
    rgb.minimum = {0, 0, 0};
    rgb.maximum = {1, 1, 1};
    ASSERT_TRUE(varnok::valueFromText(rgb, "0,1,0.5", &v, &err));
    EXPECT_EQ(v.numbers, (std::vector<double>{0, 1, 0.5}));
    EXPECT_FALSE(varnok::valueFromText(rgb, "0,1", &v, &err));
    EXPECT_FALSE(varnok::valueFromText(rgb, "0,1,2", &v, &err));
    EXPECT_FALSE(varnok::valueFromText(rgb, "0,,1", &v, &err));

    // A plug-in may describe one bound only; the message names the one there is.
    ParamInfo low = param("lowOnly", ParamKind::Double);
    low.minimum = {2};
    EXPECT_FALSE(varnok::valueFromText(low, "1", &v, &err));
    EXPECT_NE(err.find("at least 2"), std::string::npos) << err;
    ParamInfo high = param("highOnly", ParamKind::RGB);
    high.maximum = {1, 1, 1};
    EXPECT_FALSE(varnok::valueFromText(high, "0,0,3", &v, &err));
    EXPECT_NE(err.find("at most 1"), std::string::npos) << err;

    ParamInfo s = param("customPresetName", ParamKind::String);
    ASSERT_TRUE(varnok::valueFromText(s, "Mon preset=1", &v, &err));
    EXPECT_EQ(v.text, "Mon preset=1");
    EXPECT_FALSE(varnok::valueFromText(param("savePreset", ParamKind::PushButton), "1", &v, &err));
}

TEST(ParamText, AssignmentsAndKeyframes) {
    varnok::Assignment a;
    std::string err;
    ASSERT_TRUE(varnok::parseAssignment("hudScale=3", &a, &err));
    EXPECT_EQ(a.name, "hudScale");
    EXPECT_FALSE(a.keyed);
    EXPECT_EQ(a.value, "3");
    ASSERT_TRUE(varnok::parseAssignment("customPresetName=a=b", &a, &err));
    EXPECT_EQ(a.value, "a=b");
    ASSERT_TRUE(varnok::parseAssignment("glowAmount@1001=0.5", &a, &err));
    EXPECT_TRUE(a.keyed);
    EXPECT_EQ(a.frame, 1001);
    EXPECT_FALSE(varnok::parseAssignment("glowAmount@x=0.5", &a, &err));
    EXPECT_FALSE(varnok::parseAssignment("=3", &a, &err));
    EXPECT_FALSE(varnok::parseAssignment("hudScale", &a, &err));
}

TEST(ParamText, SuggestsCloseNames) {
    std::vector<ParamInfo> params = {param("hudScale", ParamKind::Double), param("hueTolerance", ParamKind::Double),
                                     param("temporalFrames", ParamKind::Integer), param("seed", ParamKind::Integer),
                                     param("detection", ParamKind::Group)};
    EXPECT_EQ(varnok::closeNames("hudscale", params).at(0), "hudScale");
    EXPECT_EQ(varnok::closeNames("hudScal", params).at(0), "hudScale");
    EXPECT_EQ(varnok::closeNames("temporal", params).at(0), "temporalFrames");
    EXPECT_TRUE(varnok::closeNames("detection", params).empty());   // groups hold no values
    EXPECT_TRUE(varnok::closeNames("completelyDifferent", params).empty());
    EXPECT_EQ(varnok::editDistance("kitten", "sitting"), 3u);
}

TEST(MediaPaths, RecognisesPatternsAndFindsFrames) {
    auto m = varnok::classifyPath("dir/shot.%04d.png");
    EXPECT_EQ(m.kind, varnok::MediaKind::Sequence);
    EXPECT_EQ(varnok::frameFileName(m, 7), "dir/shot.0007.png");
    EXPECT_EQ(varnok::frameFileName(m, 12345), "dir/shot.12345.png");
    m = varnok::classifyPath("shot.####.exr");
    EXPECT_EQ(m.kind, varnok::MediaKind::Sequence);
    EXPECT_EQ(varnok::frameFileName(m, 1001), "shot.1001.exr");
    EXPECT_EQ(varnok::classifyPath("clip.MOV").kind, varnok::MediaKind::Video);
    EXPECT_EQ(varnok::classifyPath("still.tif").kind, varnok::MediaKind::Image);
    EXPECT_EQ(varnok::classifyPath("100%/still.tif").kind, varnok::MediaKind::Image);

    const std::string dir = ::testing::TempDir() + "media_paths_test_" + std::to_string(::getpid());
    std::system(("rm -rf " + dir + " && mkdir -p " + dir).c_str());
    for (const char* name : {"a.0003.png", "a.0010.png", "a.7.png", "a.0004.jpg", "a.0005.png.partial-1.png"})
        std::ofstream(dir + "/" + name) << "x";
    EXPECT_EQ(varnok::findFrames(varnok::classifyPath(dir + "/a.%04d.png")), (std::vector<int>{3, 10}));
    EXPECT_EQ(varnok::findFrames(varnok::classifyPath(dir + "/a.%d.png")), (std::vector<int>{7}));
    EXPECT_EQ(varnok::temporarySibling("out/x.mp4").substr(0, 14), "out/x.partial-");
    EXPECT_EQ(varnok::temporarySibling("out/x.mp4").substr(varnok::temporarySibling("out/x.mp4").size() - 4), ".mp4");
}

}  // namespace
