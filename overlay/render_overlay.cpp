#include "overlay/render_overlay.h"

#include "overlay/boxes_labels.h"
#include "overlay/connection_graph.h"
#include "overlay/connection_strokes.h"
#include "overlay/point_effects.h"
#include "overlay/points.h"
#include "overlay/safe_int.h"
#include "overlay/trails.h"

namespace ormel {

void renderOverlay(Image& out, const Image& src, const std::vector<Track>& tracks,
                   const Settings& settings, const RowBands& bands) {
    if (tracks.empty() || !isUsableImage(out)) return;

    const bool trails = settings.drawTrails && settings.trailOpacity > 0.0f && settings.temporalFrames >= 1;
    std::vector<Edge> edges;
    if (settings.drawLines && tracks.size() >= 2 && settings.connectionMode != 0) {
        edges = limitEdges(buildEdges(tracks, settings), settings);
    }

    bands.forEachBand(out.height, [&](Band rows) {
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
    });
}

}  // namespace ormel
