#include "plugin/host_threads.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>

namespace ormel {
namespace {

constexpr unsigned int kBandsPerThread = 4;

// Shared by every host thread of one batch: jobs are claimed one at a time,
// so the host may run any number of threads, or none.
struct Batch {
    const std::function<void(int32_t)>* job = nullptr;
    int32_t count = 0;
    std::atomic<int32_t> next{0};
    std::mutex failureLock;
    std::exception_ptr failure;

    void drain() {
        for (int32_t i = next++; i < count; i = next++) {
            try {
                (*job)(i);
            } catch (...) {
                const std::lock_guard<std::mutex> hold(failureLock);
                if (!failure) failure = std::current_exception();
            }
        }
    }
};

// No exception may cross the host's C interface.
void runBatch(unsigned int, unsigned int, void* arg) { static_cast<Batch*>(arg)->drain(); }

}  // namespace

RowBands rowBandsFrom(const OfxMultiThreadSuiteV1* suite) {
    RowBands bands;
    if (suite == nullptr || suite->multiThread == nullptr || suite->multiThreadNumCPUs == nullptr) return bands;
    if (suite->multiThreadIsSpawnedThread != nullptr && suite->multiThreadIsSpawnedThread() != 0) return bands;
    unsigned int cpus = 1;
    if (suite->multiThreadNumCPUs(&cpus) != kOfxStatOK || cpus <= 1) return bands;
    const unsigned int threads = std::min(cpus, 1024u);
    // A few bands per thread, claimed as threads come free: marks and sorted
    // runs crowd some rows more than others, and a host thread may start late.
    bands.bands = static_cast<int32_t>(threads * kBandsPerThread);
    bands.runJobs = [suite, threads](int32_t count, const std::function<void(int32_t)>& job) {
        Batch batch;
        batch.job = &job;
        batch.count = count;
        suite->multiThread(runBatch, std::min(threads, static_cast<unsigned int>(count)), &batch);
        // Whatever the host left undone (or all of it, when it refused) runs here.
        batch.drain();
        if (batch.failure) std::rethrow_exception(batch.failure);
    };
    return bands;
}

}  // namespace ormel
