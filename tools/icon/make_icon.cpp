// The effect's icon: three tracked regions with their trails, the lines that
// join them and a box with its caption, drawn by the overlay renderer itself
// over a dark field, written as an 8-bit RGBA PNG.
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

constexpr int32_t kSize = 128;

struct Spot {
    float x, y, radius, heading;
};

std::vector<Track> tracks() {
    const Spot spots[] = {{34, 40, 7, 0.6f}, {92, 30, 5, 2.4f}, {70, 94, 9, 4.2f}};
    std::vector<Track> all;
    for (int32_t i = 0; i < 3; ++i) {
        const Spot& s = spots[i];
        Track t;
        t.id = i + 1;
        t.blob.id = t.id;
        t.blob.area = static_cast<int32_t>(3.1415927f * s.radius * s.radius);
        t.blob.center = {s.x, s.y};
        t.blob.minX = static_cast<int32_t>(s.x - s.radius);
        t.blob.maxX = static_cast<int32_t>(s.x + s.radius) + 1;
        t.blob.minY = static_cast<int32_t>(s.y - s.radius);
        t.blob.maxY = static_cast<int32_t>(s.y + s.radius) + 1;
        // A gently bending path behind each region, oldest point first.
        for (int32_t k = 6; k >= 0; --k) {
            const float a = s.heading + 0.12f * k;
            t.trail.push_back({s.x - 4.0f * k * std::cos(a), s.y - 4.0f * k * std::sin(a)});
        }
        t.speed = 4.0f;
        all.push_back(t);
    }
    return all;
}

// Near-black blue field with the tracked regions as red discs.
Image field(const std::vector<Track>& all) {
    Image img(kSize, kSize);
    for (int32_t y = 0; y < kSize; ++y)
        for (int32_t x = 0; x < kSize; ++x)
            img.at(x, y) = {0.03f, 0.05f + 0.05f * y / kSize, 0.09f + 0.08f * y / kSize, 1.0f};
    for (const Track& t : all) {
        const float r = std::sqrt(static_cast<float>(t.blob.area) / 3.1415927f);
        for (int32_t y = t.blob.minY; y < t.blob.maxY; ++y)
            for (int32_t x = t.blob.minX; x < t.blob.maxX; ++x) {
                const float dx = x + 0.5f - t.blob.center.x, dy = y + 0.5f - t.blob.center.y;
                if (x >= 0 && y >= 0 && x < kSize && y < kSize && dx * dx + dy * dy <= r * r)
                    img.at(x, y) = {0.95f, 0.12f, 0.08f, 1.0f};
            }
    }
    return img;
}

Settings look() {
    Settings s;
    s.hudScale = 1.0f;
    s.drawPoints = true;
    s.drawTrails = true;
    s.drawLines = true;
    s.drawBoxes = true;
    s.drawLabels = false;
    s.drawBoxText = false;
    s.temporalFrames = 7;
    s.trailWidth = 2.0f;
    s.trailOpacity = 0.85f;
    s.connectionMode = ormel::ConnectionMode::Mst;
    s.lineCurveMode = ormel::LineCurve::Arc;
    s.lineMotif = ormel::LineMotif::None;
    s.lineCurveAmount = 8.0f;
    s.pointSize = 4.0f;
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
    if (argc != 2) {
        std::fprintf(stderr, "usage: varnok_icon OUT.png\n");
        return 2;
    }
    const std::vector<Track> all = tracks();
    const Image src = field(all);
    Image out = src;
    ormel::renderOverlay(out, src, all, look());
    if (!writePng(argv[1], out)) {
        std::fprintf(stderr, "varnok_icon: cannot write %s: %s\n", argv[1], OIIO::geterror().c_str());
        return 1;
    }
    return 0;
}
