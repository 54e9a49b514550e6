// Row-band runners for tests: real threads, one per job, and the jobs in
// reverse order on the calling thread (so a stage that leans on band order or
// on another band's rows shows up even without a race).
#pragma once

#include <thread>
#include <vector>

#include "engine/row_bands.h"

namespace ormel {
namespace testing_support {

inline RowBands threadedBands(int32_t count) {
    RowBands b;
    b.bands = count;
    b.runJobs = [](int32_t n, const std::function<void(int32_t)>& job) {
        std::vector<std::thread> threads;
        for (int32_t i = 1; i < n; ++i) threads.emplace_back(job, i);
        job(0);
        for (std::thread& t : threads) t.join();
    };
    return b;
}

inline RowBands reversedBands(int32_t count) {
    RowBands b;
    b.bands = count;
    b.runJobs = [](int32_t n, const std::function<void(int32_t)>& job) {
        for (int32_t i = n - 1; i >= 0; --i) job(i);
    };
    return b;
}

}  // namespace testing_support
}  // namespace ormel
