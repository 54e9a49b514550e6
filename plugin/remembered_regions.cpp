#include "plugin/remembered_regions.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <iterator>

#include "engine/int_conversion.h"

namespace ormel {
namespace {

// What one remembered frame costs, its map node included.
size_t entryBytes(const std::vector<Blob>& regions) { return 96 + regions.size() * sizeof(Blob); }

// Bit for bit, so a frame rendered twice is one entry and a different
// picture at the same time is told apart.
bool sameRegions(const std::vector<Blob>& a, const std::vector<Blob>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const Blob& p = a[i];
        const Blob& q = b[i];
        const int32_t pi[] = {p.id, p.area, p.minX, p.minY, p.maxX, p.maxY};
        const int32_t qi[] = {q.id, q.area, q.minX, q.minY, q.maxX, q.maxY};
        const float pf[] = {p.center.x, p.center.y, p.color.r, p.color.g, p.color.b, p.color.a, p.coverage};
        const float qf[] = {q.center.x, q.center.y, q.color.r, q.color.g, q.color.b, q.color.a, q.coverage};
        if (std::memcmp(pi, qi, sizeof pi) != 0 || std::memcmp(pf, qf, sizeof pf) != 0) return false;
    }
    return true;
}

// A render whose earlier render never finishes (a host that dropped it
// mid-way) goes on without it rather than hang.
constexpr std::chrono::seconds kLongestWait{20};

}  // namespace

RememberedRegions::Ticket RememberedRegions::begin(const std::string& key, double time, int32_t frames,
                                                   std::vector<FrameRegions>& earlier) {
    earlier.clear();
    Ticket ticket;
    if (key.empty() || frames < 1 || !std::isfinite(time)) return ticket;
    if (frames > maxFrames_) frames = maxFrames_;
    std::unique_lock<std::mutex> lock(mutex_);
    Stream& s = streams_[key];
    s.lastUse = ++clock_;
    if (s.started && (time < s.latest || time - s.latest > frames)) forget(s);
    s.started = true;
    s.latest = time;
    const double oldest = time - frames;
    auto busy = [&] {
        auto it = s.underway.lower_bound(oldest);
        return it != s.underway.end() && it->first < time;
    };
    // The system clock: a steady-clock wait needs pthread_cond_clockwait
    // (glibc 2.30), above the glibc the plug-in is built to load with. A
    // clock step only moves this safety limit.
    const auto until = std::chrono::system_clock::now() + kLongestWait;
    while (busy() && finished_.wait_until(lock, until) != std::cv_status::timeout) {
    }
    for (auto it = s.entries.lower_bound(oldest); it != s.entries.end() && it->first < time; ++it) {
        if (it->second.mixed) {
            earlier.clear();
            break;
        }
        earlier.push_back({saturateToInt32(std::round(it->first)), it->second.regions});
    }
    ++s.underway[time];
    ticket.key = key;
    ticket.time = time;
    ticket.generation = s.generation;
    ticket.open = true;
    return ticket;
}

void RememberedRegions::finish(Ticket& ticket, const std::vector<Blob>* regions) {
    if (!ticket.open) return;
    ticket.open = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = streams_.find(ticket.key);
        if (found == streams_.end()) return;
        Stream& s = found->second;
        auto u = s.underway.find(ticket.time);
        if (u != s.underway.end() && --u->second <= 0) s.underway.erase(u);
        if (regions != nullptr && ticket.generation == s.generation) {
            auto it = s.entries.find(ticket.time);
            if (it == s.entries.end()) {
                s.entries.emplace(ticket.time, Entry{*regions, false});
                bytes_ += entryBytes(*regions);
            } else if (!it->second.mixed && !sameRegions(it->second.regions, *regions)) {
                bytes_ -= entryBytes(it->second.regions);
                it->second.regions.clear();
                it->second.regions.shrink_to_fit();
                it->second.mixed = true;
                bytes_ += entryBytes(it->second.regions);
            }
            // Only the latest frames can still be asked for.
            while (!s.entries.empty() && s.entries.begin()->first < s.latest - maxFrames_) erase(s, s.entries.begin());
        }
        keepWithinBounds(ticket.key);
    }
    finished_.notify_all();
}

size_t RememberedRegions::bytes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return bytes_;
}

void RememberedRegions::erase(Stream& s, std::map<double, Entry>::iterator it) {
    bytes_ -= entryBytes(it->second.regions);
    s.entries.erase(it);
}

void RememberedRegions::forget(Stream& s) {
    while (!s.entries.empty()) erase(s, s.entries.begin());
    ++s.generation;
}

void RememberedRegions::keepWithinBounds(const std::string& current) {
    // The least recently used streams go first, whole; the current one
    // gives up its oldest frames only when it alone is over the bytes.
    auto leastUsed = [&]() {
        auto pick = streams_.end();
        for (auto it = streams_.begin(); it != streams_.end(); ++it)
            if (it->first != current && it->second.underway.empty() &&
                (pick == streams_.end() || it->second.lastUse < pick->second.lastUse))
                pick = it;
        return pick;
    };
    while (streams_.size() > maxStreams_ || bytes_ > maxBytes_) {
        auto victim = leastUsed();
        if (victim == streams_.end()) break;
        forget(victim->second);
        streams_.erase(victim);
    }
    auto cur = streams_.find(current);
    if (cur == streams_.end()) return;
    while (bytes_ > maxBytes_ && !cur->second.entries.empty()) erase(cur->second, cur->second.entries.begin());
}

}  // namespace ormel
