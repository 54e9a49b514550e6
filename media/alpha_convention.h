// How files keep colour against alpha, and the conversions a rendered frame
// needs to be kept that way. OpenEXR defines its alpha as associated
// (premultiplied); PNG defines its alpha as unassociated (straight),
// and TIFF says which in the file, both handled by OpenImageIO once told
// what the frame holds. Video codecs have no flag: ProRes 4444, FFV1 and
// VP9 alpha is read as straight by ffmpeg and by editors.
#pragma once

#include "host/ofx_host.h"

namespace varnok {

// Colour divided by alpha wherever alpha is above 0; a clear pixel keeps its
// colour, which nothing shows.
void unpremultiply(ofxhost::FloatImage& image);
// Colour multiplied by alpha.
void premultiply(ofxhost::FloatImage& image);

}  // namespace varnok
