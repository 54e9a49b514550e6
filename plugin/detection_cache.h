// The regions detected in earlier frames, remembered per effect instance by
// the host's label for each image (kOfxImagePropUniqueIdentifier), so a
// sequential render detects each frame once instead of once per later frame.
// A label is only trusted together with everything detection reads: the
// frame size, the reduction factor and the detection settings are part of
// the key. Bounded, least recently used first out; safe to share between
// threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/types.h"

namespace ormel {

// The key of one image's regions: its label plus the frame size, factor and
// the exact bits of every setting detection reads. Empty when there is no
// label, which is never cached.
std::string detectionKey(const std::string& imageLabel, int32_t width, int32_t height, int32_t factor,
                         const Settings& settings);

class DetectionCache {
public:
    explicit DetectionCache(size_t capacity = 256) : capacity_(capacity) {}

    // True, with `regions` filled, when the key is known.
    bool find(const std::string& key, std::vector<Blob>* regions);
    void store(const std::string& key, std::vector<Blob> regions);
    // At least `entries` are kept from now on (a few times the frames asked for).
    void reserve(size_t entries);
    // Forgets every entry.
    void clear();

    size_t size() const;
    uint64_t hits() const;
    uint64_t misses() const;

private:
    struct Entry {
        std::string key;
        std::vector<Blob> regions;
    };
    mutable std::mutex mutex_;
    std::list<Entry> entries_;   // most recently used first
    std::unordered_map<std::string, std::list<Entry>::iterator> index_;
    size_t capacity_;
    uint64_t hits_ = 0, misses_ = 0;
};

}  // namespace ormel
