#include "engine/tracks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/detection.h"
#include "tests/engine/test_images.h"

namespace ormel {
namespace {

using testing_images::fillRect;
using testing_images::kBlack;
using testing_images::kRed;
using testing_images::plainKey;

Blob blobAt(float x, float y, int32_t area = 4) {
    Blob b;
    b.area = area;
    b.center = {x, y};
    return b;
}

// A 300 x 300 frame with 2 x 2 red squares whose top-left corners are given.
Image frameWith(std::initializer_list<Vec2> corners) {
    Image image(300, 300, kBlack);
    for (const Vec2& c : corners) {
        const int32_t x = static_cast<int32_t>(c.x);
        const int32_t y = static_cast<int32_t>(c.y);
        fillRect(image, x, y, x + 2, y + 2, kRed);
    }
    return image;
}

Settings temporal(int32_t frames) {
    Settings s = plainKey();
    s.temporalFrames = frames;
    s.frameNumber = 100;
    return s;
}

std::vector<Track> track(const std::vector<FrameSample>& samples, const Image& current, const Settings& s) {
    return buildTracks(samples, current, detectBlobs(current, s), s);
}

TEST(ReadingOrder, RowsWithinSixPixelsAreOrderedByX) {
    std::vector<Blob> blobs = {blobAt(50, 10), blobAt(10, 14), blobAt(30, 40), blobAt(20, 20.5f)};
    sortBlobsForLabels(blobs);
    EXPECT_EQ(blobs[0].center.x, 10.0f);
    EXPECT_EQ(blobs[1].center.x, 50.0f);
    EXPECT_EQ(blobs[2].center.x, 20.0f);  // 6.5 below (10, 14): a row of its own
    EXPECT_EQ(blobs[3].center.x, 30.0f);
    EXPECT_TRUE(readsBefore(blobAt(1, 6), blobAt(0, 12.5f)));
    EXPECT_FALSE(readsBefore(blobAt(1, 6), blobAt(0, 12)));
    EXPECT_FALSE(readsBefore(blobAt(5, 5), blobAt(5, 5)));
}

TEST(ReadingOrder, TiesKeepTheirGivenOrder) {
    std::vector<Blob> blobs = {blobAt(7, 3, 1), blobAt(7, 3, 2), blobAt(7, 3, 3)};
    sortBlobsForLabels(blobs);
    EXPECT_EQ(blobs[0].area, 1);
    EXPECT_EQ(blobs[1].area, 2);
    EXPECT_EQ(blobs[2].area, 3);
}

TEST(TracksWithoutHistory, NumberRegionsInReadingOrder) {
    const std::vector<Blob> blobs = {blobAt(50, 10), blobAt(10, 14), blobAt(30, 40)};
    for (int32_t frames : {0, 8}) {
        // With temporal frames but no samples the result is the same.
        const std::vector<Track> tracks = buildTracks({}, Image(), blobs, temporal(frames));
        ASSERT_EQ(tracks.size(), 3u);
        EXPECT_EQ(tracks[0].id, 1);
        EXPECT_EQ(tracks[0].blob.center.x, 10.0f);
        EXPECT_EQ(tracks[1].id, 2);
        EXPECT_EQ(tracks[1].blob.center.x, 50.0f);
        EXPECT_EQ(tracks[2].id, 3);
        EXPECT_EQ(tracks[2].blob.center.y, 40.0f);
        for (const Track& t : tracks) {
            EXPECT_EQ(t.blob.id, t.id);
            ASSERT_EQ(t.trail.size(), 1u);
            EXPECT_EQ(t.trail[0].x, t.blob.center.x);
            EXPECT_EQ(t.speed, 0.0f);
        }
    }
}

TEST(TracksWithoutHistory, SamplesAreIgnoredWhenTemporalTrackingIsOff) {
    const std::vector<FrameSample> samples = {{99, frameWith({{40, 40}})}};
    const std::vector<Track> tracks = track(samples, frameWith({{45, 40}}), temporal(0));
    ASSERT_EQ(tracks.size(), 1u);
    EXPECT_EQ(tracks[0].trail.size(), 1u);
    EXPECT_EQ(tracks[0].speed, 0.0f);
}

// Four earlier frames and the current one, the square moving 5 px per frame.
std::vector<FrameSample> movingSquare() {
    std::vector<FrameSample> samples;
    for (int32_t i = 0; i < 4; ++i) {
        samples.push_back({96 + i, frameWith({{20.0f + 5.0f * i, 50}})});
    }
    return samples;
}

TEST(TracksTemporal, TrailFollowsTheObjectAndSpeedIsTheLastStep) {
    const Image current = frameWith({{40, 50}});
    std::vector<Track> tracks = track(movingSquare(), current, temporal(8));
    ASSERT_EQ(tracks.size(), 1u);
    EXPECT_EQ(tracks[0].id, 1);
    EXPECT_EQ(tracks[0].blob.id, 1);
    EXPECT_FLOAT_EQ(tracks[0].speed, 5.0f);
    ASSERT_EQ(tracks[0].trail.size(), 5u);
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_FLOAT_EQ(tracks[0].trail[i].x, 20.5f + 5.0f * static_cast<float>(i));
        EXPECT_FLOAT_EQ(tracks[0].trail[i].y, 50.5f);
    }

