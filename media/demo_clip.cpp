#include "media/demo_clip.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace varnok {

namespace {

float hashUnit(uint32_t x, uint32_t y, uint32_t salt) {
    uint32_t h = x * 0x8da6b343u ^ y * 0xd8163841u ^ salt * 0xcb1ab31fu;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return static_cast<float>(h & 0xffffffu) / 16777216.0f;
}

// Smoothly interpolated lattice noise, for a concrete-like texture.
float valueNoise(float x, float y, uint32_t salt) {
    const float fx = std::floor(x), fy = std::floor(y);
    const auto ix = static_cast<uint32_t>(static_cast<int32_t>(fx)), iy = static_cast<uint32_t>(static_cast<int32_t>(fy));
    float tx = x - fx, ty = y - fy;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    const float a = hashUnit(ix, iy, salt), b = hashUnit(ix + 1, iy, salt);
    const float c = hashUnit(ix, iy + 1, salt), d = hashUnit(ix + 1, iy + 1, salt);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

}  // namespace

DemoClip makeDemoClip(int frames, int width, int height) {
    DemoClip clip;
    clip.frames = frames;
    clip.width = width;
    clip.height = height;
    clip.background = ofxhost::FloatImage(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const float n = 0.55f * valueNoise(x / 48.0f, y / 48.0f, 1) + 0.3f * valueNoise(x / 12.0f, y / 12.0f, 2) +
                            0.15f * hashUnit(static_cast<uint32_t>(x), static_cast<uint32_t>(y), 3);
            const bool grid = x % 80 == 0 || y % 80 == 0;
            const float base = 0.06f + 0.16f * n + (grid ? 0.05f : 0.0f);
            float* p = clip.background.pixel(x, y);
            p[0] = base * 0.9f;
            p[1] = base * 0.95f;
            p[2] = base * 1.1f;
            p[3] = 1.0f;
        }
    }
    const float sx = width / 1280.0f, sy = height / 720.0f;
    const DemoDisc discs[] = {
        {1.0f, 0.06f, 0.04f, 58, -80, 210, 15.5f, 0.5f, 30, 60},
        {0.95f, 0.1f, 0.08f, 30, 1020, 600, -9, -4.5f, 12, 45},
        {1.0f, 0.12f, 0.1f, 17, 300, 70, 7, 5.5f, 25, 38},
        {0.1f, 0.95f, 0.2f, 46, 1360, 430, -17, -1, 20, 50},
        {0.15f, 1.0f, 0.3f, 22, 600, 360, 3.5f, -3, 45, 70},
        {0.1f, 0.3f, 1.0f, 50, 180, 660, 10, -6.5f, 10, 40},
        {1.0f, 0.9f, 0.1f, 34, 900, -60, -2.5f, 9, 35, 55},
        {0.95f, 0.1f, 0.9f, 40, 640, 220, -4, 2.5f, 60, 90},
        {0.1f, 0.9f, 0.95f, 25, 1100, 150, -11, 7, 18, 33},
    };
    for (DemoDisc d : discs) {
        d.radius *= std::min(sx, sy);
        d.x0 *= sx;
        d.y0 *= sy;
        d.vx *= sx;
        d.vy *= sy;
        d.wobble *= std::min(sx, sy);
        clip.discs.push_back(d);
    }
    return clip;
}

ofxhost::FloatImage demoFrame(const DemoClip& clip, int frame) {
    ofxhost::FloatImage img = clip.background;
    const float f = static_cast<float>(frame);
    for (const DemoDisc& d : clip.discs) {
        const float phase = 6.2831853f * f / d.period;
        const float cx = d.x0 + d.vx * f + d.wobble * std::sin(phase) * 0.6f;
        const float cy = d.y0 + d.vy * f + d.wobble * std::cos(phase);
        const int x0 = std::max(0, static_cast<int>(std::floor(cx - d.radius - 1)));
        const int x1 = std::min(clip.width - 1, static_cast<int>(std::ceil(cx + d.radius + 1)));
        const int y0 = std::max(0, static_cast<int>(std::floor(cy - d.radius - 1)));
        const int y1 = std::min(clip.height - 1, static_cast<int>(std::ceil(cy + d.radius + 1)));
        if (x0 > x1 || y0 > y1) continue;
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x) {
                const float dx = x + 0.5f - cx, dy = y + 0.5f - cy;
                const float dist = std::sqrt(dx * dx + dy * dy);
                const float cover = std::clamp(d.radius - dist + 0.5f, 0.0f, 1.0f);
                if (cover <= 0.0f) continue;
                // A little shading so the discs read as objects, not stickers.
                const float shade = 0.8f + 0.2f * (1.0f - dist / d.radius);
                float* p = img.pixel(x, y);
                p[0] += (d.r * shade - p[0]) * cover;
                p[1] += (d.g * shade - p[1]) * cover;
                p[2] += (d.b * shade - p[2]) * cover;
            }
        }
    }
    return img;
}

ofxhost::FloatImage shrink(const ofxhost::FloatImage& image, int factor) {
    factor = std::max(1, factor);
    ofxhost::FloatImage out(image.width / factor, image.height / factor);
    const float norm = 1.0f / static_cast<float>(factor * factor);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            float sum[4] = {0, 0, 0, 0};
            for (int j = 0; j < factor; ++j)
                for (int i = 0; i < factor; ++i) {
                    const float* p = image.pixel(x * factor + i, y * factor + j);
                    for (int c = 0; c < 4; ++c) sum[c] += std::isfinite(p[c]) ? p[c] : 0.0f;
                }
            float* o = out.pixel(x, y);
            for (int c = 0; c < 4; ++c) o[c] = sum[c] * norm;
        }
    return out;
}

ofxhost::FloatImage contactSheet(const std::vector<ofxhost::FloatImage>& thumbs, int columns) {
    if (thumbs.empty() || columns < 1) return {};
    const int tw = thumbs[0].width, th = thumbs[0].height, gap = 4;
    const int rows = (static_cast<int>(thumbs.size()) + columns - 1) / columns;
    ofxhost::FloatImage sheet(columns * tw + (columns + 1) * gap, rows * th + (rows + 1) * gap);
    for (size_t i = 3; i < sheet.rgba.size(); i += 4) sheet.rgba[i] = 1.0f;
    for (size_t k = 0; k < thumbs.size(); ++k) {
        const int ox = gap + static_cast<int>(k % columns) * (tw + gap);
        const int oy = gap + static_cast<int>(k / columns) * (th + gap);
        for (int y = 0; y < std::min(th, thumbs[k].height); ++y)
            for (int x = 0; x < std::min(tw, thumbs[k].width); ++x) {
                const float* s = thumbs[k].pixel(x, y);
                float* d = sheet.pixel(ox + x, oy + y);
                for (int c = 0; c < 3; ++c) d[c] = s[c];
                d[3] = 1.0f;
            }
    }
    return sheet;
}

}  // namespace varnok
