#include "host/native_frame.h"

#include <cstring>

#include "host/image_buffer.h"

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

template <typename Load>
void expand(const NativeFrame& f, ofxhost::FloatImage& out, Load load) {
    const size_t n = static_cast<size_t>(f.width) * f.height;
    const int c = f.channels;
    const int sb = sampleBytes(f.type);
    const uint8_t* src = f.data.data();
    float* dst = out.rgba.data();
    for (size_t i = 0; i < n; ++i, src += c * sb, dst += 4) {
        if (c >= 3) {
            dst[0] = load(src);
            dst[1] = load(src + sb);
            dst[2] = load(src + 2 * sb);
            dst[3] = c >= 4 ? load(src + 3 * sb) : 1.0f;
        } else {
            dst[0] = dst[1] = dst[2] = load(src);
            dst[3] = c == 2 ? load(src + sb) : 1.0f;
        }
    }
}

}  // namespace

ofxhost::FloatImage toFloatRgba(const NativeFrame& f) {
    if (f.width <= 0 || f.height <= 0 || f.channels <= 0 ||
        f.data.size() < static_cast<size_t>(f.width) * f.height * f.channels * sampleBytes(f.type))
        return {};
    ofxhost::FloatImage out(f.width, f.height);
    switch (f.type) {
        case SampleType::U8: {
            // Tables: one load per sample instead of a conversion and a multiply.
            static const std::vector<float> table = [] {
                std::vector<float> t(256);
                for (int i = 0; i < 256; ++i) t[i] = i * (1.0f / 255.0f);
                return t;
            }();
            expand(f, out, [](const uint8_t* p) { return table[*p]; });
            break;
        }
        case SampleType::U16: {
            static const std::vector<float> table = [] {
                std::vector<float> t(65536);
                for (int i = 0; i < 65536; ++i) t[i] = i * (1.0f / 65535.0f);
                return t;
            }();
            expand(f, out, [](const uint8_t* p) {
                uint16_t v;
                std::memcpy(&v, p, 2);
                return table[v];
            });
            break;
        }
        case SampleType::Half:
            expand(f, out, [](const uint8_t* p) {
                uint16_t v;
                std::memcpy(&v, p, 2);
                return ofxhost::halfToFloat(v);
            });
            break;
        case SampleType::Float:
            expand(f, out, [](const uint8_t* p) {
                float v;
                std::memcpy(&v, p, 4);
                return v;
            });
            break;
    }
    return out;
}

}  // namespace varnok
