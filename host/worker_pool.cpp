#include "host/worker_pool.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace ofxhost {
namespace {

thread_local bool tWorker = false;

unsigned processors() { return std::max(1u, std::thread::hardware_concurrency()); }

struct Batch {
    const std::function<void(unsigned)>* job = nullptr;
    unsigned count = 0;
    std::atomic<unsigned> next{0};
    unsigned busy = 0;  // workers inside drain(); guarded by the pool's lock

    void drain() {
        for (unsigned i = next++; i < count; i = next++) (*job)(i);
    }
};

class Pool {
public:
    ~Pool() { stop(); }

    void setSize(unsigned n) {
        const std::lock_guard<std::mutex> owner(submit_);
        stop();
        wanted_ = n;
    }
    unsigned size() const { return wanted_ == 0 ? processors() : wanted_; }

    void run(unsigned count, const std::function<void(unsigned)>& job) {
        if (count == 0) return;
        std::unique_lock<std::mutex> owner(submit_, std::try_to_lock);
        if (count == 1 || tWorker || !owner.owns_lock() || size() < 2) {
            for (unsigned i = 0; i < count; ++i) job(i);
            return;
        }
        start();
        Batch batch;
        batch.job = &job;
        batch.count = count;
        {
            const std::lock_guard<std::mutex> hold(lock_);
            current_ = &batch;
            ++generation_;
        }
        wake_.notify_all();
        batch.drain();
        std::unique_lock<std::mutex> hold(lock_);
        // Every index is taken; wait for the workers still running one.
        finished_.wait(hold, [&] { return batch.busy == 0; });
        current_ = nullptr;
    }

private:
    void start() {
        if (!threads_.empty()) return;
        stopping_ = false;
        for (unsigned i = 1; i < size(); ++i) threads_.emplace_back([this] { work(); });
    }

    void stop() {
        {
            const std::lock_guard<std::mutex> hold(lock_);
            stopping_ = true;
        }
        wake_.notify_all();
        for (std::thread& t : threads_) t.join();
        threads_.clear();
    }

    void work() {
        tWorker = true;
        uint64_t seen = 0;
        std::unique_lock<std::mutex> hold(lock_);
        for (;;) {
            wake_.wait(hold, [&] { return stopping_ || (current_ != nullptr && generation_ != seen); });
            if (stopping_) return;
            seen = generation_;
            Batch* batch = current_;
            ++batch->busy;
            hold.unlock();
            batch->drain();
            hold.lock();
            if (--batch->busy == 0) finished_.notify_all();
        }
    }

    std::mutex submit_;  // one batch at a time
    std::mutex lock_;
    std::condition_variable wake_;
    std::condition_variable finished_;
    std::vector<std::thread> threads_;
    Batch* current_ = nullptr;
    uint64_t generation_ = 0;
    bool stopping_ = false;
    unsigned wanted_ = 0;
};

Pool& pool() {
    // Never destroyed: plug-ins may still call the suite while the process ends.
    static Pool* shared = new Pool;
    return *shared;
}

}  // namespace

void setWorkerCount(unsigned count) { pool().setSize(count); }
unsigned workerCount() { return pool().size(); }
void runOnWorkers(unsigned count, const std::function<void(unsigned)>& job) { pool().run(count, job); }
bool onWorkerThread() { return tWorker; }

}  // namespace ofxhost
