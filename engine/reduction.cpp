#include "engine/reduction.h"

#include <algorithm>
#include <vector>

#include "engine/image_checks.h"

namespace ormel {
namespace {

constexpr int32_t kLargestReduction = 16;

}  // namespace

int32_t detectionFactor(const Settings& settings) {
    return settings.detectionScale < 2 ? 1 : std::min(settings.detectionScale, kLargestReduction);
}

int32_t reducedExtent(int32_t size, int32_t factor) {
    const uint32_t f = static_cast<uint32_t>(factor);
    return static_cast<int32_t>(std::max<uint32_t>(1, (static_cast<uint32_t>(size) + f - 1) / f));
}

int32_t nearestSourceIndex(int32_t i, int32_t factor, int32_t size) {
    const int64_t half = factor / 2;
    return static_cast<int32_t>(
        std::max<int64_t>(0, std::min<int64_t>(half + static_cast<int64_t>(factor) * i, size - 1)));
}

Image downsampleNearest(const Image& image, int32_t factor) {
    Image out;
    downsampleNearestInto(image, factor, out, RowBands::single());
    return out;
}

void downsampleNearestInto(const Image& image, int32_t factor, Image& out, const RowBands& bands) {
    if (!isUsableImage(image)) {
        out = image;
        return;
    }
    const int32_t outW = reducedExtent(image.width, factor);
    const int32_t outH = reducedExtent(image.height, factor);
    out.width = outW;
    out.height = outH;
    out.pixels.resize(static_cast<size_t>(outW) * static_cast<size_t>(outH));
    // The source columns are the same for every row.
    std::vector<int32_t> columns(static_cast<size_t>(outW));
    for (int32_t x = 0; x < outW; ++x) columns[static_cast<size_t>(x)] = nearestSourceIndex(x, factor, image.width);
    bands.forEachBand(outH, [&](Band band) {
        for (int32_t y = band.begin; y < band.end; ++y) {
            const Pixel* row = image.pixels.data() +
                               static_cast<size_t>(nearestSourceIndex(y, factor, image.height)) * static_cast<size_t>(image.width);
            Pixel* dst = out.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(outW);
            for (int32_t x = 0; x < outW; ++x) dst[x] = row[columns[static_cast<size_t>(x)]];
        }
    });
}

Settings reducedSettings(const Settings& settings, int32_t requestedFactor) {
    const int32_t factor = std::clamp(requestedFactor, 1, kLargestReduction);
    Settings s = settings;
    const int64_t f = factor;
    const int64_t f2 = f * f;
    s.blurRadius = std::max<int32_t>(0, settings.blurRadius / factor);
    const int64_t minArea = settings.minBlobArea;
    // Ceiling division; non-positive minimums end at the floor of 1 anyway.
    const int64_t reducedMin = minArea > 0 ? (minArea + f2 - 1) / f2 : 0;
    s.minBlobArea = static_cast<int32_t>(std::max<int64_t>(1, reducedMin));
    s.maxBlobArea = std::max<int32_t>(s.minBlobArea, static_cast<int32_t>(settings.maxBlobArea / f2));
    s.trackingDistance = settings.trackingDistance / static_cast<float>(factor);
    s.detectionScale = 1;
    return s;
}

Settings detectionSettings(const Settings& settings) {
    const int32_t factor = detectionFactor(settings);
    return factor == 1 ? settings : reducedSettings(settings, factor);
}

}  // namespace ormel
