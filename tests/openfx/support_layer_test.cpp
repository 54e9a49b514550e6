// The support layer on its own: names, image addressing, suite fetching and
// the mapping of exceptions to statuses in the main entry.
#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

#include "fake_property_suite.h"
#include "openfx/support/ofx_support.h"
#include "openfx/support/ofx_suites.h"

namespace {

using fake_ofx::PropertyStore;

// A host whose fetchSuite hands out the fake property suite and, when asked
// to, empty image-effect and parameter suites.
struct FakeHost {
    bool complete = true;
    OfxImageEffectSuiteV1 imageEffect{};
    OfxParameterSuiteV1 parameter{};
    OfxHost record{};

    FakeHost() {
        imageEffect.clipReleaseImage = [](OfxPropertySetHandle) -> OfxStatus {
            ++released();
            return kOfxStatOK;
        };
        record.host = nullptr;
        record.fetchSuite = &FakeHost::fetch;
        current() = this;
    }
    static int& released() {
        static int n = 0;
        return n;
    }
    static FakeHost*& current() {
        static FakeHost* h = nullptr;
        return h;
    }
    static const void* fetch(OfxPropertySetHandle, const char* name, int version) {
        FakeHost* h = current();
        if (version != 1) return nullptr;
        if (std::strcmp(name, kOfxPropertySuite) == 0) return fake_ofx::propertySuite();
        if (!h->complete) return nullptr;
        if (std::strcmp(name, kOfxImageEffectSuite) == 0) return &h->imageEffect;
        if (std::strcmp(name, kOfxParameterSuite) == 0) return &h->parameter;
        return nullptr;
    }
};

enum class LoadBehaviour { Fine, OutOfMemory, Other, Status };

class TestFactory : public OFX::PluginFactoryHelper<TestFactory> {
public:
    TestFactory() : OFX::PluginFactoryHelper<TestFactory>("org.example.Test", 2, 5) {}
    void load() override {
        ++loads;
        switch (behaviour) {
            case LoadBehaviour::Fine: return;
            case LoadBehaviour::OutOfMemory: throw std::bad_alloc();
            case LoadBehaviour::Other: throw std::runtime_error("boom");
            case LoadBehaviour::Status: OFX::throwSuiteStatusException(kOfxStatErrValue);
        }
    }
    void describe(OFX::ImageEffectDescriptor&) override {}
    void describeInContext(OFX::ImageEffectDescriptor&, OFX::ContextEnum) override {}
    OFX::ImageEffect* createInstance(OfxImageEffectHandle, OFX::ContextEnum) override { return nullptr; }

    LoadBehaviour behaviour = LoadBehaviour::Fine;
    int loads = 0;
};

TEST(SupportNames, ContextsDepthsAndComponentsRoundTrip) {
    for (auto c : {OFX::eContextGenerator, OFX::eContextFilter, OFX::eContextTransition,
                   OFX::eContextPaint, OFX::eContextGeneral, OFX::eContextRetimer})
        EXPECT_EQ(OFX::contextFromName(OFX::contextName(c)), c);
    EXPECT_STREQ(OFX::contextName(OFX::eContextFilter), "OfxImageEffectContextFilter");
    EXPECT_EQ(OFX::contextFromName("nonsense"), OFX::eContextNone);
    for (auto d : {OFX::eBitDepthUByte, OFX::eBitDepthUShort, OFX::eBitDepthHalf, OFX::eBitDepthFloat})
        EXPECT_EQ(OFX::bitDepthFromName(OFX::bitDepthName(d)), d);
    EXPECT_EQ(OFX::bitDepthFromName("OfxBitDepthWeird"), OFX::eBitDepthCustom);
    EXPECT_EQ(OFX::componentsFromName("OfxImageComponentRGB"), OFX::ePixelComponentRGB);
    EXPECT_STREQ(OFX::stringTypeName(OFX::eStringTypeFilePath), "OfxParamStringIsFilePath");
    EXPECT_EQ(OFX::bytesPerPixel(OFX::eBitDepthFloat, OFX::ePixelComponentRGBA), 16);
    EXPECT_EQ(OFX::bytesPerPixel(OFX::eBitDepthUByte, OFX::ePixelComponentRGB), 3);
    EXPECT_EQ(OFX::bytesPerPixel(OFX::eBitDepthHalf, OFX::ePixelComponentAlpha), 2);
    EXPECT_EQ(OFX::bytesPerPixel(OFX::eBitDepthCustom, OFX::ePixelComponentRGBA), 0);
    EXPECT_STREQ(OFX::statusName(kOfxStatErrUnsupported), "kOfxStatErrUnsupported");
    EXPECT_STREQ(OFX::Exception::Suite(kOfxStatErrValue).what(), "kOfxStatErrValue");
}

class SupportImage : public ::testing::Test {
protected:
    void SetUp() override {
        OFX::Private::setHost(&host.record);
        ASSERT_EQ(OFX::Private::fetchSuites(), kOfxStatOK);
        props.ints["OfxImagePropBounds"] = {2, 3, 6, 5};
        props.ints["OfxImagePropRowBytes"] = {64};
        props.strings["OfxImageEffectPropPixelDepth"] = {"OfxBitDepthFloat"};
        props.strings["OfxImageEffectPropComponents"] = {"OfxImageComponentRGBA"};
        props.pointers["OfxImagePropData"] = {buffer};
    }
    void TearDown() override { OFX::Private::setHost(nullptr); }

