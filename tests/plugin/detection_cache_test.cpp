// The per-instance cache of regions found in earlier frames.
#include "plugin/detection_cache.h"

#include <gtest/gtest.h>

namespace {

using ormel::Blob;
using ormel::DetectionCache;
using ormel::detectionKey;
using ormel::Settings;

std::vector<Blob> regionsWithArea(int32_t area) {
    Blob b;
    b.area = area;
    return {b};
}

// A label alone does not name the regions: the size, the factor and every
// setting detection reads are part of the key, and no label means no key.
TEST(DetectionCache, KeysChangeWithEverythingDetectionReads) {
    const Settings base;
    const std::string key = detectionKey("clip|7|1", 64, 48, 2, base);
    EXPECT_TRUE(detectionKey("", 64, 48, 2, base).empty());
    EXPECT_EQ(key, detectionKey("clip|7|1", 64, 48, 2, base));
    EXPECT_NE(key, detectionKey("clip|7|2", 64, 48, 2, base));
    EXPECT_NE(key, detectionKey("clip|7|1", 65, 48, 2, base));
    EXPECT_NE(key, detectionKey("clip|7|1", 64, 48, 4, base));
    auto changed = [&](auto edit) {
        Settings s = base;
        edit(s);
        return detectionKey("clip|7|1", 64, 48, 2, s) != key;
    };
    EXPECT_TRUE(changed([](Settings& s) { s.targetColor.g = 0.5f; }));
    EXPECT_TRUE(changed([](Settings& s) { s.hueTolerance = 0.07f; }));
    EXPECT_TRUE(changed([](Settings& s) { s.saturationTolerance = 0.2f; }));
    EXPECT_TRUE(changed([](Settings& s) { s.luminanceTolerance = 0.2f; }));
    EXPECT_TRUE(changed([](Settings& s) { s.softness = 0.3f; }));
    EXPECT_TRUE(changed([](Settings& s) { s.invertSelection = true; }));
    EXPECT_TRUE(changed([](Settings& s) { s.blurRadius = 3; }));
    EXPECT_TRUE(changed([](Settings& s) { s.erodeIterations = 2; }));
    EXPECT_TRUE(changed([](Settings& s) { s.dilateIterations = 0; }));
    EXPECT_TRUE(changed([](Settings& s) { s.minBlobArea = 5; }));
    EXPECT_TRUE(changed([](Settings& s) { s.maxBlobArea = 5000; }));
    EXPECT_TRUE(changed([](Settings& s) { s.maxObjects = 3; }));
    // What detection does not read leaves the key alone.
    EXPECT_FALSE(changed([](Settings& s) { s.glowAmount = 0.9f; }));
    EXPECT_FALSE(changed([](Settings& s) { s.trackingDistance = 9.0f; }));
}

TEST(DetectionCache, KeepsTheMostRecentlyUsedWithinItsBound) {
    DetectionCache cache(2);
    std::vector<Blob> got;
    EXPECT_FALSE(cache.find("a", &got));
    cache.store("a", regionsWithArea(1));
    cache.store("b", regionsWithArea(2));
    ASSERT_TRUE(cache.find("a", &got));   // a is now the most recent
    EXPECT_EQ(got.at(0).area, 1);
    cache.store("c", regionsWithArea(3));  // b goes
    EXPECT_FALSE(cache.find("b", &got));
    EXPECT_TRUE(cache.find("a", &got));
    EXPECT_TRUE(cache.find("c", &got));
    EXPECT_EQ(cache.size(), 2u);
    cache.store("", regionsWithArea(9));   // unlabelled: never kept
    EXPECT_EQ(cache.size(), 2u);
    cache.reserve(8);
    for (const char* k : {"d", "e", "f", "g"}) cache.store(k, {});
    EXPECT_EQ(cache.size(), 6u);
    EXPECT_EQ(cache.hits(), 3u);
    EXPECT_EQ(cache.misses(), 2u);
}

}  // namespace
