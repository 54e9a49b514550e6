// Synthetic frames for the engine benchmarks: a textured background with red
// discs that drift from frame to frame.
#pragma once

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/types.h"

namespace ormel {
namespace bench_frames {

constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;

inline uint32_t mix(uint32_t v) {
    v ^= v >> 16;
    v *= 0x7FEB352Du;
    v ^= v >> 15;
    v *= 0x846CA68Bu;
    v ^= v >> 16;
    return v;
}

inline float unit(uint32_t v) { return static_cast<float>(mix(v) & 0xFFFFu) / 65535.0f; }

// Muted blue-green texture that never keys as red, with `discs` red discs.
inline Image discFrame(int32_t width, int32_t height, int32_t discs, int32_t frame, float radius = 14.0f) {
    Image image(width, height);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const float n = unit(static_cast<uint32_t>(x * 7919 + y * 104729));
            const float wave = 0.5f + 0.5f * std::sin(0.013f * static_cast<float>(x) + 0.021f * static_cast<float>(y));
            image.at(x, y) = Pixel{0.15f * n, 0.25f + 0.3f * wave * n, 0.35f + 0.4f * wave, 1.0f};
        }
    }
    for (int32_t i = 0; i < discs; ++i) {
        const float cx = 40.0f + unit(static_cast<uint32_t>(i) * 3u + 1u) * static_cast<float>(width - 80) +
                         2.0f * static_cast<float>(frame);
        const float cy = 40.0f + unit(static_cast<uint32_t>(i) * 3u + 2u) * static_cast<float>(height - 80);
        const int32_t r = static_cast<int32_t>(radius) + 1;
        for (int32_t y = static_cast<int32_t>(cy) - r; y <= static_cast<int32_t>(cy) + r; ++y) {
            for (int32_t x = static_cast<int32_t>(cx) - r; x <= static_cast<int32_t>(cx) + r; ++x) {
                const float dx = static_cast<float>(x) - cx;
                const float dy = static_cast<float>(y) - cy;
                if (x >= 0 && y >= 0 && x < width && y < height && dx * dx + dy * dy <= radius * radius) {
                    image.at(x, y) = Pixel{0.9f, 0.05f, 0.04f, 1.0f};
                }
            }
        }
    }
    return image;
}

// The yardstick every figure is divided by: one copy of a 1920 x 1080 float RGBA frame.
inline void BM_MemcpyFrame(benchmark::State& state) {
    const std::vector<Pixel> src(static_cast<size_t>(kWidth) * kHeight, Pixel{0.5f, 0.25f, 0.125f, 1.0f});
    std::vector<Pixel> dst(src.size());
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), src.size() * sizeof(Pixel));
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.counters["ns_per_px"] = benchmark::Counter(static_cast<double>(src.size()),
                                                    benchmark::Counter::kIsIterationInvariantRate |
                                                        benchmark::Counter::kInvert);
}

inline void setPerPixel(benchmark::State& state, int64_t pixels) {
    state.counters["ns_per_px"] = benchmark::Counter(static_cast<double>(pixels),
                                                    benchmark::Counter::kIsIterationInvariantRate |
                                                        benchmark::Counter::kInvert);
}

}  // namespace bench_frames
}  // namespace ormel
