// The one place the engine may spread work over threads: the caller hands in
// a way to run a batch of independent jobs, and the engine splits its images
// into bands of rows (or of columns) and gives each band to one job. The
// engine never starts a thread itself; with no runner every band runs on the
// calling thread, in order. Every stage writes each output pixel from one
// band only and reads nothing another band writes in the same batch, so the
// result is the same bits whatever the number of bands.
#pragma once

#include <cstdint>
#include <functional>

namespace ormel {

// A contiguous run of rows (or columns): [begin, end).
struct Band {
    int32_t begin = 0;
    int32_t end = 0;
};

struct RowBands {
    // Runs job(0) .. job(count - 1), possibly at the same time, and returns
    // when every one has finished. Empty: the engine runs them in order itself.
    std::function<void(int32_t count, const std::function<void(int32_t)>& job)> runJobs;
    // How many bands to cut a batch into; below 1 counts as 1.
    int32_t bands = 1;

    // Cuts [0, lines) into min(bands, lines) bands of near equal size and calls
    // work(band) once for each. Returns after all of them.
    void forEachBand(int32_t lines, const std::function<void(Band)>& work) const;

    // The single-threaded seam: one band, on the calling thread.
    static const RowBands& single();
};

}  // namespace ormel
