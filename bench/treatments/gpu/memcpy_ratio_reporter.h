// Console reporter that closes the run with every benchmark's time divided by
// the time of the frame memcpy benchmark measured in the same run.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace ormel {

class MemcpyRatioReporter : public benchmark::ConsoleReporter {
public:
    explicit MemcpyRatioReporter(std::string memcpyName) : memcpyName_(std::move(memcpyName)) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred || run.iterations <= 0 || run.run_type != Run::RT_Iteration) continue;
            seconds_.emplace_back(run.benchmark_name(),
                                  run.real_accumulated_time / static_cast<double>(run.iterations));
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        double base = 0.0;
        for (const auto& entry : seconds_) {
            if (entry.first == memcpyName_) base = entry.second;
        }
        if (base <= 0.0) {
            std::printf("no %s run: ratios unavailable\n", memcpyName_.c_str());
            return;
        }
        std::printf("\nratio to one 1920x1080 float RGBA memcpy (%.3f ms in this run):\n", base * 1e3);
        for (const auto& entry : seconds_) {
            std::printf("  %-48s %12.3f ms  %10.1f x memcpy\n", entry.first.c_str(), entry.second * 1e3,
                        entry.second / base);
        }
    }

private:
    std::string memcpyName_;
    std::vector<std::pair<std::string, double>> seconds_;
};

}  // namespace ormel
