// The host's threads, offered through the OpenFX multithread suite, as the
// engine's row bands. The plug-in starts no thread of its own: every band runs
// on a thread the host lends, or on the calling thread.
#pragma once

#include "engine/row_bands.h"
#include "ofxMultiThread.h"

namespace ormel {

// Bands for as many processors as the suite reports (a few per processor). Without a suite, with one
// processor, or when called on a thread the host itself spawned (the host is
// then already splitting work), everything runs on the calling thread. A job
// the host fails to run is run on the calling thread afterwards.
RowBands rowBandsFrom(const OfxMultiThreadSuiteV1* suite);

}  // namespace ormel
