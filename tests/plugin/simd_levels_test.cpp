// Every processor level gives the same bits. The level is chosen once per
// process, so this program renders every built-in look, and every treatment
// at once, on frames holding NaNs, infinities and out-of-range values, and
// then runs itself again at each level the machine has (VARNOK_SIMD) and
// compares what each run prints with its own results.
#include <unistd.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "engine/simd_level.h"
#include "overlay/hash.h"
#include "pipeline/process_frame.h"
#include "plugin/settings_sampling.h"
#include "presets/builtin_looks.h"
#include "presets/preset_apply.h"
#include "tests/plugin/memory_reader.h"
#include "tests/presets/memory_params.h"

namespace ormel {
namespace {

// Noise with discs in the colours the looks key, moving from frame to frame,
// and a sprinkling of values the vector paths must treat as the plain ones do.
Image oddFrame(int32_t width, int32_t height, int32_t frame) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float odd[] = {nan, -nan, inf, -inf, -0.0f, -0.5f, 3.0f, 1e30f};
    const Pixel keyed[] = {{1.0f, 0.05f, 0.02f, 1.0f}, {0.0f, 1.0f, 0.18f, 1.0f}, {0.0f, 0.95f, 1.0f, 1.0f}};
    Image image(width, height);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const float n = hash01(x, y, frame, 3);
            Pixel p{0.1f + 0.3f * n, 0.2f * hash01(x, y, frame, 4), 0.2f * hash01(x, y, frame, 5), 1.0f};
            const int32_t disc = ((x + 2 * frame) / 23 + y / 19) % 5;
            if (disc < 3 && hash01(x / 23, y / 19, 0, 6) < 0.5f) p = keyed[disc];
            if (hash01(x, y, frame, 7) < 0.01f) {
                float* channel = &p.r + static_cast<int>(hash01(x, y, frame, 8) * 4.0f) % 4;
                *channel = odd[static_cast<int>(hash01(x, y, frame, 9) * 8.0f) % 8];
            }
            image.at(x, y) = p;
        }
    }
    return image;
}

// FNV-1a over the bytes: NaN payloads and signed zeros count.
uint64_t bitsHash(const void* data, size_t bytes, uint64_t h = 1469598103934665603ull) {
    const auto* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < bytes; ++i) h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

std::string describe(const std::string& what, const TraceResult& r) {
    uint64_t h = bitsHash(r.image.pixels.data(), r.image.pixels.size() * sizeof(Pixel));
    h = bitsHash(r.mask.data(), r.mask.size() * sizeof(float), h);
    h = bitsHash(r.blobs.data(), r.blobs.size() * sizeof(Blob), h);
    char line[160];
    std::snprintf(line, sizeof line, "%s: %016llx, %zu tracks", what.c_str(), static_cast<unsigned long long>(h),
                  r.tracks.size());
    return line;
}

// One line per case.
std::vector<std::string> renderEveryCase() {
    const int32_t width = 163, height = 91, frame = 6;
    const Image source = oddFrame(width, height, frame);
    std::vector<FrameSample> history;
    for (int32_t k = 3; k >= 1; --k) history.push_back({frame - k, oddFrame(width, height, frame - k)});
    std::vector<std::string> lines;
    for (int look = 0; look < kBuiltinLookCount; ++look) {
        MemoryParams params;
        applyBuiltinPreset(params, look);
        lines.push_back(describe("look " + std::to_string(look),
                                 processFrame(source, history, sampleSettings(MemoryReader(params), frame))));
    }
    for (int scope = 0; scope < 2; ++scope) {
        for (int direction = 0; direction < 3; ++direction) {
            MemoryParams params;
            applyBuiltinPreset(params, 9);
            const std::pair<const char*, double> numbers[] = {
                {"lensDistortion", 0.3}, {"fisheye", 0.2},         {"radialBlur", 0.6},   {"glitchAmount", 0.9},
                {"chromaticAberration", 3.0}, {"scanline", 0.5},   {"noise", 0.1},        {"vignette", 0.4},
                {"vhsFlicker", 0.5},     {"invertAmount", 0.1},    {"asciiAmount", 0.6},  {"magnifierIntensity", 0.7},
                {"pointFlashIntensity", 0.8}, {"pointInvertIntensity", 0.8}, {"sourceOpacity", 0.7}};
            for (const auto& [name, v] : numbers) params.setValue(name, doubleValue(v));
            const std::pair<const char*, int> integers[] = {
                {"asciiCellSize", 7}, {"erodeIterations", 1}, {"dilateIterations", 3}, {"blurRadius", 6}};
            for (const auto& [name, v] : integers) params.setValue(name, integerValue(v));
            const std::pair<const char*, int> choices[] = {{"detectionScale", 1},
                                                           {"asciiMode", 1 + direction % 2},
                                                           {"renderEngine", 0},
                                                           {"pixelSortScope", scope},
                                                           {"pixelSortDirection", direction}};
            for (const auto& [name, v] : choices) params.setValue(name, choiceValue(v));
            for (const char* name : {"pixelSortEnable", "magnifierEnable", "pointFlashEnable", "pointInvertEnable",
                                     "drawBoxText"}) {
                params.setValue(name, boolValue(true));
            }
            lines.push_back(describe("every treatment, scope " + std::to_string(scope) + " direction " +
                                         std::to_string(direction),
                                     processFrame(source, history, sampleSettings(MemoryReader(params), frame))));
        }
    }
    return lines;
}

std::string thisProgram() {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return {};
    path[n] = '\0';
    return path;
}

std::vector<std::string> linesOfRunAt(const std::string& program, SimdLevel level) {
    const std::string command =
        std::string("VARNOK_SIMD=") + simdLevelName(level) + " '" + program + "' --print-bits";
    std::vector<std::string> lines;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return lines;
    char line[256];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::string s(line);
        if (!s.empty() && s.back() == '\n') s.pop_back();
        lines.push_back(s);
    }
    ::pclose(pipe);
    return lines;
}

TEST(SimdLevels, EveryLevelGivesTheSameBits) {
    const std::string program = thisProgram();
    ASSERT_FALSE(program.empty());
    std::vector<std::string> want = renderEveryCase();
    want.insert(want.begin(), "");
    std::string ran;
    for (SimdLevel level : {SimdLevel::scalar, SimdLevel::sse2, SimdLevel::avx2, SimdLevel::avx512}) {
        if (level > machineSimdLevel()) break;
        want.front() = std::string("level ") + simdLevelName(level);
        const std::vector<std::string> got = linesOfRunAt(program, level);
        ASSERT_EQ(got.size(), want.size()) << simdLevelName(level);
        for (size_t i = 0; i < want.size(); ++i) EXPECT_EQ(got[i], want[i]) << "against " << simdLevelName();
        ran += std::string(" ") + simdLevelName(level);
    }
    std::printf("same bits at:%s (this run's own level: %s)\n", ran.c_str(), simdLevelName());
}

}  // namespace
}  // namespace ormel

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--print-bits") == 0) {
        std::printf("level %s\n", ormel::simdLevelName());
        for (const std::string& line : ormel::renderEveryCase()) std::printf("%s\n", line.c_str());
        return 0;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
