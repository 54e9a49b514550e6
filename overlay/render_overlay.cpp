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
                   const Settings& settings) {
    if (tracks.empty() || !isUsableImage(out)) return;

    if (settings.drawTrails && settings.trailOpacity > 0.0f && settings.temporalFrames >= 1) {
        drawTrails(out, tracks, settings);
    }

    if (settings.drawLines && tracks.size() >= 2 && settings.connectionMode != 0) {
        const std::vector<Edge> edges = limitEdges(buildEdges(tracks, settings), settings);
        for (const Edge& edge : edges) drawConnection(out, tracks, edge, settings);
    }

    if (settings.drawBoxes) {
        for (const Track& track : tracks) drawBox(out, track, settings);
    }

    drawPointEffects(out, src, tracks, settings);

    // Point then label per track, so a later track's point covers an earlier label.
    for (const Track& track : tracks) {
        if (settings.drawPoints) drawPoint(out, track, settings);
        if (settings.drawLabels) drawLabel(out, track, settings);
    }
}

}  // namespace ormel
