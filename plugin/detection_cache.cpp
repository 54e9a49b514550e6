#include "plugin/detection_cache.h"

#include <cstring>
#include <type_traits>
#include <utility>
#include <variant>

#include "catalogue/param_catalogue.h"

namespace ormel {
namespace {

template <typename T>
void appendBits(std::string& key, const T& v) {
    char bytes[sizeof(T)];
    std::memcpy(bytes, &v, sizeof(T));
    key.append(bytes, sizeof(T));
}

}  // namespace

std::string detectionKey(const std::string& imageLabel, int32_t width, int32_t height, int32_t factor,
                         const Settings& s) {
    if (imageLabel.empty()) return std::string();
    std::string key = imageLabel;
    key.push_back('\0');
    for (int32_t v : {width, height, factor}) appendBits(key, v);
    // Every field detection reads, each at a fixed place and width.
    for (const ParamSpec& p : paramTable()) {
        if (!p.detection) continue;
        std::visit(
            [&](auto member) {
                if constexpr (!std::is_same_v<decltype(member), std::monostate>) appendBits(key, s.*member);
            },
            p.field);
    }
    return key;
}

bool DetectionCache::find(const std::string& key, std::vector<Blob>* regions) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = index_.find(key);
    if (key.empty() || it == index_.end()) {
        ++misses_;
        return false;
    }
    entries_.splice(entries_.begin(), entries_, it->second);
    *regions = it->second->regions;
    ++hits_;
    return true;
}

void DetectionCache::store(const std::string& key, std::vector<Blob> regions) {
    if (key.empty()) return;
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = index_.find(key);
    if (it != index_.end()) {
        it->second->regions = std::move(regions);
        entries_.splice(entries_.begin(), entries_, it->second);
        return;
    }
    entries_.push_front(Entry{key, std::move(regions)});
    index_[key] = entries_.begin();
    while (entries_.size() > capacity_) {
        index_.erase(entries_.back().key);
        entries_.pop_back();
    }
}

void DetectionCache::reserve(size_t entries) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (entries > capacity_) capacity_ = entries;
}

void DetectionCache::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.clear();
    index_.clear();
}

size_t DetectionCache::size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_.size();
}

uint64_t DetectionCache::hits() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return hits_;
}

uint64_t DetectionCache::misses() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return misses_;
}

}  // namespace ormel
