// The host library against a small plug-in of its own (test_plugin.cpp).
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>

#include "host/ofx_host.h"

namespace {

using ofxhost::FloatImage;
using ofxhost::ImageLayout;
using ofxhost::ParamValue;

std::unique_ptr<ofxhost::Plugin> loadTestPlugin() {
    std::string err;
    auto p = ofxhost::Plugin::load(HOST_TEST_BUNDLE, "", &err);
    EXPECT_TRUE(p) << err;
    return p;
}

// A frame whose pixels say where they are: r = x + 100 y + t / 1000.
FloatImage gradient(int w, int h, double t) {
    FloatImage img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float* p = img.pixel(x, y);
            p[0] = static_cast<float>(x + 100 * y + t / 1000.0);
            p[1] = 0.25f;
            p[2] = 0.5f;
            p[3] = 0.75f;
        }
    return img;
}

std::map<std::string, int> parseProbe(const std::string& text) {
    std::map<std::string, int> out;
    std::stringstream ss(text);
    std::string item;
    while (std::getline(ss, item, ';')) {
        const auto eq = item.find('=');
        if (eq != std::string::npos) out[item.substr(0, eq)] = std::stoi(item.substr(eq + 1));
    }
    return out;
}

TEST(HostLoading, DescribesPluginAndKeepsEveryParameterProperty) {
    auto plugin = loadTestPlugin();
    ASSERT_TRUE(plugin);
    EXPECT_EQ(plugin->identifier(), "org.varnok.tests.HostTest");
    EXPECT_EQ(plugin->versionMajor(), 2u);
    EXPECT_EQ(plugin->versionMinor(), 5u);
    EXPECT_EQ(plugin->supportedContexts(),
              (std::vector<std::string>{ofxhost::kContextFilter, ofxhost::kContextGeneral}));
    EXPECT_EQ(plugin->effectProperties().at("TestPluginPropFutureThing").values,
              std::vector<std::string>{"yes"});

    const auto& params = plugin->params(ofxhost::kContextFilter);
    std::map<std::string, ofxhost::ParamInfo> byName;
    for (const auto& p : params) byName[p.name] = p;
    ASSERT_EQ(params.front().name, "main");
    EXPECT_EQ(params.front().kind, ofxhost::ParamKind::Group);
    EXPECT_EQ(byName["main"].label, "Réglages principaux");
    const auto& gain = byName["gain"];
    EXPECT_EQ(gain.kind, ofxhost::ParamKind::Double);
    EXPECT_EQ(gain.parent, "main");
    EXPECT_EQ(gain.defaultNumbers, std::vector<double>{1.0});
    EXPECT_EQ(gain.minimum, std::vector<double>{0.0});
    EXPECT_EQ(gain.maximum, std::vector<double>{10.0});
    EXPECT_EQ(gain.displayMaximum, std::vector<double>{4.0});
    EXPECT_TRUE(gain.hasIncrement);
    EXPECT_DOUBLE_EQ(gain.increment, 0.05);
    EXPECT_EQ(byName["offset"].minimum, std::vector<double>{-100.0});
    EXPECT_EQ(byName["mode"].options, (std::vector<std::string>{"Un", "Deux", "Trois très long"}));
    EXPECT_EQ(byName["mode"].defaultNumbers, std::vector<double>{1.0});
    EXPECT_EQ(byName["tint"].defaultNumbers, (std::vector<double>{1.0, 0.5, 0.25}));
    EXPECT_EQ(byName["note"].defaultText, "bonjour");
    EXPECT_EQ(byName["note"].stringMode, "OfxParamStringIsFilePath");
    EXPECT_EQ(byName["page"].children.size(), 7u);
    EXPECT_EQ(byName["gain"].properties.at("OfxParamPropType").values[0], "OfxParamTypeDouble");

    const auto& clips = plugin->clips(ofxhost::kContextFilter);
    ASSERT_EQ(clips.size(), 2u);
    EXPECT_EQ(clips[0].name, "Source");
    EXPECT_EQ(clips[0].properties.at("OfxImageEffectPropTemporalClipAccess").values[0], "1");
}

