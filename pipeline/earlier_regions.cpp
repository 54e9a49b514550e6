#include "pipeline/earlier_regions.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "engine/image_checks.h"
#include "engine/reduction.h"
#include "pipeline/process_frame.h"

namespace ormel {

EarlierFrame SampleFrames::fetch(int32_t offset, Image& spare) {
    EarlierFrame f;
    if (offset < 1 || static_cast<size_t>(offset) > samples_.size()) return f;
    const FrameSample& s = samples_[samples_.size() - static_cast<size_t>(offset)];
    f.frame = s.frame;
    if (factor_ == 1) {
        f.kind = EarlierFrame::Kind::Picture;
        f.picture = &s.image;
    } else if (isUsableImage(s.image)) {
        downsampleNearestInto(s.image, factor_, spare, bands_);
        f.kind = EarlierFrame::Kind::Picture;
        f.picture = &spare;
    }
    return f;
}

void collectEarlierRegions(EarlierFrames& frames, int32_t count, int32_t width, int32_t height,
                           const Settings& settings, const RowBands& bands, std::deque<Image>& spares,
                           std::vector<FrameRegions>& earlier) {
    earlier.clear();
    if (count < 1 || width <= 0 || height <= 0) return;
    earlier.reserve(static_cast<size_t>(count));
    const size_t budget = std::max<size_t>(1, static_cast<size_t>(width) * static_cast<size_t>(height) / 4);
    struct Pending {
        size_t slot;  // into `earlier`
        int32_t offset;
        const Image* picture;
    };
    std::vector<Pending> pending;
    size_t waiting = 0;
    auto detectPending = [&] {
        const int32_t n = static_cast<int32_t>(pending.size());
        auto detectOne = [&](int32_t i, const RowBands& rows) {
            const Pending& p = pending[static_cast<size_t>(i)];
            earlier[p.slot].regions = detectEarlierRegions(*p.picture, settings, rows);
        };
        if (n == 1 || !bands.runJobs) {
            for (int32_t i = 0; i < n; ++i) detectOne(i, bands);
        } else {
            bands.runJobs(n, [&](int32_t i) { detectOne(i, RowBands::single()); });
        }
        for (const Pending& p : pending) frames.detected(p.offset, earlier[p.slot].regions);
        pending.clear();
        waiting = 0;
    };

    for (int32_t offset = count; offset >= 1; --offset) {
        // A deque: the pictures already waiting stay where they are.
        if (spares.size() <= pending.size()) spares.emplace_back();
        EarlierFrame f = frames.fetch(offset, spares[pending.size()]);
        if (f.kind == EarlierFrame::Kind::Missing) continue;
        earlier.push_back({f.frame, std::move(f.regions)});
        if (f.kind == EarlierFrame::Kind::Regions) continue;
        pending.push_back({earlier.size() - 1, offset, f.picture});
        waiting += f.picture->pixels.size();
        if (waiting + f.picture->pixels.size() > budget) detectPending();
    }
    detectPending();
}

}  // namespace ormel
