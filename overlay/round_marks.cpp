#include "overlay/round_marks.h"

#include <algorithm>
#include <cmath>

#include "overlay/coverage_run.h"
#include "overlay/pixel_octet.h"
#include "overlay/raster.h"
#include "overlay/row_chords.h"
#include "overlay/safe_int.h"

namespace ormel {
namespace {

constexpr int32_t kMaxMarks = 4;

void drawRing(Canvas canvas, Vec2 c, float size, float stroke, Pixel colour, float opacity) {
    Image& out = canvas.image;
    const float reach = size + stroke + 1.0f;
    int32_t x0, x1, y0, y1;
    if (!isUsableImage(out) || !clipRange(std::floor(c.x - reach), std::ceil(c.x + reach), out.width, x0, x1) ||
        !clipRows(std::floor(c.y - reach), std::ceil(c.y + reach), canvas, y0, y1)) {
        return;
    }
    const float edge = std::max(stroke * 0.5f, 0.5f) + 0.75f;
    float ringDistance[kCoverageRun];
    for (int32_t y = y0; y <= y1; ++y) {
        const float dy = static_cast<float>(y) + 0.5f - c.y;
        Pixel* row = &out.at(0, y);
        for (int32_t start = x0; start <= x1; start += kCoverageRun) {
            const int32_t count = std::min(kCoverageRun, x1 - start + 1);
            for (int32_t i = 0; i < count; ++i) {
                const float dx = static_cast<float>(start + i) + 0.5f - c.x;
                ringDistance[i] = std::fabs(std::sqrt(dx * dx + dy * dy) - size);
            }
            blendCoverageRun(row + start, ringDistance, count, edge, opacity, colour);
        }
    }
}

void drawInTurn(Canvas canvas, Vec2 centre, const RoundMark* marks, int32_t count, Pixel colour) {
    for (int32_t i = 0; i < count; ++i) {
        const RoundMark& m = marks[i];
        if (m.kind == RoundMark::Kind::Disk) {
            drawDisk(canvas, centre, m.radius, colour, m.opacity);
        } else {
            drawRing(canvas, centre, m.radius, m.stroke, colour, m.opacity);
        }
    }
}

#if defined(ORMEL_PIXEL_OCTETS)
// One mark's reach: its clipped box, how a row of it is narrowed, and its
// coverage rule.
struct MarkScan {
    bool ring;
    int32_t x0, x1, y0, y1;
    float reach;    // the chord radius that narrows a row
    float edge;     // coverage = min(edge - distance, 1)
    float size;     // rings: S
    float opacity;
};

// The setup of drawDisk and drawRing; false when the mark draws nothing.
bool scanOf(const Canvas& canvas, Vec2 c, const RoundMark& m, MarkScan& scan) {
    const Image& image = canvas.image;
    if (m.kind == RoundMark::Kind::Disk) {
        const float radius = m.radius;
        if (radius <= 0.0f || m.opacity <= 0.0f) return false;
        if (!clipRows(std::floor(c.y - radius - 1.0f), std::ceil(c.y + radius + 1.0f), canvas,
                      scan.y0, scan.y1) ||
            !clipRange(std::floor(c.x - radius - 1.0f), std::ceil(c.x + radius + 1.0f), image.width,
                       scan.x0, scan.x1)) {
            return false;
        }
        scan.ring = false;
        scan.reach = radius + 0.75f + kSpanSlack;
        scan.edge = radius + 0.75f;
        scan.size = 0.0f;
        scan.opacity = m.opacity;
        return true;
    }
    const float reach = m.radius + m.stroke + 1.0f;
    if (!clipRows(std::floor(c.y - reach), std::ceil(c.y + reach), canvas, scan.y0, scan.y1) ||
        !clipRange(std::floor(c.x - reach), std::ceil(c.x + reach), image.width, scan.x0, scan.x1)) {
        return false;
    }
    scan.ring = true;
    scan.edge = std::max(m.stroke * 0.5f, 0.5f) + 0.75f;
    // |d - S| < edge needs d < S + edge, whatever the sign of S: the corners
    // of the square beyond that disk are never covered.
    scan.reach = m.radius + scan.edge + kSpanSlack;
    scan.size = m.radius;
    scan.opacity = m.opacity;
    return true;
}

// The mark's pixels on the row at height py (y inside its rows): those of
// its square whose centres lie within its reach; false when there are none.
bool rowSpanOf(const MarkScan& scan, Vec2 c, float py, RowSpan& span) {
    span = RowSpan{scan.x0, scan.x1};
    float lo = INFINITY, hi = -INFINITY;
    addDiskChord(c.x, c.y, scan.reach, py, lo, hi, true);
    return hugSpan(lo, hi, span);
}

ORMEL_TARGET_AVX512 void drawRoundRows(Canvas canvas, Vec2 c, const MarkScan* scans, int32_t n,
                                       const OctetColour& colour) {
    Image& image = canvas.image;
    int32_t y0 = scans[0].y0, y1 = scans[0].y1;
    for (int32_t k = 1; k < n; ++k) {
        y0 = std::min(y0, scans[k].y0);
        y1 = std::max(y1, scans[k].y1);
    }
    OctetLayer layers[kMaxMarks];
    for (int32_t k = 0; k < n; ++k) layers[k] = octetLayer(scans[k].edge, scans[k].opacity, colour);
    const __m256 half = _mm256_set1_ps(0.5f);
    const __m256 cx = _mm256_set1_ps(c.x);
    const __m256 sign = _mm256_castsi256_ps(_mm256_set1_epi32(0x7FFFFFFF));
    for (int32_t y = y0; y <= y1; ++y) {
        const float py = static_cast<float>(y) + 0.5f;
        RowSpan spans[kMaxMarks];
        bool live[kMaxMarks];
        RowSpan all{0, -1};
        for (int32_t k = 0; k < n; ++k) {
            live[k] = y >= scans[k].y0 && y <= scans[k].y1 && rowSpanOf(scans[k], c, py, spans[k]);
            if (!live[k]) continue;
            if (all.lo > all.hi) {
                all = spans[k];
            } else {
                all.lo = std::min(all.lo, spans[k].lo);
                all.hi = std::max(all.hi, spans[k].hi);
            }
        }
        if (all.lo > all.hi) continue;
        const float dy = py - c.y;
        const __m256 dy2 = _mm256_set1_ps(dy * dy);
        Pixel* row = &image.at(0, y);
        prefetchRowAhead(image, y, all.lo, all.hi);
        for (int64_t x = all.lo; x <= all.hi; x += 8) {
            const int32_t count = static_cast<int32_t>(std::min<int64_t>(8, all.hi - x + 1));
            const __m256i columns = octetColumns(static_cast<int32_t>(x));
            const __m256 dx = _mm256_sub_ps(_mm256_add_ps(_mm256_cvtepi32_ps(columns), half), cx);
            const __m256 d = _mm256_sqrt_ps(_mm256_add_ps(_mm256_mul_ps(dx, dx), dy2));
            OctetSlotMasked slot(row, static_cast<int32_t>(x), count);
            PixelOctet o = slot.load();
            for (int32_t k = 0; k < n; ++k) {
                if (!live[k] || x + 7 < spans[k].lo || x > spans[k].hi) continue;
                const __mmask8 inside =
                    _mm256_cmp_epi32_mask(columns, _mm256_set1_epi32(spans[k].lo), _MM_CMPINT_NLT) &
                    _mm256_cmp_epi32_mask(columns, _mm256_set1_epi32(spans[k].hi), _MM_CMPINT_LE);
                const __m256 distance =
                    scans[k].ring ? _mm256_and_ps(_mm256_sub_ps(d, _mm256_set1_ps(scans[k].size)), sign) : d;
                blendOctetLayerMasked(o, distance, inside, layers[k], colour);
            }
            slot.store(o);
        }
    }
}
#endif

}  // namespace

void drawRoundMarks(Canvas canvas, Vec2 centre, const RoundMark* marks, int32_t count, Pixel colour) {
#if defined(ORMEL_PIXEL_OCTETS)
    // With a colour channel that is not finite, which NaN a blend keeps
    // depends on the order of its add, so such colours take the plain path.
    const bool finite = std::isfinite(colour.r) && std::isfinite(colour.g) && std::isfinite(colour.b);
    if (finite && count <= kMaxMarks && simdAtLeast(SimdLevel::avx512) && isUsableImage(canvas.image)) {
        MarkScan scans[kMaxMarks];
        int32_t n = 0;
        for (int32_t i = 0; i < count; ++i) {
            if (scanOf(canvas, centre, marks[i], scans[n])) ++n;
        }
        if (n > 0) drawRoundRows(canvas, centre, scans, n, octetColour(colour));
        return;
    }
#endif
    drawInTurn(canvas, centre, marks, count, colour);
}

}  // namespace ormel
