// Reads typed values off the front of a fuzzer's input; past the end every
// read gives zero, so any input, even an empty one, is a complete case.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace varnok_fuzz {

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : p_(data), left_(size) {}

    uint8_t byte() {
        if (left_ == 0) return 0;
        --left_;
        return *p_++;
    }
    // An integer in [lo, hi].
    int range(int lo, int hi) {
        const uint32_t span = static_cast<uint32_t>(hi - lo) + 1u;
        const uint32_t v = static_cast<uint32_t>(byte()) | static_cast<uint32_t>(byte()) << 8;
        return lo + static_cast<int>(v % span);
    }
    bool flag() { return (byte() & 1) != 0; }
    // A fraction in [0, 1].
    double unit() { return static_cast<double>(range(0, 65535)) / 65535.0; }
    // Any double bit pattern: NaN, infinities and denormals included.
    double anyDouble() {
        uint64_t bits = 0;
        for (int i = 0; i < 8; ++i) bits |= static_cast<uint64_t>(byte()) << (8 * i);
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }
    // Text up to the next NUL byte (or the end), at most `maxLen` bytes.
    std::string text(size_t maxLen) {
        std::string s;
        while (left_ > 0 && s.size() < maxLen) {
            const char c = static_cast<char>(byte());
            if (c == '\0') break;
            s.push_back(c);
        }
        return s;
    }
    std::string rest() {
        std::string s(reinterpret_cast<const char*>(p_), left_);
        p_ += left_;
        left_ = 0;
        return s;
    }
    size_t left() const { return left_; }

private:
    const uint8_t* p_;
    size_t left_;
};

}  // namespace varnok_fuzz
