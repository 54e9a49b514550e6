#include "overlay/render_overlay.h"

#include <algorithm>

#include "overlay/boxes_labels.h"
#include "overlay/connection_graph.h"
#include "overlay/connection_strokes.h"
#include "overlay/point_effects.h"
#include "overlay/points.h"
#include "overlay/safe_int.h"
#include "overlay/trails.h"

namespace ormel {
namespace {

// Rows drawn together. Thinner slices keep more of the pixels the layers
// share in cache but repeat more of each mark's setup; on a full HD frame
// this is near the balance.
constexpr int32_t kSliceRows = 136;

}  // namespace

void renderOverlay(Image& out, const Image& src, const std::vector<Track>& tracks,
                   const Settings& settings, const RowBands& bands) {
    if (tracks.empty() || !isUsableImage(out)) return;

    const bool trails = settings.drawTrails && settings.trailOpacity > 0.0f && settings.temporalFrames >= 1;
    std::vector<Edge> edges;
    if (settings.drawLines && tracks.size() >= 2 && settings.connectionMode != ConnectionMode::None) {
        edges = limitEdges(buildEdges(tracks, settings), settings);
    }

    const auto drawRows = [&](Band rows) {
        const Canvas canvas(out, rows);
        if (trails) drawTrails(canvas, tracks, settings);

        for (const Edge& edge : edges) drawConnection(canvas, tracks, edge, settings);

        if (settings.drawBoxes) {
            for (const Track& track : tracks) drawBox(canvas, track, settings);
        }

        drawPointEffects(canvas, src, tracks, settings);

        // Point then label per track, so a later track's point covers an earlier label.
        for (const Track& track : tracks) {
            if (settings.drawPoints) drawPoint(canvas, track, settings);
            if (settings.drawLabels) drawLabel(canvas, track, settings);
        }
    };
    // The marks of one place overlap (a box, its point and label, the lines
    // meeting there), but they are drawn layer after layer over the whole
    // frame, so by the time a later layer comes back to a place its pixels
    // have left the cache. A band drawn a slice of rows at a time keeps them
    // cached between layers; as with any bands, every pixel gets the same
    // blends in the same order.
    bands.forEachBand(out.height, [&](Band rows) {
        for (int32_t top = rows.begin; top < rows.end; top += std::min(kSliceRows, rows.end - top)) {
            drawRows(Band{top, top + std::min(kSliceRows, rows.end - top)});
        }
    });
}

}  // namespace ormel
