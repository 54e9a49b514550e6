#include "media/native_frame.h"

#include <algorithm>
#include <cstring>

#include "host/image_buffer.h"
#include "host/worker_pool.h"

namespace varnok {

int sampleBytes(SampleType t) {
    switch (t) {
        case SampleType::U8: return 1;
        case SampleType::U16: return 2;
        case SampleType::Half: return 2;
        case SampleType::Float: return 4;
    }
    return 1;
}

namespace {

// One loop per channel count, so the compiler sees a fixed pattern it can
// vectorise; `load(p, i)` gives sample i of the source.
template <int C, typename Load>
void expand(size_t n, float* dst, Load load) {
    for (size_t i = 0; i < n; ++i, dst += 4) {
        const size_t s = i * C;
        if (C >= 3) {
            dst[0] = load(s);
            dst[1] = load(s + 1);
            dst[2] = load(s + 2);
            dst[3] = C >= 4 ? load(s + 3) : 1.0f;
        } else {
            const float v = load(s);
            dst[0] = v;
            dst[1] = v;
            dst[2] = v;
            dst[3] = C == 2 ? load(s + 1) : 1.0f;
        }
    }
}

template <typename Load>
void expandAny(int channels, size_t n, float* dst, Load load) {
    switch (channels) {
        case 1: expand<1>(n, dst, load); break;
        case 2: expand<2>(n, dst, load); break;
        case 3: expand<3>(n, dst, load); break;
        case 4: expand<4>(n, dst, load); break;
        default:   // more than four: the first four of each pixel
            for (size_t i = 0; i < n; ++i, dst += 4)
                for (int c = 0; c < 4; ++c) dst[c] = load(i * static_cast<size_t>(channels) + c);
            break;
    }
}

template <typename T>
T sampleAt(const uint8_t* base, size_t i) {
    T v;
    std::memcpy(&v, base + i * sizeof(T), sizeof(T));
    return v;
}

// Converts the frame in bands of rows on the host's threads; makeLoad(base)
// gives the sample loader for the samples starting at `base`.
template <typename MakeLoad>
void expandInBands(const NativeFrame& f, float* dst, MakeLoad makeLoad) {
    const size_t height = static_cast<size_t>(f.height);
    const size_t rowPixels = static_cast<size_t>(f.width);
    const size_t pixelBytes = static_cast<size_t>(f.channels) * static_cast<size_t>(sampleBytes(f.type));
    const unsigned jobs = static_cast<unsigned>(std::min<size_t>(ofxhost::workerCount(), height));
    ofxhost::runOnWorkers(jobs, [&](unsigned j) {
        const size_t first = height * j / jobs * rowPixels;
        const size_t end = height * (j + 1) / jobs * rowPixels;
        expandAny(f.channels, end - first, dst + first * 4, makeLoad(f.data.data() + first * pixelBytes));
    });
}

}  // namespace

bool toFloatRgba(const NativeFrame& f, ofxhost::FloatImage* out) {
    if (f.width <= 0 || f.height <= 0 || f.channels <= 0 ||
        f.data.size() < static_cast<size_t>(f.width) * f.height * f.channels * sampleBytes(f.type)) {
        *out = ofxhost::FloatImage();
        return false;
    }
    const size_t n = static_cast<size_t>(f.width) * f.height;
    out->width = f.width;
    out->height = f.height;
    out->rgba.resize(n * 4);   // same size again: no fill, no allocation
    float* dst = out->rgba.data();
    switch (f.type) {
        case SampleType::U8: {
            // The product a table of i / 255 would hold, computed in place.
            expandInBands(f, dst, [](const uint8_t* src) {
                return [src](size_t i) { return static_cast<float>(src[i]) * (1.0f / 255.0f); };
            });
            break;
        }
        case SampleType::U16: {
            expandInBands(f, dst, [](const uint8_t* src) {
                return [src](size_t i) {
                    return static_cast<float>(sampleAt<uint16_t>(src, i)) * (1.0f / 65535.0f);
                };
            });
            break;
        }
        case SampleType::Half: {
            static const std::vector<float> table = [] {
                std::vector<float> t(65536);
                for (uint32_t i = 0; i < 65536; ++i) t[i] = ofxhost::halfToFloat(static_cast<uint16_t>(i));
                return t;
            }();
            const float* tab = table.data();
            expandInBands(f, dst, [tab](const uint8_t* src) {
                return [src, tab](size_t i) { return tab[sampleAt<uint16_t>(src, i)]; };
            });
            break;
        }
        case SampleType::Float: {
            expandInBands(f, dst, [](const uint8_t* src) {
                return [src](size_t i) { return sampleAt<float>(src, i); };
            });
            break;
        }
    }
    return true;
}

ofxhost::FloatImage toFloatRgba(const NativeFrame& f) {
    ofxhost::FloatImage out;
    toFloatRgba(f, &out);
    return out;
}

}  // namespace varnok
