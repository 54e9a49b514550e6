// The built-in synthetic clip: saturated discs of several colours and sizes
// moving over a textured background, crossing and leaving the frame.
#pragma once

#include <vector>

#include "host/ofx_host.h"

namespace varnok {

struct DemoDisc {
    float r, g, b;
    float radius;
    float x0, y0;       // position at frame 0
    float vx, vy;       // pixels per frame
    float wobble;       // amplitude of a sideways sway
    float period;       // frames per sway
};

struct DemoClip {
    int width = 1280;
    int height = 720;
    int frames = 90;
    double fps = 30.0;
    ofxhost::FloatImage background;
    std::vector<DemoDisc> discs;
};

DemoClip makeDemoClip(int frames, int width = 1280, int height = 720);
// The frame with this number; the same number always gives the same picture.
ofxhost::FloatImage demoFrame(const DemoClip& clip, int frame);
// Box-filtered reduction by a whole factor.
ofxhost::FloatImage shrink(const ofxhost::FloatImage& image, int factor);
// Thumbnails of equal size side by side, `columns` per row.
ofxhost::FloatImage contactSheet(const std::vector<ofxhost::FloatImage>& thumbs, int columns);

}  // namespace varnok
