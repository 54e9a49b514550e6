#include "overlay/bitmap_text.h"

#include <algorithm>
#include <cctype>

#include "engine/pixel_ops.h"
#include "overlay/coverage_run.h"
#include "overlay/safe_int.h"

namespace ormel {
namespace {

int64_t effectiveScale(int32_t scale) { return scale >= 2 ? scale : 1; }

constexpr Glyph glyph(uint8_t r0, uint8_t r1, uint8_t r2, uint8_t r3, uint8_t r4) {
    return Glyph{{r0, r1, r2, r3, r4}};
}

// Rows written as binary, left cell first, so they read like the font sheet.
Glyph upperGlyph(unsigned char c) {
    switch (c) {
        case '0':
        case 'O': return glyph(0b111, 0b101, 0b101, 0b101, 0b111);
        case '1': return glyph(0b010, 0b110, 0b010, 0b010, 0b111);
        case '2': return glyph(0b111, 0b001, 0b111, 0b100, 0b111);
        case '3': return glyph(0b111, 0b001, 0b111, 0b001, 0b111);
        case '4': return glyph(0b101, 0b101, 0b111, 0b001, 0b001);
        case '5':
        case 'S': return glyph(0b111, 0b100, 0b111, 0b001, 0b111);
        case '6': return glyph(0b111, 0b100, 0b111, 0b101, 0b111);
        case '7': return glyph(0b111, 0b001, 0b010, 0b010, 0b010);
        case '8': return glyph(0b111, 0b101, 0b111, 0b101, 0b111);
        case '9': return glyph(0b111, 0b101, 0b111, 0b001, 0b111);
        case 'A': return glyph(0b111, 0b101, 0b111, 0b101, 0b101);
        case 'B': return glyph(0b110, 0b101, 0b110, 0b101, 0b110);
        case 'C': return glyph(0b111, 0b100, 0b100, 0b100, 0b111);
        case 'D': return glyph(0b110, 0b101, 0b101, 0b101, 0b110);
        case 'E': return glyph(0b111, 0b100, 0b111, 0b100, 0b111);
        case 'F': return glyph(0b111, 0b100, 0b111, 0b100, 0b100);
        case 'G': return glyph(0b111, 0b100, 0b101, 0b101, 0b111);
        case 'H': return glyph(0b101, 0b101, 0b111, 0b101, 0b101);
        case 'I': return glyph(0b111, 0b010, 0b010, 0b010, 0b111);
        case 'J': return glyph(0b001, 0b001, 0b001, 0b101, 0b111);
        case 'K': return glyph(0b101, 0b101, 0b110, 0b101, 0b101);
        case 'L': return glyph(0b100, 0b100, 0b100, 0b100, 0b111);
        case 'M': return glyph(0b101, 0b111, 0b111, 0b101, 0b101);
        case 'N': return glyph(0b101, 0b111, 0b111, 0b111, 0b101);
        case 'P': return glyph(0b110, 0b101, 0b110, 0b100, 0b100);
        case 'Q': return glyph(0b111, 0b101, 0b101, 0b111, 0b001);
        case 'R': return glyph(0b110, 0b101, 0b110, 0b101, 0b101);
        case 'T': return glyph(0b111, 0b010, 0b010, 0b010, 0b010);
        case 'U': return glyph(0b101, 0b101, 0b101, 0b101, 0b111);
        case 'V': return glyph(0b101, 0b101, 0b101, 0b101, 0b010);
        case 'W': return glyph(0b101, 0b101, 0b111, 0b111, 0b101);
        case 'X': return glyph(0b101, 0b101, 0b010, 0b101, 0b101);
        case 'Y': return glyph(0b101, 0b101, 0b010, 0b010, 0b010);
        case 'Z': return glyph(0b111, 0b001, 0b010, 0b100, 0b111);
        case '#': return glyph(0b101, 0b111, 0b101, 0b111, 0b101);
        case '*': return glyph(0b101, 0b010, 0b111, 0b010, 0b101);
        case '+': return glyph(0b000, 0b010, 0b111, 0b010, 0b000);
        case '-': return glyph(0b000, 0b000, 0b111, 0b000, 0b000);
        case '.': return glyph(0b000, 0b000, 0b000, 0b000, 0b010);
        case '/': return glyph(0b001, 0b001, 0b010, 0b100, 0b100);
        case ':': return glyph(0b000, 0b010, 0b000, 0b010, 0b000);
        case '=': return glyph(0b000, 0b111, 0b000, 0b111, 0b000);
        case '_': return glyph(0b000, 0b000, 0b000, 0b000, 0b111);
        default: return glyph(0, 0, 0, 0, 0);
    }
}

unsigned char upper(char byte) {
    return static_cast<unsigned char>(std::toupper(static_cast<unsigned char>(byte)));
}

}  // namespace

Glyph glyphFor(unsigned char c) { return upperGlyph(upper(static_cast<char>(c))); }

int64_t textWidth(std::string_view text, int32_t scale) {
    const int64_t s = effectiveScale(scale);
    int64_t width = 0;
    for (char byte : text) width += upper(byte) == ' ' ? 3 * s : 4 * s;
    return width;
}

int64_t textHeight(int32_t scale) { return 5 * effectiveScale(scale); }

void drawText(Canvas canvas, int32_t x, int32_t y, std::string_view text, int32_t scale,
              Pixel colour, float opacity) {
    Image& image = canvas.image;
    if (text.empty()) return;
    const int64_t s = effectiveScale(scale);
    const float a = clamp01(opacity * colour.a);
    const PixelLanes lanes = blendLanes(colour);
    const int64_t width = image.width;
    const int64_t height = image.height;
    // Whole rows of text above or below the image, or an empty image, draw nothing.
    if (!isUsableImage(image) || y + 5 * s <= 0 || y >= height) return;
    int64_t pen = x;
    for (char byte : text) {
        // The pen only moves right, so nothing further can land in the image.
        if (pen >= width) break;
        const unsigned char c = upper(byte);
        if (c == ' ') {
            pen += 3 * s;
            continue;
        }
        const Glyph g = upperGlyph(c);
        for (int64_t r = 0; r < 5; ++r) {
            const int64_t top = y + r * s;
            const int64_t y0 = std::max<int64_t>(top, canvas.rowBegin);
            const int64_t y1 = std::min<int64_t>(top + s, std::min<int64_t>(height, canvas.rowEnd));
            if (y0 >= y1) continue;
            for (int64_t k = 0; k < 3; ++k) {
                if (!(g.rows[r] & (4u >> k))) continue;
                const int64_t left = pen + k * s;
                const int64_t x0 = std::max<int64_t>(left, 0);
                const int64_t x1 = std::min<int64_t>(left + s, width);
                for (int64_t py = y0; py < y1; ++py) {
                    Pixel* row = &image.at(0, static_cast<int32_t>(py));
                    for (int64_t px = x0; px < x1; ++px) blendInPlace(row[px], lanes, a);
                }
            }
        }
        pen += 4 * s;
    }
}

}  // namespace ormel
