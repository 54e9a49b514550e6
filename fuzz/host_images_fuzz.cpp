// The plug-in reading and writing host images of any layout a host might
// hand over: bounds off the origin, wider or narrower than the frame, padded
// or negative row strides, every depth and component set, on both clips.
#include <algorithm>

#include "fuzz/fuzz_input.h"
#include "fuzz/plugin_fixture.h"

namespace {

// The one place that fills an ImageLayout from fuzz bytes.
ofxhost::ImageLayout layoutFrom(varnok_fuzz::FuzzInput& in) {
    ofxhost::ImageLayout l;
    l.depth = static_cast<ofxhost::BitDepth>(in.range(0, 3));
    l.components = static_cast<ofxhost::Components>(in.range(0, 2));
    l.originX = in.range(-40, 40);
    l.originY = in.range(-40, 40);
    l.rowPadding = in.range(0, 19);
    l.rowOrder = in.flag() ? ofxhost::RowOrder::TopFirst : ofxhost::RowOrder::BottomFirst;
    // Hosts that negotiate convert to what the plug-in takes; careless ones
    // hand any depth and components as they are.
    l.imposeFormat = in.flag();
    l.extraWidth = in.range(-24, 8);
    l.extraHeight = in.range(-24, 8);
    l.outputFill = static_cast<float>(in.unit());
    return l;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    varnok_fuzz::FuzzInput in(data, size);
    ofxhost::Instance& inst = varnok_fuzz::instance();
    inst.setClipLayout("Source", layoutFrom(in));
    inst.setClipLayout("Output", layoutFrom(in));
    const int w = in.range(1, 24), h = in.range(1, 24);
    ofxhost::FloatImage frame(w, h);
    for (float& v : frame.rgba) v = static_cast<float>(in.byte()) / 200.0f;   // a little above 1 too
    inst.setFrameProvider("Source", [&frame](double, ofxhost::FloatImage& out) {
        out = frame;
        return true;
    });
    inst.setFrameRange(0, 0);
    ofxhost::RenderOptions opts;
    if (in.flag()) {
        opts.width = in.range(1, 24);
        opts.height = in.range(1, 24);
    }
    inst.render(0, opts);
    if (inst.imagesOutstanding() != 0) __builtin_trap();   // every fetched image released
    return 0;
}
