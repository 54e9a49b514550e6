// The host's multithread suite as row bands, the cut into bands itself, and
// the banded copy into a host image.
#include <atomic>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "plugin/host_threads.h"
#include "plugin/image_transfer_bands.h"
#include "tests/support/thread_runners.h"

namespace ormel {
namespace {

// What the stand-in suite reports and does; reset by each test.
struct FakeHost {
    unsigned cpus = 4;
    bool spawned = false;
    bool refuse = false;            // multiThread fails without running anything
    unsigned runOnly = 0;           // runs only this many of the requested indices (0: all)
    std::atomic<int> calls{0};
    std::atomic<unsigned> largestRequest{0};
};
FakeHost* gHost = nullptr;

OfxStatus fakeMultiThread(OfxThreadFunctionV1 func, unsigned n, void* arg) {
    ++gHost->calls;
    if (n > gHost->largestRequest) gHost->largestRequest = n;
    if (gHost->refuse) return kOfxStatFailed;
    const unsigned run = gHost->runOnly > 0 && gHost->runOnly < n ? gHost->runOnly : n;
    std::vector<std::thread> threads;
    for (unsigned i = 1; i < run; ++i) threads.emplace_back(func, i, n, arg);
    func(0, n, arg);
    for (std::thread& t : threads) t.join();
    return kOfxStatOK;
}
OfxStatus fakeNumCpus(unsigned* n) {
    *n = gHost->cpus;
    return kOfxStatOK;
}
int fakeIsSpawned() { return gHost->spawned ? 1 : 0; }

OfxMultiThreadSuiteV1 fakeSuite() {
    OfxMultiThreadSuiteV1 s{};
    s.multiThread = fakeMultiThread;
    s.multiThreadNumCPUs = fakeNumCpus;
    s.multiThreadIsSpawnedThread = fakeIsSpawned;
    return s;
}

// Which lines each call saw, checked to cover [0, lines) once, in contiguous runs.
std::vector<Band> bandsSeen(const RowBands& bands, int32_t lines) {
    std::mutex lock;
    std::vector<Band> seen;
    bands.forEachBand(lines, [&](Band b) {
        const std::lock_guard<std::mutex> hold(lock);
        seen.push_back(b);
    });
    std::vector<int> hits(static_cast<size_t>(std::max(lines, 0)), 0);
    for (const Band& b : seen) {
        EXPECT_LT(b.begin, b.end);
        for (int32_t y = b.begin; y < b.end; ++y) ++hits[static_cast<size_t>(y)];
    }
    for (int h : hits) EXPECT_EQ(h, 1);
    return seen;
}

TEST(RowBands, CutsLinesIntoNearEqualBandsEachCoveredOnce) {
    EXPECT_EQ(bandsSeen(RowBands::single(), 1080).size(), 1u);
    const auto eight = bandsSeen(testing_support::threadedBands(8), 1081);
    ASSERT_EQ(eight.size(), 8u);
    for (const Band& b : eight) EXPECT_TRUE(b.end - b.begin == 135 || b.end - b.begin == 136);
    // Never more bands than lines, and nothing at all for no lines.
    EXPECT_EQ(bandsSeen(testing_support::threadedBands(8), 3).size(), 3u);
    EXPECT_TRUE(bandsSeen(testing_support::threadedBands(8), 0).empty());
    RowBands noRunner;
    noRunner.bands = 4;
    EXPECT_EQ(bandsSeen(noRunner, 10).size(), 4u);
}

TEST(HostThreads, RunsOnTheCallingThreadWithoutSuiteOrWithOneCpuOrWhenSpawned) {
    FakeHost host;
    gHost = &host;
    const OfxMultiThreadSuiteV1 suite = fakeSuite();
    EXPECT_FALSE(rowBandsFrom(nullptr).runJobs);
    host.cpus = 1;
    EXPECT_FALSE(rowBandsFrom(&suite).runJobs);
    host.cpus = 4;
    host.spawned = true;
    EXPECT_FALSE(rowBandsFrom(&suite).runJobs);
    host.spawned = false;
    const RowBands bands = rowBandsFrom(&suite);
    EXPECT_EQ(bands.bands, 16);  // four bands per processor
    EXPECT_EQ(bandsSeen(bands, 100).size(), 16u);
    EXPECT_EQ(host.calls, 1);
    EXPECT_EQ(host.largestRequest, 4u);
}

TEST(HostThreads, JobsTheHostDoesNotRunAreRunHere) {
    FakeHost host;
    gHost = &host;
    const OfxMultiThreadSuiteV1 suite = fakeSuite();
    host.cpus = 6;
    host.refuse = true;
    EXPECT_EQ(bandsSeen(rowBandsFrom(&suite), 50).size(), 24u);
    host.refuse = false;
    host.runOnly = 2;
    EXPECT_EQ(bandsSeen(rowBandsFrom(&suite), 50).size(), 24u);
}

TEST(HostThreads, AFailingJobReachesTheCaller) {
    FakeHost host;
    gHost = &host;
    const OfxMultiThreadSuiteV1 suite = fakeSuite();
    const RowBands bands = rowBandsFrom(&suite);
    std::atomic<int> ran{0};
    EXPECT_THROW(bands.forEachBand(40,
                                   [&](Band b) {
                                       ++ran;
                                       if (b.begin == 0) throw std::bad_alloc();
                                   }),
                 std::bad_alloc);
    EXPECT_EQ(ran, 16);  // the other bands still ran: nothing is left half done unseen
}

TEST(BandedTransfer, WritesTheSameRowsAsThePlainCopyForEitherRowOrder) {
    const int32_t w = 13, h = 29;
    Image image(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) image.at(x, y) = Pixel{float(x), float(y), float(x * y), 0.5f};
    for (int rowOrder : {1, -1}) {
        // A host image wider than the engine's, with padding, in either row order.
        const int stride = (w + 3) * 16;
        std::vector<unsigned char> plain(static_cast<size_t>(stride) * (h + 2), 0x5a);
        std::vector<unsigned char> banded = plain;
        auto access = [&](std::vector<unsigned char>& memory) {
            HostImageAccess a;
            a.x1 = 2;
            a.y1 = -4;
            a.x2 = 2 + w + 2;
            a.y2 = -4 + h + 1;
            a.floatRgba = true;
            a.rowBytes = rowOrder * stride;
            a.data = rowOrder > 0 ? memory.data() : memory.data() + static_cast<size_t>(stride) * (h + 1);
            return a;
        };
        writeHostImage(image, access(plain));
        writeHostImage(image, access(banded), testing_support::threadedBands(5));
        EXPECT_EQ(plain, banded) << rowOrder;
    }
}

TEST(BandedTransfer, ReadsTheSameImageAsThePlainCopyForEitherRowOrder) {
    const int w = 11, h = 23;
    const int stride = (w + 2) * 16;
    std::vector<float> memory(static_cast<size_t>(stride / 4) * (h + 1));
    for (size_t i = 0; i < memory.size(); ++i) memory[i] = static_cast<float>(i) * 0.25f - 7.0f;
    for (int rowOrder : {1, -1}) {
        HostImageAccess a;
        a.x1 = -3;
        a.y1 = 5;
        a.x2 = -3 + w;
        a.y2 = 5 + h;
        a.floatRgba = true;
        a.rowBytes = rowOrder * stride;
        a.data = rowOrder > 0 ? static_cast<void*>(memory.data())
                              : static_cast<void*>(memory.data() + static_cast<size_t>(stride / 4) * h);
        const Image plain = readHostImage(a);
        for (int32_t n : {2, 3, 8}) {
            const Image banded = readHostImage(a, testing_support::threadedBands(n));
            ASSERT_EQ(banded.width, plain.width);
            ASSERT_EQ(banded.height, plain.height);
            EXPECT_EQ(std::memcmp(banded.pixels.data(), plain.pixels.data(), plain.pixels.size() * sizeof(Pixel)), 0)
                << rowOrder << " " << n;
        }
    }
}

}  // namespace
}  // namespace ormel
