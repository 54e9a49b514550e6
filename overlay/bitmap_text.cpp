#include "overlay/bitmap_text.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include "engine/pixel_ops.h"
#include "overlay/coverage_run.h"
#include "overlay/pixel_octet.h"
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

// Calls place(glyph, pen) for each character of text that is not a space,
// the pen starting at x, until the pen leaves the image on the right; returns
// where the pen stops. The pen only moves right, so nothing further can land
// in the image.
template <class Place>
int64_t placeGlyphs(std::string_view text, int64_t x, int64_t s, int64_t width, Place place) {
    int64_t pen = x;
    for (char byte : text) {
        if (pen >= width) break;
        const unsigned char c = upper(byte);
        if (c == ' ') {
            pen += 3 * s;
            continue;
        }
        place(upperGlyph(c), pen);
        pen += 4 * s;
    }
    return pen;
}

// One blend of a whole text: every pixel moves toward the colour by the same
// amount, so the colour's share is worked out once.
struct TextBlend {
    PixelLanes keep;
    PixelLanes share;  // colour lanes (alpha lane 1) times the amount
};

TextBlend textBlend(PixelLanes lanes, float amount) {
    const float keep = 1.0f - amount;
    return {PixelLanes{keep, keep, keep, keep}, lanes * amount};
}

// Lit pixels [x0, x1) of one pixel row of a text, inside the image.
struct TextRun {
    int32_t x0, x1;
};

#if defined(ORMEL_PIXEL_OCTETS)
// Two pixels per step; the last odd pixel of a run on its own. The alpha
// lanes take clamp01's two steps as minps and maxps with the value first.
ORMEL_TARGET_AVX2 void blendRunsAvx2(Pixel* row, const TextRun* runs, size_t count,
                                     const TextBlend& blend) {
    __m128 keep4, share4;
    std::memcpy(&keep4, &blend.keep, sizeof(keep4));
    std::memcpy(&share4, &blend.share, sizeof(share4));
    const __m256 k = _mm256_set_m128(keep4, keep4);
    const __m256 c = _mm256_set_m128(share4, share4);
    const __m256 one = _mm256_set1_ps(1.0f);
    const __m256 zero = _mm256_setzero_ps();
    for (size_t r = 0; r < count; ++r) {
        float* f = reinterpret_cast<float*>(row + runs[r].x0);
        const int64_t n = runs[r].x1 - runs[r].x0;
        int64_t i = 0;
        for (; i + 2 <= n; i += 2) {
            const __m256 q = _mm256_add_ps(_mm256_mul_ps(_mm256_loadu_ps(f + 4 * i), k), c);
            const __m256 alpha = _mm256_max_ps(_mm256_min_ps(q, one), zero);
            _mm256_storeu_ps(f + 4 * i, _mm256_blend_ps(q, alpha, 0x88));
        }
        if (i < n) {
            const __m128 q = _mm_add_ps(_mm_mul_ps(_mm_loadu_ps(f + 4 * i), keep4), share4);
            const __m128 alpha = _mm_max_ps(_mm_min_ps(q, _mm256_castps256_ps128(one)), _mm_setzero_ps());
            _mm_storeu_ps(f + 4 * i, _mm_blend_ps(q, alpha, 0x8));
        }
    }
}
#endif

// blendInPlace over the runs of a row with the blend's fixed terms. With a
// finite colour the share is finite, so which operand of the add comes first
// cannot change a NaN payload.
void blendRuns(Pixel* row, const TextRun* runs, size_t count, const TextBlend& blend) {
#if defined(ORMEL_PIXEL_OCTETS)
    if (simdAtLeast(SimdLevel::avx2)) {
        blendRunsAvx2(row, runs, count, blend);
        return;
    }
#endif
    for (size_t r = 0; r < count; ++r) {
        for (int32_t x = runs[r].x0; x < runs[r].x1; ++x) {
            PixelLanes q;
            std::memcpy(&q, &row[x], sizeof(q));
            q = q * blend.keep + blend.share;
            q[3] = clamp01(q[3]);
            std::memcpy(static_cast<void*>(&row[x]), &q, sizeof(q));
        }
    }
}

// Longest text drawn row by row; its glyphs and pen positions are kept on the stack.
constexpr size_t kRowMajorChars = 128;

// The lit cells of glyph row r of every glyph, as runs of whole cells clipped
// to the image; returns how many.
size_t glyphRowRuns(const Glyph* glyphs, const int64_t* pens, size_t count, int64_t r, int64_t s,
                    int64_t width, TextRun* runs) {
    size_t n = 0;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t bits = glyphs[i].rows[r];
        for (int64_t k = 0; k < 3;) {
            if (!(bits & (4u >> k))) {
                ++k;
                continue;
            }
            int64_t end = k + 1;
            while (end < 3 && (bits & (4u >> end))) ++end;
            const int64_t x0 = std::max<int64_t>(pens[i] + k * s, 0);
            const int64_t x1 = std::min<int64_t>(pens[i] + end * s, width);
            if (x0 < x1) runs[n++] = TextRun{static_cast<int32_t>(x0), static_cast<int32_t>(x1)};
            k = end;
        }
    }
    return n;
}

void drawTextRows(const Canvas& canvas, int32_t x, int32_t y, std::string_view text, int64_t s,
                  const TextBlend& blend) {
    Image& image = canvas.image;
    const int64_t width = image.width;
    Glyph glyphs[kRowMajorChars];
    int64_t pens[kRowMajorChars];
    size_t count = 0;
    const int64_t pen = placeGlyphs(text, x, s, width, [&](Glyph g, int64_t at) {
        glyphs[count] = g;
        pens[count++] = at;
    });
    const int64_t y0 = std::max<int64_t>(y, canvas.rowBegin);
    const int64_t y1 = std::min<int64_t>(y + 5 * s, std::min<int64_t>(image.height, canvas.rowEnd));
    // Text comes last and mostly lands where no other mark of these rows has
    // been, so its rows are asked for a few rows before they are drawn.
    const int32_t lo = static_cast<int32_t>(std::max<int64_t>(x, 0));
    const int32_t hi = static_cast<int32_t>(std::min<int64_t>(pen, width) - 1);
    if (count == 0 || lo > hi) return;
    for (int64_t py = y0; py < std::min<int64_t>(y0 + kRowsAhead, y1); ++py) {
        prefetchRow(image, static_cast<int32_t>(py), lo, hi);
    }
    // Every pixel row of a glyph row has the same runs: at most two per glyph.
    TextRun runs[2 * kRowMajorChars];
    size_t runCount = 0;
    int64_t runsOf = -1;
    for (int64_t py = y0; py < y1; ++py) {
        const int64_t r = (py - y) / s;
        if (r != runsOf) {
            runCount = glyphRowRuns(glyphs, pens, count, r, s, width, runs);
            runsOf = r;
        }
        if (py + kRowsAhead < y1) prefetchRow(image, static_cast<int32_t>(py + kRowsAhead), lo, hi);
        blendRuns(&image.at(0, static_cast<int32_t>(py)), runs, runCount, blend);
    }
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
    // No two cells of one text overlap, so each pixel is blended at most once
    // and a text can be drawn row by row, the lit cells of each glyph row as
    // runs, in whatever order suits the memory.
    const bool runs = std::isfinite(colour.r) && std::isfinite(colour.g) && std::isfinite(colour.b);
    if (runs && text.size() <= kRowMajorChars) {
        drawTextRows(canvas, x, y, text, s, textBlend(lanes, a));
        return;
    }
    placeGlyphs(text, x, s, width, [&](Glyph g, int64_t pen) {
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
    });
}

}  // namespace ormel