TEST(HostLoading, ReportsMissingOrForeignBinaries) {
    std::string err;
    EXPECT_FALSE(ofxhost::Plugin::load("/nonexistent/Nothing.ofx.bundle", "", &err));
    EXPECT_NE(err.find("cannot load"), std::string::npos);
    err.clear();
    EXPECT_FALSE(ofxhost::Plugin::load(HOST_TEST_BUNDLE, "org.other.Plugin", &err));
    EXPECT_NE(err.find("org.other.Plugin"), std::string::npos);
    EXPECT_EQ(ofxhost::Plugin::listPlugins(HOST_TEST_BUNDLE, &err),
              std::vector<std::string>{"org.varnok.tests.HostTest"});
}

TEST(HostSuites, BadCallsFromThePluginGetErrorStatuses) {
    auto plugin = loadTestPlugin();
    auto inst = plugin->createInstance(ofxhost::kContextFilter);
    ASSERT_TRUE(inst);
    ASSERT_EQ(inst->instanceChanged("probe", 0), ofxhost::kStatusOK);
    ParamValue v;
    ASSERT_TRUE(inst->getValue("probeResult", 0, &v));
    auto r = parseProbe(v.text);
    EXPECT_EQ(r["unknownProp"], ofxhost::kStatusErrUnknown);
    EXPECT_EQ(r["wrongType"], ofxhost::kStatusErrUnknown);
    EXPECT_EQ(r["badIndex"], ofxhost::kStatusErrBadIndex);
    EXPECT_EQ(r["negIndex"], ofxhost::kStatusErrBadIndex);
    EXPECT_EQ(r["nullProps"], ofxhost::kStatusErrBadHandle);
    EXPECT_EQ(r["bogusProps"], ofxhost::kStatusErrBadHandle);
    EXPECT_EQ(r["readOnly"], ofxhost::kStatusErrValue);
    EXPECT_EQ(r["setUnknown"], ofxhost::kStatusErrUnknown);
    EXPECT_EQ(r["dimension"], ofxhost::kStatusOK);
    EXPECT_EQ(r["dimValue"], 2);
    EXPECT_EQ(r["unknownParam"], ofxhost::kStatusErrUnknown);
    EXPECT_EQ(r["nullParam"], ofxhost::kStatusErrBadHandle);
    EXPECT_EQ(r["buttonValue"], ofxhost::kStatusErrUnsupported);
    EXPECT_EQ(r["defineOnInstance"], ofxhost::kStatusErrUnsupported);
    EXPECT_EQ(r["keyTime"], ofxhost::kStatusErrBadIndex);
    EXPECT_EQ(r["numKeys"], ofxhost::kStatusOK);
    EXPECT_EQ(r["unknownClip"], ofxhost::kStatusErrUnknown);
    EXPECT_EQ(r["nullClip"], ofxhost::kStatusErrBadHandle);
    EXPECT_EQ(r["releaseBogus"], ofxhost::kStatusErrBadHandle);
    EXPECT_EQ(r["clipDefineOnInstance"], ofxhost::kStatusErrUnsupported);
    EXPECT_EQ(r["memoryFreeBogus"], ofxhost::kStatusErrBadHandle);
    EXPECT_EQ(r["memoryAlloc"], ofxhost::kStatusOK);
    EXPECT_EQ(r["memoryFree"], ofxhost::kStatusOK);
    EXPECT_EQ(r["mutexBogus"], ofxhost::kStatusErrBadHandle);
    EXPECT_EQ(r["noSuite"], 0);
    EXPECT_EQ(r["message"], ofxhost::kStatusOK);
    ASSERT_FALSE(plugin->messages().empty());
    EXPECT_EQ(plugin->messages().back(), "OfxMessageLog: probe 7");
}

