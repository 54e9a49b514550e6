// The property suite and keyframe maths, called the way a plug-in calls them.
#include <gtest/gtest.h>

#include <cmath>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "host/param_animation.h"
#include "host/property_set.h"
#include "openfx/include/ofxProperty.h"

namespace {

using namespace ofxhost;

const OfxPropertySuiteV1* suite() { return static_cast<const OfxPropertySuiteV1*>(propertySuite()); }
OfxPropertySetHandle handle(PropertySet& p) { return reinterpret_cast<OfxPropertySetHandle>(&p); }

TEST(PropertySuite, ListsGrowFixedPropertiesDoNot) {
    PropertySet p;
    p.setStrings("List", {});
    p.setDoubles("Pair", {1, 2}, false, 2);
    auto* s = suite();
    EXPECT_EQ(s->propSetString(handle(p), "List", 0, "a"), kOfxStatOK);
    EXPECT_EQ(s->propSetString(handle(p), "List", 1, "b"), kOfxStatOK);
    EXPECT_EQ(s->propSetString(handle(p), "List", 100000, "far"), kOfxStatErrBadIndex);
    int dim = 0;
    EXPECT_EQ(s->propGetDimension(handle(p), "List", &dim), kOfxStatOK);
    EXPECT_EQ(dim, 2);
    char* texts[2] = {nullptr, nullptr};
    EXPECT_EQ(s->propGetStringN(handle(p), "List", 2, texts), kOfxStatOK);
    EXPECT_STREQ(texts[1], "b");
    EXPECT_EQ(s->propGetStringN(handle(p), "List", 3, texts), kOfxStatErrBadIndex);

    EXPECT_EQ(s->propSetDouble(handle(p), "Pair", 2, 5.0), kOfxStatErrBadIndex);
    const double three[3] = {1, 2, 3};
    EXPECT_EQ(s->propSetDoubleN(handle(p), "Pair", 3, three), kOfxStatErrBadIndex);
    EXPECT_EQ(s->propSetDoubleN(handle(p), "Pair", 1, three + 2), kOfxStatOK);
    double pair[2] = {0, 0};
    EXPECT_EQ(s->propGetDoubleN(handle(p), "Pair", 2, pair), kOfxStatOK);
    EXPECT_EQ(pair[0], 3.0);
    EXPECT_EQ(pair[1], 2.0);   // the untouched second value stays

    EXPECT_EQ(s->propReset(handle(p), "List"), kOfxStatOK);
    EXPECT_EQ(s->propGetDimension(handle(p), "List", &dim), kOfxStatOK);
    EXPECT_EQ(dim, 0);
    EXPECT_EQ(s->propGetDimension(handle(p), "List", nullptr), kOfxStatErrValue);
    EXPECT_EQ(s->propGetDouble(handle(p), "Pair", 0, nullptr), kOfxStatErrValue);
    EXPECT_EQ(s->propSetString(handle(p), "List", 0, nullptr), kOfxStatErrValue);
}

TEST(PropertySuite, DescriptorsTakeNewPropertiesInstancesDoNot) {
    PropertySet descriptor, instance;
    descriptor.acceptsUnknown = true;
    auto* s = suite();
    EXPECT_EQ(s->propSetInt(handle(descriptor), "FutureFlag", 0, 1), kOfxStatOK);
    int v = 0;
    EXPECT_EQ(s->propGetInt(handle(descriptor), "FutureFlag", 0, &v), kOfxStatOK);
    EXPECT_EQ(v, 1);
    // Once known, its type is fixed.
    EXPECT_EQ(s->propSetDouble(handle(descriptor), "FutureFlag", 0, 1.0), kOfxStatErrUnknown);
    EXPECT_EQ(s->propSetInt(handle(instance), "FutureFlag", 0, 1), kOfxStatErrUnknown);
    instance.setInts("Locked", {4}, true, 1);
    EXPECT_EQ(s->propSetInt(handle(instance), "Locked", 0, 5), kOfxStatErrValue);
    EXPECT_EQ(s->propReset(handle(instance), "Locked"), kOfxStatErrValue);
    EXPECT_EQ(instance.getInt("Locked"), 4);
}

TEST(PropertySuite, DeadAndForeignHandlesAreRefused) {
    auto* s = suite();
    auto* p = new PropertySet;
    p->setInts("X", {1});
    // Kept as a number: after the delete only its value is handed over, as a
    // careless plug-in would, and the host must not touch what it pointed to.
    volatile std::uintptr_t raw = reinterpret_cast<std::uintptr_t>(p);
    int v = 0;
    EXPECT_EQ(s->propGetInt(handle(*p), "X", 0, &v), kOfxStatOK);
    delete p;
    OfxPropertySetHandle h = reinterpret_cast<OfxPropertySetHandle>(raw);
    EXPECT_EQ(s->propGetInt(h, "X", 0, &v), kOfxStatErrBadHandle);
    EXPECT_EQ(s->propSetInt(h, "X", 0, 2), kOfxStatErrBadHandle);
    double d = 0;
    EXPECT_EQ(s->propGetDouble(reinterpret_cast<OfxPropertySetHandle>(&d), "X", 0, &d), kOfxStatErrBadHandle);
}

// An image's data pointer made on first read: made once however many
// threads read it at the same moment, read-only, and the same through every
// way of reading it.
TEST(PropertySuite, DeferredPointerIsMadeOnceAndCannotBeWritten) {
    PropertySet p;
    std::atomic<int> made{0};
    int pixels[4] = {};
    p.setDeferredPointer("Data", [&] {
        ++made;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return static_cast<void*>(pixels);
    });
    EXPECT_EQ(made, 0);
    std::vector<void*> seen(8, nullptr);
    std::vector<std::thread> readers;
    for (size_t i = 0; i < seen.size(); ++i)
        readers.emplace_back([&, i] { suite()->propGetPointer(handle(p), "Data", 0, &seen[i]); });
    for (std::thread& t : readers) t.join();
    EXPECT_EQ(made, 1);
    for (void* v : seen) EXPECT_EQ(v, pixels);
    void* n[1] = {nullptr};
    EXPECT_EQ(suite()->propGetPointerN(handle(p), "Data", 1, n), kOfxStatOK);
    EXPECT_EQ(n[0], pixels);
    EXPECT_EQ(p.getPointer("Data"), pixels);
    EXPECT_NE(suite()->propSetPointer(handle(p), "Data", 0, nullptr), kOfxStatOK);
    EXPECT_EQ(made, 1);
}

TEST(KeyframeMaths, DerivativeAndIntegralFollowTheLinearCurve) {
    AnimatedValue v;
    v.keys[0] = ParamValue::number(0);
    v.keys[10] = ParamValue::number(10);
    v.keys[20] = ParamValue::number(0);
    EXPECT_DOUBLE_EQ(derivativeAt(v, ParamKind::Double, 5)[0], 1.0);
    EXPECT_DOUBLE_EQ(derivativeAt(v, ParamKind::Double, 15)[0], -1.0);
    EXPECT_DOUBLE_EQ(derivativeAt(v, ParamKind::Double, 25)[0], 0.0);
    EXPECT_DOUBLE_EQ(integralOver(v, ParamKind::Double, 0, 20)[0], 100.0);
    EXPECT_DOUBLE_EQ(integralOver(v, ParamKind::Double, 20, 0)[0], -100.0);
    EXPECT_DOUBLE_EQ(integralOver(v, ParamKind::Double, -10, 0)[0], 0.0);   // held at the first key
    EXPECT_DOUBLE_EQ(integralOver(v, ParamKind::Double, 5, 7)[0], 12.0);
    EXPECT_EQ(valueAt(v, ParamKind::Double, std::nan("")).numbers[0], 0.0);
    AnimatedValue rgb;
    rgb.keys[0] = ParamValue::numbers3(0, 1, 0);
    rgb.keys[4] = ParamValue::numbers3(1, 0, 0.5);
    EXPECT_EQ(valueAt(rgb, ParamKind::RGB, 1).numbers, (std::vector<double>{0.25, 0.75, 0.125}));
}

}  // namespace
