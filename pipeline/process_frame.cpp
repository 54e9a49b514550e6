#include "pipeline/process_frame.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <utility>

#include "pipeline/composite_layer.h"
#include "pipeline/earlier_regions.h"
#include "engine/detection.h"
#include "engine/image_checks.h"
#include "engine/int_conversion.h"
#include "engine/picture_rows.h"
#include "engine/pixel_ops.h"
#include "engine/reduction.h"
#include "engine/tracks.h"
#include "overlay/render_overlay.h"
#include "treatments/pixel_sort.h"
#include "treatments/post_effects.h"
#include "treatments/radial_blur.h"

namespace ormel {
namespace {

constexpr float kRadialBlurThreshold = 0.001f;

struct Rescale {
    float sx = 1.0f;
    float sy = 1.0f;
};

Blob scaleBlob(Blob b, Rescale k) {
    b.area = roundToInt32(static_cast<float>(b.area) * k.sx * k.sy);
    b.minX = floorToInt32(static_cast<float>(b.minX) * k.sx);
    b.minY = floorToInt32(static_cast<float>(b.minY) * k.sy);
    b.maxX = ceilToInt32(static_cast<float>(b.maxX) * k.sx);
    b.maxY = ceilToInt32(static_cast<float>(b.maxY) * k.sy);
    b.center = {b.center.x * k.sx, b.center.y * k.sy};
    return b;
}

Track scaleTrack(Track t, Rescale k) {
    t.blob = scaleBlob(t.blob, k);
    for (Vec2& p : t.trail) {
        p = {p.x * k.sx, p.y * k.sy};
    }
    t.speed *= (k.sx + k.sy) * 0.5f;
    return t;
}

// Nearest-neighbour enlargement of the reduced mask to the full frame.
std::vector<float> enlargeMask(const std::vector<float>& small, int32_t smallW, int32_t smallH, int32_t width,
                               int32_t height, const RowBands& bands) {
    std::vector<float> mask(static_cast<size_t>(width) * static_cast<size_t>(height), 0.0f);
    if (smallW < 1 || smallH < 1 || width < 1 || height < 1 ||
        small.size() != static_cast<size_t>(smallW) * static_cast<size_t>(smallH)) {
        return mask;
    }
    std::vector<size_t> column(static_cast<size_t>(width));
    for (int64_t x = 0; x < width; ++x) {
        column[static_cast<size_t>(x)] = static_cast<size_t>(std::min<int64_t>(x * smallW / width, smallW - 1));
    }
    bands.forEachBand(height, [&](Band band) {
    for (int64_t y = band.begin; y < band.end; ++y) {
        const int64_t row = std::min<int64_t>(y * smallH / height, smallH - 1);
        const float* src = small.data() + static_cast<size_t>(row) * static_cast<size_t>(smallW);
        float* dst = mask.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
        for (int32_t x = 0; x < width; ++x) {
            dst[x] = src[column[static_cast<size_t>(x)]];
        }
    }
    });
    return mask;
}

// The current frame's regions found on the reduced picture (at `small`
// settings), brought back to the full frame and tracked.
void trackReducedRegions(const std::vector<Blob>& reducedBlobs, Rescale back, const std::vector<FrameRegions>& earlier,
                         const Settings& settings, const Settings& small, TraceResult& result) {
    result.blobs.reserve(reducedBlobs.size());
    for (const Blob& b : reducedBlobs) {
        result.blobs.push_back(scaleBlob(b, back));
    }
    if (earlier.empty() || settings.temporalFrames < 1) {
        // Identities and trails come from the full-frame regions alone.
        result.tracks = buildTracksFromRegions({}, result.blobs, settings);
        return;
    }
    std::vector<Track> tracks = buildTracksFromRegions(earlier, reducedBlobs, small);
    result.tracks.reserve(tracks.size());
    for (Track& t : tracks) {
        result.tracks.push_back(scaleTrack(std::move(t), back));
    }
}

// Detects in the current frame at the detection resolution and replays the
// earlier frames' regions; everything comes back in full-frame pixels.
void detectAndTrack(const Image& source, const std::vector<FrameRegions>& earlier, const Settings& settings,
                    TraceResult& result, const RowBands& bands, Image& reduced, std::vector<Blob>& regions) {
    const int32_t factor = detectionFactor(settings);
    if (factor == 1) {
        result.blobs = detectBlobs(source, settings, &result.mask, bands);
        result.tracks = buildTracksFromRegions(earlier, result.blobs, settings);
        regions = result.blobs;
        return;
    }
    downsampleNearestInto(source, factor, reduced, bands);
    const Settings small = reducedSettings(settings, factor);
    const Rescale back{static_cast<float>(source.width) / static_cast<float>(reduced.width),
                       static_cast<float>(source.height) / static_cast<float>(reduced.height)};
    const bool matte = settings.outputMode == OutputMode::Matte;

    std::vector<float> reducedMask;
    const std::vector<Blob> reducedBlobs = detectBlobs(reduced, small, matte ? &reducedMask : nullptr, bands);
    if (matte) {
        result.mask = enlargeMask(reducedMask, reduced.width, reduced.height, source.width, source.height, bands);
    }
    trackReducedRegions(reducedBlobs, back, earlier, settings, small, result);
    regions = reducedBlobs;
}

// The picture the overlay is drawn on: the source at its opacity, a clear
// picture, or the matte as grey with the mask as alpha. Written into `out`,
// reusing its memory.
void basePicture(const Image& source, const std::vector<float>& mask, const Settings& settings, Image& out,
                 const RowBands& bands) {
    if (!isUsableImage(source)) {
        out = Image{};
        return;
    }
    out.width = source.width;
    out.height = source.height;
    const size_t width = static_cast<size_t>(source.width);
    // Sized first (a no-op when the memory is reused), then filled band by
    // band: a whole-frame pass on one thread would hold every other one up.
    out.pixels.resize(source.pixels.size());
    if (settings.outputMode == OutputMode::OverlayOnly) {
        bands.forEachBand(source.height, [&](Band band) {
            std::fill(out.pixels.begin() + static_cast<std::ptrdiff_t>(band.begin * width),
                      out.pixels.begin() + static_cast<std::ptrdiff_t>(band.end * width), Pixel{0.0f, 0.0f, 0.0f, 0.0f});
        });
        return;
    }
    if (settings.outputMode == OutputMode::Matte) {
        const bool haveMask = mask.size() == source.pixels.size();
        bands.forEachBand(source.height, [&](Band band) {
            for (size_t i = band.begin * width; i < band.end * width; ++i) {
                const float m = haveMask ? mask[i] : 0.0f;
                out.pixels[i] = Pixel{m, m, m, m};
            }
        });
        return;
    }
    const float o = clamp01(settings.sourceOpacity);
    if (o == 1.0f) {
        bands.forEachBand(source.height, [&](Band band) {
            std::memcpy(static_cast<void*>(out.pixels.data() + band.begin * width), source.pixels.data() + band.begin * width,
                        (band.end - band.begin) * width * sizeof(Pixel));
        });
        return;
    }
    bands.forEachBand(source.height, [&](Band band) {
        for (size_t i = band.begin * width; i < band.end * width; ++i) {
            const Pixel& p = source.pixels[i];
            out.pixels[i] = Pixel{p.r * o, p.g * o, p.b * o, p.a * o};
        }
    });
}

// The treatment chain at `chain`, then the pixel sort at `settings` when
// `sort`; with `out`, the finished picture goes there, written by the chain's
// last pass itself unless the sort comes after it.
void treatAndFinish(Image& picture, PostStages stages, bool sort, const Settings& settings,
                    const RowBands& bands, FrameScratch& scratch, const PictureRows* out) {
    if (out != nullptr && !sort) {
        applyPostEffectsInto(picture, settings, bands, *out, stages);
        return;
    }
    applyPostEffects(picture, settings, bands, stages);
    if (sort) {
        applyPixelSort(picture, settings, bands, scratch.sort);
    }
    if (out != nullptr) copyToPictureRows(picture, *out, bands);
}

// The radial blur and an overlay-only pixel sort must not touch the source, so
// the overlay then goes on a layer of its own that is treated and laid over.
// With `out`, the finished picture goes there and `picture` means nothing after.
void drawOverlayAndTreat(Image& picture, const Image& source, const std::vector<Track>& tracks,
                         const Settings& settings, const RowBands& bands, FrameScratch& scratch,
                         const PictureRows* out) {
    const bool sortOverlayOnly = settings.pixelSortEnable && settings.pixelSortScope == SortScope::OverlayOnly;
    const bool separateLayer = settings.outputMode == OutputMode::OriginalAndOverlay &&
                               (settings.radialBlur > kRadialBlurThreshold || sortOverlayOnly);
    if (!separateLayer) {
        renderOverlay(picture, source, tracks, settings, bands);
        treatAndFinish(picture, PostStages{}, settings.pixelSortEnable, settings, bands, scratch, out);
        return;
    }
    Image& layer = scratch.layer;
    layer.width = picture.width;
    layer.height = picture.height;
    layer.pixels.resize(picture.pixels.size());
    const size_t width = static_cast<size_t>(picture.width);
    bands.forEachBand(picture.height, [&](Band band) {
        std::fill(layer.pixels.begin() + static_cast<std::ptrdiff_t>(band.begin * width),
                  layer.pixels.begin() + static_cast<std::ptrdiff_t>(band.end * width), Pixel{0.0f, 0.0f, 0.0f, 0.0f});
    });
    renderOverlay(layer, source, tracks, settings, bands);
    applyRadialBlur(layer, settings, bands);
    if (sortOverlayOnly) {
        applyPixelSort(layer, settings, bands, scratch.sort);
    }
    compositeLayer(picture, layer, bands);
    // The layer has had the radial blur; the whole picture gets the rest of the chain.
    PostStages stages;
    stages.radialBlur = false;
    const bool sortWhole = settings.pixelSortEnable && settings.pixelSortScope == SortScope::WholePicture;
    treatAndFinish(picture, stages, sortWhole, settings, bands, scratch, out);
}

// processFrameInto, with the finished picture in `out` when given.
void processInto(const Image& source, const std::vector<FrameRegions>& earlier, const Settings& settings,
                 TraceResult& result, const RowBands& bands, FrameScratch& scratch, const PictureRows* out) {
    result.blobs.clear();
    result.tracks.clear();
    result.mask.clear();
    if (!isUsableImage(source)) {
        result.image = Image{};
        return;
    }
    detectAndTrack(source, earlier, settings, result, bands, scratch.reduced, scratch.regions);
    basePicture(source, result.mask, settings, result.image, bands);
    if (settings.outputMode != OutputMode::Matte) {
        drawOverlayAndTreat(result.image, source, result.tracks, settings, bands, scratch, out);
    } else if (out != nullptr) {
        copyToPictureRows(result.image, *out, bands);
    }
}

// processFrameConsuming, with the finished picture in `out` when given.
void processConsuming(Image& source, const std::vector<FrameRegions>& earlier, const Settings& settings,
                      TraceResult& result, const RowBands& bands, FrameScratch& scratch, const PictureRows* out) {
    // The base picture would be an exact copy, and the point effects are
    // the only marks that sample the source after it is drawn on.
    const bool drawOnSource = settings.outputMode == OutputMode::OriginalAndOverlay && clamp01(settings.sourceOpacity) == 1.0f &&
                              !settings.magnifierEnable && !settings.pointInvertEnable;
    if (!drawOnSource || !isUsableImage(source)) {
        processInto(source, earlier, settings, result, bands, scratch, out);
        return;
    }
    result.blobs.clear();
    result.tracks.clear();
    result.mask.clear();
    detectAndTrack(source, earlier, settings, result, bands, scratch.reduced, scratch.regions);
    std::swap(result.image, source);
    drawOverlayAndTreat(result.image, result.image, result.tracks, settings, bands, scratch, out);
}

}  // namespace

std::vector<Blob> detectEarlierRegions(const Image& reducedFrame, const Settings& settings, const RowBands& bands) {
    return detectBlobs(reducedFrame, detectionSettings(settings), nullptr, bands);
}

TraceResult processFrame(const Image& source, const std::vector<FrameSample>& samples, const Settings& settings,
                         const RowBands& bands) {
    std::vector<FrameRegions> earlier;
    if (isUsableImage(source) && settings.temporalFrames >= 1) {
        SampleFrames frames(samples, detectionFactor(settings), bands);
        std::deque<Image> spares;
        collectEarlierRegions(frames, static_cast<int32_t>(samples.size()), source.width, source.height, settings,
                              bands, spares, earlier);
    }
    TraceResult result;
    FrameScratch scratch;
    processInto(source, earlier, settings, result, bands, scratch, nullptr);
    return result;
}

void processFrameInto(const Image& source, const std::vector<FrameRegions>& earlier, const Settings& settings,
                      TraceResult& result, const RowBands& bands, FrameScratch& scratch) {
    processInto(source, earlier, settings, result, bands, scratch, nullptr);
}

bool processFrameConsuming(Image& source, const std::vector<FrameRegions>& earlier, const Settings& settings,
                           TraceResult& result, const RowBands& bands, FrameScratch& scratch,
                           const PictureRows* out) {
    const bool fits = out != nullptr && isUsableImage(source) && out->fits(source);
    processConsuming(source, earlier, settings, result, bands, scratch, fits ? out : nullptr);
    return fits;
}

TraceResult trackDetectedRegions(const std::vector<Blob>& regions, int32_t width, int32_t height,
                                 const std::vector<FrameRegions>& earlier, const Settings& settings) {
    TraceResult result;
    if (width < 1 || height < 1) return result;
    const int32_t factor = detectionFactor(settings);
    if (factor == 1) {
        result.blobs = regions;
        result.tracks = buildTracksFromRegions(earlier, result.blobs, settings);
        return result;
    }
    const Rescale back{static_cast<float>(width) / static_cast<float>(reducedExtent(width, factor)),
                       static_cast<float>(height) / static_cast<float>(reducedExtent(height, factor))};
    trackReducedRegions(regions, back, earlier, settings, reducedSettings(settings, factor), result);
    return result;
}

}  // namespace ormel