TEST(HostParams, KeyframesInterpolateLinearlyAndHoldOutside) {
    auto plugin = loadTestPlugin();
    auto inst = plugin->createInstance(ofxhost::kContextFilter);
    ASSERT_TRUE(inst);
    ParamValue v;
    ASSERT_TRUE(inst->getValue("gain", 0, &v));
    EXPECT_EQ(v.numbers, std::vector<double>{1.0});   // the described default
    ASSERT_TRUE(inst->setKey("gain", 0, ParamValue::number(1)));
    ASSERT_TRUE(inst->setKey("gain", 10, ParamValue::number(3)));
    auto at = [&](const char* name, double t) {
        ParamValue out;
        EXPECT_TRUE(inst->getValue(name, t, &out));
        return out.numbers.at(0);
    };
    EXPECT_DOUBLE_EQ(at("gain", 5), 2.0);
    EXPECT_DOUBLE_EQ(at("gain", 2.5), 1.5);
    EXPECT_DOUBLE_EQ(at("gain", -5), 1.0);
    EXPECT_DOUBLE_EQ(at("gain", 20), 3.0);
    EXPECT_EQ(inst->keyTimes("gain"), (std::vector<double>{0, 10}));

    // Integers round the blend half away from zero; choices hold the earlier key.
    ASSERT_TRUE(inst->setKey("offset", 0, ParamValue::number(0)));
    ASSERT_TRUE(inst->setKey("offset", 4, ParamValue::number(-2)));
    EXPECT_DOUBLE_EQ(at("offset", 1), -1.0);   // -0.5 rounds to -1
    EXPECT_DOUBLE_EQ(at("offset", 0.9), 0.0);
    ASSERT_TRUE(inst->setKey("mode", 0, ParamValue::number(0)));
    ASSERT_TRUE(inst->setKey("mode", 10, ParamValue::number(2)));
    EXPECT_DOUBLE_EQ(at("mode", 9.99), 0.0);
    EXPECT_DOUBLE_EQ(at("mode", 10), 2.0);

    // A plain value replaces the animation.
    ASSERT_TRUE(inst->setValue("gain", ParamValue::number(4)));
    EXPECT_DOUBLE_EQ(at("gain", 5), 4.0);
    EXPECT_TRUE(inst->keyTimes("gain").empty());

    // The plug-in reads the same curve while rendering.
    ASSERT_TRUE(inst->setKey("gain", 0, ParamValue::number(1)));
    ASSERT_TRUE(inst->setKey("gain", 10, ParamValue::number(3)));
    inst->setFrameProvider("Source", [](double t, FloatImage& out) {
        out = gradient(4, 3, t);
        return true;
    });
    auto r = inst->render(5);
    ASSERT_EQ(r.status, ofxhost::kStatusOK);
    EXPECT_FLOAT_EQ(r.output.pixel(2, 1)[0], static_cast<float>((2 + 100 + 0.005f) * 2.0));
    EXPECT_FLOAT_EQ(r.output.pixel(2, 1)[1], -2.0f);   // offset at t = 5: after the last key
}

TEST(HostParams, RefusesValuesThatDoNotFitTheKind) {
    auto plugin = loadTestPlugin();
    auto inst = plugin->createInstance(ofxhost::kContextFilter);
    ASSERT_TRUE(inst);
    EXPECT_FALSE(inst->setValue("nothing", ParamValue::number(1)));
    EXPECT_FALSE(inst->setValue("tint", ParamValue::number(1)));
    EXPECT_TRUE(inst->setValue("tint", ParamValue::numbers3(0.1, 0.2, 0.3)));
    EXPECT_FALSE(inst->setValue("gain", ParamValue::string("x")));
    EXPECT_FALSE(inst->setValue("gain", ParamValue::number(std::nan(""))));
    EXPECT_FALSE(inst->setValue("offset", ParamValue::number(1.5)));
    EXPECT_FALSE(inst->setValue("offset", ParamValue::number(1e12)));
    EXPECT_FALSE(inst->setValue("probe", ParamValue::number(1)));
    EXPECT_FALSE(inst->setKey("gain", INFINITY, ParamValue::number(1)));
    EXPECT_TRUE(inst->setValue("note", ParamValue::string("é")));
    ParamValue v;
    ASSERT_TRUE(inst->getValue("note", 0, &v));
    EXPECT_EQ(v.text, "é");
}

