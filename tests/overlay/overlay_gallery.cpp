// Renders a synthetic scene with each overlay layer on its own, and all of
// them together, and writes the pictures as PNG files for a look by eye:
//   overlay_gallery [output folder]
#include <OpenImageIO/imageio.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/types.h"
#include "overlay/render_overlay.h"

namespace {

using ormel::Image;
using ormel::Pixel;
using ormel::Settings;
using ormel::Track;
using ormel::Vec2;

constexpr int32_t kWidth = 480;
constexpr int32_t kHeight = 270;

// Dark gradient with red discs where the tracked objects are.
Image sourcePicture(const std::vector<Track>& tracks) {
    Image img(kWidth, kHeight);
    for (int32_t y = 0; y < kHeight; ++y) {
        for (int32_t x = 0; x < kWidth; ++x) {
            const float checker = ((x / 24 + y / 24) % 2) ? 0.04f : 0.0f;
            img.at(x, y) = {0.06f + 0.10f * x / kWidth + checker, 0.08f + checker,
                            0.14f + 0.12f * y / kHeight + checker, 1.0f};
        }
    }
    for (const Track& t : tracks) {
        const float r = std::sqrt(static_cast<float>(t.blob.area) / 3.1415927f);
        for (int32_t y = t.blob.minY; y < t.blob.maxY; ++y) {
            for (int32_t x = t.blob.minX; x < t.blob.maxX; ++x) {
                if (x < 0 || y < 0 || x >= kWidth || y >= kHeight) continue;
                const float dx = x - t.blob.center.x, dy = y - t.blob.center.y;
                if (dx * dx + dy * dy <= r * r) img.at(x, y) = {0.95f, 0.1f + 0.3f * (x % 5 == 0), 0.08f, 1.0f};
            }
        }
    }
    return img;
}

std::vector<Track> scene() {
    std::vector<Track> tracks;
    const float xs[] = {60, 140, 205, 290, 350, 420, 110, 250, 390};
    const float ys[] = {70, 50, 120, 80, 170, 60, 200, 215, 230};
    const float radii[] = {9, 6, 12, 7, 10, 5, 8, 11, 6};
    for (int32_t i = 0; i < 9; ++i) {
        Track t;
        t.id = i + 1;
        t.blob.id = t.id;
        const float r = radii[i];
        t.blob.area = static_cast<int32_t>(3.1415927f * r * r);
        t.blob.center = {xs[i], ys[i]};
        t.blob.minX = static_cast<int32_t>(xs[i] - r);
        t.blob.maxX = static_cast<int32_t>(xs[i] + r) + 1;
        t.blob.minY = static_cast<int32_t>(ys[i] - r);
        t.blob.maxY = static_cast<int32_t>(ys[i] + r) + 1;
        for (int32_t k = 8; k >= 0; --k) {
            const float a = 0.35f * k + i;
            t.trail.push_back({xs[i] - 5.0f * k * std::cos(a * 0.4f), ys[i] + 4.0f * k * std::sin(a * 0.3f)});
        }
        t.speed = 3.0f + i;
        tracks.push_back(t);
    }
    return tracks;
}

Settings nothingDrawn() {
    Settings s;
    s.hudScale = 1.0f;
    s.drawPoints = s.drawBoxes = s.drawLines = s.drawTrails = s.drawLabels = false;
    return s;
}

bool writePng(const std::string& path, const Image& img) {
    auto out = OIIO::ImageOutput::create(path);
    if (!out) return false;
    const OIIO::ImageSpec spec(img.width, img.height, 4, OIIO::TypeDesc::UINT8);
    if (!out->open(path, spec)) return false;
    std::vector<float> data;
    data.reserve(img.pixels.size() * 4);
    for (const Pixel& p : img.pixels) {
        data.push_back(p.r);
        data.push_back(p.g);
        data.push_back(p.b);
        data.push_back(p.a);
    }
    const bool ok = out->write_image(OIIO::TypeDesc::FLOAT, data.data());
    return out->close() && ok;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : ".";
    const std::vector<Track> tracks = scene();
    const Image src = sourcePicture(tracks);

    struct Plate {
        std::string name;
        Settings settings;
    };
    std::vector<Plate> plates;

    Settings points = nothingDrawn();
    points.drawPoints = true;
    plates.push_back({"points", points});

    Settings shapes = points;
    shapes.pointShape = ormel::PointShape::Square;
    shapes.pointFill = true;
    shapes.randomPointSize = true;
    shapes.pointSizeMin = 5.0f;
    shapes.pointSizeMax = 14.0f;
    plates.push_back({"points-squares", shapes});

    Settings trails = nothingDrawn();
    trails.drawTrails = true;
    trails.temporalFrames = 8;
    trails.trailWidth = 2.0f;
    trails.trailOpacity = 0.8f;
    plates.push_back({"trails", trails});

    Settings lines = nothingDrawn();
    lines.drawLines = true;
    lines.connectionMode = ormel::ConnectionMode::Mst;
    lines.lineCurveMode = ormel::LineCurve::Arc;
    lines.lineCurveAmount = 14.0f;
    lines.lineMotif = ormel::LineMotif::Arrow;
    lines.motifSpacing = 40.0f;
    lines.motifSize = 8.0f;
    plates.push_back({"lines", lines});

    Settings dashed = lines;
    dashed.connectionMode = ormel::ConnectionMode::Complete;
    dashed.maxConnectionDistance = 170.0f;
    dashed.lineCurveMode = ormel::LineCurve::Organic;
    dashed.lineMotif = ormel::LineMotif::Dot;
    dashed.dashLength = 5.0f;
    plates.push_back({"lines-complete-dashed", dashed});

    Settings boxes = nothingDrawn();
    boxes.drawBoxes = true;
    boxes.drawBoxText = true;
    boxes.boxTextScale = 1;
    plates.push_back({"boxes", boxes});

    Settings labels = nothingDrawn();
    labels.drawLabels = true;
    labels.labelScale = 1;
    labels.labelOffsetX = 10;
    labels.labelOffsetY = -12;
    labels.labelTextMode = ormel::LabelText::FullTracking;
    plates.push_back({"labels", labels});

    Settings effects = nothingDrawn();
    effects.magnifierEnable = true;
    effects.magnifierIntensity = 0.7f;
    effects.magnifierRandom = false;
    effects.magnifierRadiusScale = 2.5f;
    effects.pointInvertEnable = true;
    effects.pointInvertIntensity = 1.0f;
    effects.pointFlashEnable = true;
    effects.pointFlashIntensity = 0.9f;
    effects.pointFlashGlow = 0.5f;
    effects.pointSize = 12.0f;
    plates.push_back({"effects", effects});

    Settings all;
    all.hudScale = 1.0f;
    all.temporalFrames = 8;
    all.drawBoxText = true;
    all.boxTextScale = 1;
    all.labelScale = 1;
    all.labelOffsetX = 8;
    all.labelOffsetY = -14;
    all.lineCurveMode = ormel::LineCurve::Arc;
    all.lineCurveAmount = 10.0f;
    all.lineMotif = ormel::LineMotif::Chevron;
    all.motifSpacing = 50.0f;
    all.motifSize = 7.0f;
    all.pointFlashEnable = true;
    all.pointFlashIntensity = 0.8f;
    plates.push_back({"all", all});

    int failures = 0;
    for (const Plate& plate : plates) {
        Image out = src;
        ormel::renderOverlay(out, src, tracks, plate.settings);
        const std::string path = folder + "/overlay-" + plate.name + ".png";
        if (!writePng(path, out)) {
            std::fprintf(stderr, "could not write %s\n", path.c_str());
            ++failures;
        } else {
            std::printf("%s\n", path.c_str());
        }
    }
    return failures == 0 ? 0 : 1;
}
