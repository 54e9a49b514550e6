// The multithread suite on the host's worker pool: every index once, sized by
// setWorkerCount, nested and concurrent batches finishing.
#include <atomic>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "host/host_objects.h"
#include "host/worker_pool.h"
#include "ofxMultiThread.h"

namespace ofxhost {
namespace {

const OfxMultiThreadSuiteV1& suite() {
    return *static_cast<const OfxMultiThreadSuiteV1*>(fetchSuite(kOfxMultiThreadSuite, 1));
}

struct Seen {
    std::mutex lock;
    std::vector<int> hits;
    std::set<std::thread::id> threads;
    unsigned wrongMax = 0;
    unsigned wrongIndex = 0;
    int spawned = 0;
    unsigned expectedMax = 0;
};

void record(unsigned index, unsigned max, void* arg) {
    auto* seen = static_cast<Seen*>(arg);
    unsigned reported = 999;
    suite().multiThreadIndex(&reported);
    const bool isSpawned = suite().multiThreadIsSpawnedThread() != 0;
    // Long enough that the workers get a share of the indices.
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    const std::lock_guard<std::mutex> hold(seen->lock);
    ++seen->hits.at(index);
    seen->threads.insert(std::this_thread::get_id());
    if (max != seen->expectedMax) ++seen->wrongMax;
    if (reported != index) ++seen->wrongIndex;
    if (isSpawned) ++seen->spawned;
}

TEST(WorkerPool, MultiThreadRunsEveryIndexOnceOnAsManyThreadsAsSet) {
    setWorkerCount(3);
    unsigned cpus = 0;
    ASSERT_EQ(suite().multiThreadNumCPUs(&cpus), kOfxStatOK);
    EXPECT_EQ(cpus, 3u);
    for (int round = 0; round < 3; ++round) {  // the workers are reused between batches
        Seen seen;
        seen.hits.assign(40, 0);
        seen.expectedMax = 40;
        ASSERT_EQ(suite().multiThread(record, 40, &seen), kOfxStatOK);
        for (int h : seen.hits) EXPECT_EQ(h, 1);
        EXPECT_EQ(seen.wrongMax, 0u);
        EXPECT_EQ(seen.wrongIndex, 0u);
        EXPECT_GE(seen.threads.size(), 2u);
        EXPECT_LE(seen.threads.size(), 3u);
        EXPECT_GT(seen.spawned, 0);
        EXPECT_LT(seen.spawned, 40);  // the caller took part, and it is not spawned
        EXPECT_EQ(suite().multiThreadIsSpawnedThread(), 0);
    }
    setWorkerCount(0);
}

TEST(WorkerPool, OneThreadRunsEverythingOnTheCaller) {
    setWorkerCount(1);
    Seen seen;
    seen.hits.assign(8, 0);
    seen.expectedMax = 8;
    ASSERT_EQ(suite().multiThread(record, 8, &seen), kOfxStatOK);
    for (int h : seen.hits) EXPECT_EQ(h, 1);
    EXPECT_EQ(seen.threads, std::set<std::thread::id>{std::this_thread::get_id()});
    setWorkerCount(0);
}

TEST(WorkerPool, NestedAndConcurrentBatchesFinish) {
    setWorkerCount(2);
    std::atomic<int> inner{0};
    runOnWorkers(4, [&](unsigned) { runOnWorkers(5, [&](unsigned) { ++inner; }); });
    EXPECT_EQ(inner, 20);

    std::atomic<int> total{0};
    auto batch = [&] {
        for (int i = 0; i < 50; ++i) runOnWorkers(7, [&](unsigned) { ++total; });
    };
    std::thread other(batch);
    batch();
    other.join();
    EXPECT_EQ(total, 2 * 50 * 7);
    setWorkerCount(0);
}

}  // namespace
}  // namespace ofxhost