struct LayoutCase {
    const char* name;
    ImageLayout layout;
};

void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.name; }

class HostLayouts : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(HostLayouts, PresentsImagesAsLaidOut) {
    auto plugin = loadTestPlugin();
    auto inst = plugin->createInstance(ofxhost::kContextFilter);
    ASSERT_TRUE(inst);
    const ImageLayout& layout = GetParam().layout;
    inst->setClipLayout("Source", layout);
    inst->setClipLayout("Output", layout);
    ASSERT_TRUE(inst->setValue("gain", ParamValue::number(2)));
    const int w = 7, h = 5;
    inst->setFrameProvider("Source", [&](double t, FloatImage& out) {
        out = gradient(w, h, t);
        return true;
    });
    auto r = inst->render(1);
    ASSERT_EQ(r.status, ofxhost::kStatusOK) << r.error;
    EXPECT_EQ(r.output.width, w + layout.extraWidth);
    EXPECT_EQ(r.output.height, h + layout.extraHeight);
    for (int y = 0; y < r.output.height; ++y)
        for (int x = 0; x < r.output.width; ++x) {
            const float* p = r.output.pixel(x, y);
            // Inside the source's bounds the plug-in wrote; outside them the
            // host's initial fill must be untouched.
            const bool inside = x < w + layout.extraWidth && y < h + layout.extraHeight && x < w && y < h;
            if (inside) {
                EXPECT_FLOAT_EQ(p[0], static_cast<float>((x + 100 * y + 0.001f) * 2.0)) << x << "," << y;
                EXPECT_FLOAT_EQ(p[3], 0.75f);
            } else {
                // Beyond the frame the source holds transparent black.
                EXPECT_FLOAT_EQ(p[0], 0.0f);
                EXPECT_FLOAT_EQ(p[3], 0.0f);
            }
        }
    EXPECT_EQ(inst->imagesOutstanding(), 0);
}

ImageLayout withOrigin() {
    ImageLayout l;
    l.originX = 10;
    l.originY = -20;
    return l;
}
ImageLayout withPadding() {
    ImageLayout l;
    l.rowPadding = 52;
    return l;
}
ImageLayout bottomUp() {
    ImageLayout l;
    l.rowOrder = ofxhost::RowOrder::BottomFirst;
    l.rowPadding = 16;
    return l;
}
ImageLayout smaller() {
    ImageLayout l;
    l.extraWidth = -3;
    l.extraHeight = -2;
    return l;
}
ImageLayout larger() {
    ImageLayout l;
    l.extraWidth = 4;
    l.extraHeight = 2;
    l.originX = 3;
    return l;
}

