#include "treatments/ascii_art.h"

#include <algorithm>
#include <string_view>

#include "engine/image_checks.h"
#include "engine/pixel_ops.h"
#include "treatments/ascii_blend.h"
#include "overlay/bitmap_text.h"
#include "treatments/bilinear.h"
#include "treatments/safe_convert.h"

namespace ormel {
namespace {

// Dark to bright.
constexpr char kRamp[] = " .:-+=*#0M";
constexpr int32_t kMinCell = 4;
constexpr int32_t kMaxCell = 48;

struct CellMean {
    Pixel colour;
    double luminance = 0.0;
};

// Every second pixel in both directions of the cell, starting at its corner.
CellMean sampleCell(const Image& image, int32_t x0, int32_t y0, int32_t cell) {
    const int32_t xEnd = std::min<int64_t>(static_cast<int64_t>(x0) + cell, image.width);
    const int32_t yEnd = std::min<int64_t>(static_cast<int64_t>(y0) + cell, image.height);
    float count = 0.0f, sumR = 0.0f, sumG = 0.0f, sumB = 0.0f;
    double sumLum = 0.0;
    for (int32_t y = y0; y < yEnd; y += 2) {
        for (int32_t x = x0; x < xEnd; x += 2) {
            const Pixel& p = image.at(x, y);
            count += 1.0f;
            sumR += p.r;
            sumG += p.g;
            sumB += p.b;
            sumLum += 0.2126 * static_cast<double>(p.r) + 0.7152 * static_cast<double>(p.g) +
                      0.0722 * static_cast<double>(p.b);
        }
    }
    CellMean mean;
    mean.colour = Pixel{sumR / count, sumG / count, sumB / count, 1.0f};
    mean.luminance = sumLum / static_cast<double>(count);
    return mean;
}

}  // namespace

bool asciiArtRuns(const Settings& settings) { return settings.asciiMode != AsciiMode::Off && settings.asciiAmount > 0.001f; }

void applyAsciiArt(Image& image, const Settings& settings, const RowBands& bands) {
    const float amount = settings.asciiAmount;
    if (!isUsableImage(image) || !asciiArtRuns(settings)) return;

    // Any non-zero mode other than 2 behaves as the overlay mode.
    const bool replace = settings.asciiMode == AsciiMode::Replace;
    const Pixel clear = replace ? Pixel{0.0f, 0.0f, 0.0f, 1.0f} : Pixel{0.0f, 0.0f, 0.0f, 0.0f};
    const int32_t cell = std::min(std::max(settings.asciiCellSize, kMinCell), kMaxCell);
    const int32_t scale = std::max(1, cell / 6);
    const float a = clamp01(amount);
    const int32_t width = image.width;

    // A glyph (at most 4 s by 5 s, s = cell / 6) stays inside its own cell, and
    // a cell reads only its own pixels, so each row of cells is sampled, drawn
    // on a strip of its own height and blended back before the next: no copy
    // of the whole picture, and bands of cell rows never meet.
    const int32_t cellRows = static_cast<int32_t>((static_cast<int64_t>(image.height) + cell - 1) / cell);
    bands.forEachBand(cellRows, [&](Band band) {
        Image strip;
        for (int32_t row = band.begin; row < band.end; ++row) {
            const int32_t y0 = row * cell;
            const int32_t rows = std::min(cell, image.height - y0);
            strip = Image(width, rows, clear);
            for (int64_t x0 = 0; x0 < width; x0 += cell) {
                const CellMean mean = sampleCell(image, static_cast<int32_t>(x0), y0, cell);
                // NaN brightness reads as the darkest character.
                const int32_t index = truncClamped(9.99 * mean.luminance, 0, 9, 0);
                const char c = kRamp[index];
                if (c == ' ') continue;  // the space glyph draws nothing
                Pixel colour{0.85f, 1.0f, 0.92f, 1.0f};
                if (replace) {
                    const Pixel& m = mean.colour;
                    colour = Pixel{m.r + 0.65f * (0.8f - m.r), m.g + 0.65f * (1.0f - m.g),
                                   m.b + 0.65f * (0.92f - m.b), 1.0f};
                }
                drawText(strip, static_cast<int32_t>(x0), 0, std::string_view(&c, 1), scale, colour, amount);
            }
            Pixel* out = &image.at(0, y0);
            if (replace) {
                for (size_t i = 0; i < strip.pixels.size(); ++i) out[i] = lerpPixel(out[i], strip.pixels[i], a);
            } else {
                blendLayerOver(out, strip.pixels.data(), strip.pixels.size(), a);
            }
        }
    });
}

}  // namespace ormel