    FakeHost host;
    PropertyStore props;
    unsigned char buffer[256] = {};
};

TEST_F(SupportImage, ReleasedExactlyOnceWhenDestroyed) {
    const int before = FakeHost::released();
    { OFX::Image img(props.handle()); }
    EXPECT_EQ(FakeHost::released(), before + 1);
}

TEST_F(SupportImage, AddressesFollowBoundsAndStride) {
    OFX::Image img(props.handle());
    EXPECT_EQ(img.getRowBytes(), 64);
    EXPECT_EQ(img.getBounds().x2, 6);
    EXPECT_EQ(img.getPixelAddress(2, 3), buffer);
    EXPECT_EQ(img.getPixelAddress(5, 4), buffer + 64 + 3 * 16);
    EXPECT_EQ(img.getPixelAddress(6, 4), nullptr);
    EXPECT_EQ(img.getPixelAddress(1, 4), nullptr);
    EXPECT_EQ(img.getPixelAddress(3, 5), nullptr);
}

TEST_F(SupportImage, NegativeStrideCountsRowsDownwards) {
    props.ints["OfxImagePropRowBytes"] = {-64};
    props.pointers["OfxImagePropData"] = {buffer + 64};
    OFX::Image img(props.handle());
    EXPECT_EQ(img.getPixelAddress(2, 4), buffer);
    EXPECT_EQ(img.getPixelAddress(3, 3), buffer + 64 + 16);
}

TEST_F(SupportImage, MissingDataOrUnknownLayoutHasNoAddresses) {
    props.pointers["OfxImagePropData"] = {nullptr};
    EXPECT_EQ(OFX::Image(props.handle()).getPixelAddress(3, 3), nullptr);
    props.pointers["OfxImagePropData"] = {buffer};
    props.strings["OfxImageEffectPropPixelDepth"] = {"OfxBitDepthSomethingElse"};
    EXPECT_EQ(OFX::Image(props.handle()).getPixelAddress(3, 3), nullptr);
    PropertyStore empty;
    OFX::Image bare(empty.handle());
    EXPECT_EQ(bare.getPixelData(), nullptr);
    EXPECT_EQ(bare.getBounds().x2, 0);
}

TEST(SupportMainEntry, MissingSuitesAreRefusedCleanly) {
    FakeHost host;
    host.complete = false;
    OFX::Private::setHost(&host.record);
    TestFactory factory;
    OfxPluginEntryPoint* entry = factory.getMainEntry();
    EXPECT_EQ(entry(kOfxActionLoad, nullptr, nullptr, nullptr), kOfxStatErrMissingHostFeature);
    EXPECT_EQ(factory.loads, 0);
    EXPECT_EQ(entry(kOfxActionDescribe, nullptr, nullptr, nullptr), kOfxStatErrMissingHostFeature);
    EXPECT_EQ(entry(kOfxImageEffectActionRender, nullptr, nullptr, nullptr), kOfxStatErrMissingHostFeature);
    OFX::Private::setHost(nullptr);
    EXPECT_EQ(entry(kOfxActionLoad, nullptr, nullptr, nullptr), kOfxStatErrMissingHostFeature);
}

TEST(SupportMainEntry, ExceptionsBecomeStatuses) {
    FakeHost host;
    OFX::Private::setHost(&host.record);
    TestFactory factory;
    OfxPluginEntryPoint* entry = factory.getMainEntry();
    EXPECT_EQ(entry(kOfxActionLoad, nullptr, nullptr, nullptr), kOfxStatOK);
    factory.behaviour = LoadBehaviour::OutOfMemory;
    EXPECT_EQ(entry(kOfxActionLoad, nullptr, nullptr, nullptr), kOfxStatErrMemory);
    factory.behaviour = LoadBehaviour::Other;
    EXPECT_EQ(entry(kOfxActionLoad, nullptr, nullptr, nullptr), kOfxStatFailed);
    factory.behaviour = LoadBehaviour::Status;
    EXPECT_EQ(entry(kOfxActionLoad, nullptr, nullptr, nullptr), kOfxStatErrValue);
    EXPECT_EQ(factory.loads, 4);
    EXPECT_EQ(entry("OfxActionNobodyKnows", nullptr, nullptr, nullptr), kOfxStatReplyDefault);
    EXPECT_EQ(entry(nullptr, nullptr, nullptr, nullptr), kOfxStatFailed);
    // Instance actions without an instance handle are bad handles, not crashes.
    EXPECT_EQ(entry(kOfxActionDescribe, nullptr, nullptr, nullptr), kOfxStatErrBadHandle);
    OFX::Private::setHost(nullptr);
}

TEST(SupportFactory, IdentityOfAHelperFactory) {
    TestFactory factory;
    EXPECT_EQ(factory.getID(), "org.example.Test");
    EXPECT_EQ(factory.getUID(), "org.example.Test_2_5");
    EXPECT_EQ(factory.getMajorVersion(), 2u);
    EXPECT_EQ(factory.getMinorVersion(), 5u);
    EXPECT_NE(factory.getMainEntry(), nullptr);
}

}  // namespace