INSTANTIATE_TEST_SUITE_P(AllLayouts, HostLayouts,
                         ::testing::Values(LayoutCase{"plain", ImageLayout{}}, LayoutCase{"origin", withOrigin()},
                                           LayoutCase{"padded", withPadding()},
                                           LayoutCase{"bottomUp", bottomUp()}, LayoutCase{"smaller", smaller()},
                                           LayoutCase{"larger", larger()}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HostLayoutsMixed, OutputLargerThanSourceKeepsItsOwnPixels) {
    auto plugin = loadTestPlugin();
    auto inst = plugin->createInstance(ofxhost::kContextFilter);
    ASSERT_TRUE(inst);
    ImageLayout out;
    out.extraWidth = 2;
    out.outputFill = 0.5f;
    inst->setClipLayout("Output", out);
    inst->setFrameProvider("Source", [](double t, FloatImage& img) {
        img = gradient(3, 2, t);
        return true;
    });
    auto r = inst->render(0);
    ASSERT_EQ(r.status, ofxhost::kStatusOK);
    ASSERT_EQ(r.output.width, 5);
    EXPECT_FLOAT_EQ(r.output.pixel(2, 1)[0], 102.0f);
    for (int c = 0; c < 4; ++c) EXPECT_FLOAT_EQ(r.output.pixel(4, 1)[c], 0.5f);
}

TEST(HostLayoutsMixed, LentFramesAreReadInPlaceAndGivenBack) {
    auto plugin = loadTestPlugin();
    auto inst = plugin->createInstance(ofxhost::kContextFilter);
    ASSERT_TRUE(inst);
    ASSERT_TRUE(inst->setValue("gain", ParamValue::number(2)));
    auto lent = std::make_shared<const FloatImage>(gradient(4, 3, 0));
    std::map<double, int> calls;
    inst->setSharedFrameProvider("Source", [&](double t) -> std::shared_ptr<const FloatImage> {
        ++calls[t];
        return t == 0 ? lent : nullptr;
    });
    auto r = inst->render(0);
    ASSERT_EQ(r.status, ofxhost::kStatusOK) << r.error;
    ASSERT_EQ(r.output.width, 4);
    EXPECT_FLOAT_EQ(r.output.pixel(3, 2)[0], 203.0f * 2.0f);
    EXPECT_EQ(lent->rgba, gradient(4, 3, 0).rgba);   // read, never written
    EXPECT_EQ(calls[0], 1);
    EXPECT_EQ(lent.use_count(), 1);                  // let go of once the action ended
    EXPECT_EQ(inst->imagesOutstanding(), 0);
    EXPECT_NE(inst->render(1).status, ofxhost::kStatusOK);

    // A frame whose pixels do not match its size, or a throwing provider, is no frame.
    inst->setSharedFrameProvider("Source", [](double) {
        auto f = std::make_shared<FloatImage>(4, 3);
        f->rgba.resize(5);
        return std::shared_ptr<const FloatImage>(f);
    });
    EXPECT_NE(inst->render(0).status, ofxhost::kStatusOK);
    inst->setSharedFrameProvider("Source", [](double) -> std::shared_ptr<const FloatImage> { throw 1; });
    EXPECT_NE(inst->render(0).status, ofxhost::kStatusOK);
    // Setting the copying kind replaces the lending one.
    inst->setFrameProvider("Source", [](double t, FloatImage& img) {
        img = gradient(2, 2, t);
        return true;
    });
    EXPECT_EQ(inst->render(0).output.width, 2);
}

TEST(HostActions, ReportsEachActionStatus) {
    auto plugin = loadTestPlugin();
    auto inst = plugin->createInstance(ofxhost::kContextFilter);
    ASSERT_TRUE(inst);
    inst->setFrameProvider("Source", [](double t, FloatImage& img) {
        img = gradient(2, 2, t);
        return true;
    });
    ASSERT_TRUE(inst->setValue("failRender", ParamValue::number(1)));
    auto r = inst->render(3);
    EXPECT_EQ(r.status, ofxhost::kStatusErrUnsupported);
    EXPECT_EQ(ofxhost::statusName(r.status), "kOfxStatErrUnsupported");
    bool logged = false;
    for (const auto& a : plugin->actions())
        if (a.action == "OfxImageEffectActionRender" && a.status == ofxhost::kStatusErrUnsupported) logged = true;
    EXPECT_TRUE(logged);

    // An 8-bit output is refused by this plug-in before it fetches anything.
    ASSERT_TRUE(inst->setValue("failRender", ParamValue::number(0)));
    ImageLayout bytes;
    bytes.depth = ofxhost::BitDepth::Byte;
    bytes.imposeFormat = true;
    inst->setClipLayout("Output", bytes);
    inst->clearFetchLog();
    EXPECT_EQ(inst->render(3).status, ofxhost::kStatusErrUnsupported);
    EXPECT_TRUE(inst->fetchLog().empty());

    // No source frame: the host says so instead of calling the plug-in.
    inst->setFrameProvider("Source", [](double, FloatImage&) { return false; });
    auto missing = inst->render(3);
    EXPECT_NE(missing.status, ofxhost::kStatusOK);
    EXPECT_FALSE(missing.error.empty());
    EXPECT_NE(inst->render(std::nan("")).status, ofxhost::kStatusOK);
    EXPECT_EQ(ofxhost::statusName(4242), "kOfxStat(4242)");
}

TEST(HostActions, TemporalFetchesReachTheProviderOncePerFrame) {
    auto plugin = loadTestPlugin();
    auto inst = plugin->createInstance(ofxhost::kContextFilter);
    ASSERT_TRUE(inst);
    std::map<double, int> calls;
    inst->setFrameProvider("Source", [&](double t, FloatImage& img) {
        ++calls[t];
        if (t == 8) return false;   // a gap in the footage
        img = gradient(3, 3, t);
        return true;
    });
    ASSERT_TRUE(inst->setValue("history", ParamValue::number(3)));
    auto r = inst->render(10);
    ASSERT_EQ(r.status, ofxhost::kStatusOK);
    EXPECT_FLOAT_EQ(r.output.pixel(0, 0)[2], 2.0f);   // 7 and 9 delivered, 8 missing
    std::vector<std::pair<double, bool>> sourceFetches;
    for (const auto& f : inst->fetchLog())
        if (f.clip == "Source") sourceFetches.push_back({f.time, f.delivered});
    EXPECT_EQ(sourceFetches, (std::vector<std::pair<double, bool>>{{7, true}, {8, false}, {9, true}, {10, true}}));
    EXPECT_EQ(calls[10], 1);   // sizing the output and the plug-in's fetch share one call
    EXPECT_EQ(calls[7], 1);

    auto needed = inst->getFramesNeeded(10);
    EXPECT_EQ(needed.status, ofxhost::kStatusOK);
    EXPECT_EQ(needed.ranges["Source"], (std::vector<std::pair<double, double>>{{7, 10}}));
    ASSERT_TRUE(inst->setValue("history", ParamValue::number(0)));
    needed = inst->getFramesNeeded(10);
    EXPECT_EQ(needed.status, ofxhost::kStatusReplyDefault);
    EXPECT_EQ(needed.ranges["Source"], (std::vector<std::pair<double, double>>{{10, 10}}));
}

TEST(HostActions, IsIdentityNamesTheClipAndTime) {
    auto plugin = loadTestPlugin();
    auto inst = plugin->createInstance(ofxhost::kContextFilter);
    ASSERT_TRUE(inst);
    auto id = inst->isIdentity(4);
    EXPECT_TRUE(id.identity);
    EXPECT_EQ(id.clip, "Source");
    EXPECT_DOUBLE_EQ(id.time, 4);
    ASSERT_TRUE(inst->setValue("gain", ParamValue::number(2)));
    id = inst->isIdentity(4);
    EXPECT_FALSE(id.identity);
    EXPECT_EQ(id.status, ofxhost::kStatusReplyDefault);
}

TEST(HostActions, PluginWritesComeBackAsChanges) {
    auto plugin = loadTestPlugin();
    auto inst = plugin->createInstance(ofxhost::kContextFilter);
    ASSERT_TRUE(inst);
    const size_t before = plugin->actions().size();
    ASSERT_EQ(inst->instanceChanged("mode", 0), ofxhost::kStatusOK);
    const auto& log = plugin->actions();
    ASSERT_GE(log.size(), before + 3);
    EXPECT_EQ(log[before].action, "OfxActionBeginInstanceChanged");
    EXPECT_EQ(log[before + 1].action, "OfxActionInstanceChanged");
    EXPECT_EQ(log[before + 2].action, "OfxActionEndInstanceChanged");
    ParamValue v;
    ASSERT_TRUE(inst->getValue("lastChange", 0, &v));
    EXPECT_EQ(v.text, "mode/OfxChangeUserEdited");

    ASSERT_EQ(inst->instanceChanged("button", 0), ofxhost::kStatusOK);
    ASSERT_TRUE(inst->getValue("gain", 0, &v));
    EXPECT_EQ(v.numbers, std::vector<double>{2.0});
    ASSERT_TRUE(inst->getValue("lastChange", 0, &v));
    EXPECT_EQ(v.text, "gain/OfxChangePluginEdited");
    EXPECT_EQ(inst->instanceChanged("nothing", 0), ofxhost::kStatusErrUnknown);
}

}  // namespace