    tracks = track(movingSquare(), current, temporal(2));
    ASSERT_EQ(tracks.size(), 1u);
    ASSERT_EQ(tracks[0].trail.size(), 3u);
    EXPECT_FLOAT_EQ(tracks[0].trail[0].x, 30.5f);
    EXPECT_FLOAT_EQ(tracks[0].speed, 5.0f);

    tracks = track(movingSquare(), current, temporal(std::numeric_limits<int32_t>::max()));
    ASSERT_EQ(tracks.size(), 1u);
    EXPECT_EQ(tracks[0].trail.size(), 5u);
}

TEST(TracksTemporal, SamplesOutOfOrderAreSortedByFrame) {
    std::vector<FrameSample> reversed = movingSquare();
    std::swap(reversed[0], reversed[3]);
    std::swap(reversed[1], reversed[2]);
    const std::vector<Track> tracks = track(reversed, frameWith({{40, 50}}), temporal(8));
    ASSERT_EQ(tracks.size(), 1u);
    ASSERT_EQ(tracks[0].trail.size(), 5u);
    EXPECT_FLOAT_EQ(tracks[0].trail[0].x, 20.5f);
    EXPECT_FLOAT_EQ(tracks[0].trail[3].x, 35.5f);
    EXPECT_FLOAT_EQ(tracks[0].speed, 5.0f);
}

TEST(TracksTemporal, FarRegionStartsANewTrack) {
    const std::vector<FrameSample> samples = {{99, frameWith({{10, 10}})}};
    const std::vector<Track> tracks = track(samples, frameWith({{130, 10}}), temporal(4));
    ASSERT_EQ(tracks.size(), 1u);
    EXPECT_EQ(tracks[0].id, 2);
    EXPECT_EQ(tracks[0].speed, 0.0f);
    EXPECT_EQ(tracks[0].trail.size(), 1u);
}

TEST(TracksTemporal, NanReachContinuesNothing) {
    Settings s = temporal(4);
    s.trackingDistance = std::numeric_limits<float>::quiet_NaN();
    const std::vector<FrameSample> samples = {{99, frameWith({{10, 10}})}};
    const std::vector<Track> tracks = track(samples, frameWith({{10, 10}}), s);
    ASSERT_EQ(tracks.size(), 1u);
    EXPECT_EQ(tracks[0].id, 2);
    EXPECT_EQ(tracks[0].trail.size(), 1u);
}

TEST(TracksTemporal, LowerCostWinsACompetedRegion) {
    // A (area 8) is 10 px away but half the size: cost 25/3 + 10. B (area 16) is
    // 15 px away with the same size: cost 15.
    Image before(300, 300, kBlack);
    fillRect(before, 19, 18, 21, 22, kRed);  // A, centre (19.5, 19.5)
    fillRect(before, 43, 18, 47, 22, kRed);  // B, centre (44.5, 19.5)
    Image current(300, 300, kBlack);
    fillRect(current, 28, 18, 32, 22, kRed);  // centre (29.5, 19.5)
    const std::vector<Track> tracks = track({{99, before}}, current, temporal(4));
    ASSERT_EQ(tracks.size(), 1u);
    EXPECT_EQ(tracks[0].id, 2);
    EXPECT_FLOAT_EQ(tracks[0].speed, 15.0f);
    EXPECT_EQ(tracks[0].blob.area, 16);
}

TEST(TracksTemporal, EqualCostsGoToTheEarlierStateAndRegion) {
    // Two states 10 px either side of one region of the same size: the first state wins.
    std::vector<Track> tracks = track({{99, frameWith({{20, 20}, {40, 20}})}}, frameWith({{30, 20}}), temporal(4));
    ASSERT_EQ(tracks.size(), 1u);
    EXPECT_EQ(tracks[0].id, 1);
    EXPECT_FLOAT_EQ(tracks[0].speed, 10.0f);

    // One state between two equal regions: the one first in reading order continues it.
    tracks = track({{99, frameWith({{30, 20}})}}, frameWith({{20, 20}, {40, 20}}), temporal(4));
    ASSERT_EQ(tracks.size(), 2u);
    EXPECT_EQ(tracks[0].id, 1);
    EXPECT_FLOAT_EQ(tracks[0].blob.center.x, 20.5f);
    EXPECT_EQ(tracks[1].id, 2);
    EXPECT_EQ(tracks[1].speed, 0.0f);
}

TEST(TracksTemporal, MissedFrameLeavesNoPointAndObjectsGoneNowAreDropped) {
    const std::vector<FrameSample> samples = {
        {97, frameWith({{20, 20}, {200, 200}})},
        {98, frameWith({{24, 20}, {200, 200}})},
        {99, frameWith({{200, 200}})},  // the first object is missed
    };
    const std::vector<Track> tracks = track(samples, frameWith({{30, 20}}), temporal(8));
    ASSERT_EQ(tracks.size(), 1u);  // the second object left before the current frame
    EXPECT_EQ(tracks[0].id, 1);
    ASSERT_EQ(tracks[0].trail.size(), 3u);
    EXPECT_FLOAT_EQ(tracks[0].trail[1].x, 24.5f);
    EXPECT_FLOAT_EQ(tracks[0].speed, 6.0f);
}

TEST(TracksTemporal, EmptyEarlierFrameIsSkipped) {
    const std::vector<FrameSample> samples = {{98, frameWith({{20, 20}})}, {99, Image()}};
    const std::vector<Track> tracks = track(samples, frameWith({{23, 24}}), temporal(8));
    ASSERT_EQ(tracks.size(), 1u);
    EXPECT_EQ(tracks[0].id, 1);
    EXPECT_EQ(tracks[0].trail.size(), 2u);
    EXPECT_FLOAT_EQ(tracks[0].speed, 5.0f);
}

// P at frame 0, Q at 1, R at 2 and 3, P again now; all far apart.
std::vector<FrameSample> returningObject() {
    return {{0, frameWith({{10, 10}})},
            {1, frameWith({{200, 10}})},
            {2, frameWith({{10, 200}})},
            {3, frameWith({{10, 200}})}};
}

TEST(TracksTemporal, ReturningObjectKeepsItsIdentityUntilPruned) {
    Settings s = temporal(8);
    s.frameNumber = 4;
    s.maxObjects = 5;
    std::vector<Track> tracks = track(returningObject(), frameWith({{10, 10}}), s);
    ASSERT_EQ(tracks.size(), 1u);
    EXPECT_EQ(tracks[0].id, 1);
    EXPECT_EQ(tracks[0].trail.size(), 2u);

    // More than 2 * maxObjects states: unseen ones older than two frames go.
    s.maxObjects = 1;
    tracks = track(returningObject(), frameWith({{10, 10}}), s);
    ASSERT_EQ(tracks.size(), 1u);
    EXPECT_EQ(tracks[0].id, 4);
    EXPECT_EQ(tracks[0].trail.size(), 1u);
}

TEST(TracksTemporal, CurrentFrameIsLastWhateverItsNumber) {
    Settings s = temporal(8);
    s.frameNumber = -50;
    const std::vector<Track> tracks = track(movingSquare(), frameWith({{40, 50}}), s);
    ASSERT_EQ(tracks.size(), 1u);
    EXPECT_EQ(tracks[0].trail.size(), 5u);
    EXPECT_FLOAT_EQ(tracks[0].trail.back().x, 40.5f);
}

TEST(TracksTemporal, ExtremeSettingsStayDefined) {
    Settings s = temporal(8);
    s.maxObjects = std::numeric_limits<int32_t>::max();
    EXPECT_EQ(track(movingSquare(), frameWith({{40, 50}}), s).size(), 1u);
    s.maxObjects = std::numeric_limits<int32_t>::min();
    // Detection keeps nothing, but the current regions handed in still become tracks.
    const std::vector<Track> tracks = buildTracks(movingSquare(), Image(), {blobAt(40, 50)}, s);
    ASSERT_EQ(tracks.size(), 1u);
    EXPECT_EQ(tracks[0].id, 1);
    s.maxObjects = 10;
    s.trackingDistance = std::numeric_limits<float>::infinity();
    const std::vector<Track> far = buildTracks(movingSquare(), Image(), {blobAt(1e30f, -1e30f)}, s);
    ASSERT_EQ(far.size(), 1u);
    EXPECT_EQ(far[0].id, 1);
}

}  // namespace
}  // namespace ormel
