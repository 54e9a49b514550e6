// The host's threads: what the multithread suite lends plug-ins and what the
// host uses for its own per-frame work. Workers start on first use and wait
// between batches, so a render split into many short batches does not pay for
// starting threads each time.
#pragma once

#include <functional>

namespace ofxhost {

// Sets how many threads run a batch, the caller's included; 0 means one per
// processor. Takes effect for the next batch.
void setWorkerCount(unsigned count);
unsigned workerCount();

// Runs job(i) for every i in [0, count) and returns when all are done; the
// calling thread takes part. From inside a job, or while another thread's
// batch holds the workers, the jobs run on the calling thread in order.
void runOnWorkers(unsigned count, const std::function<void(unsigned index)>& job);

// True on one of the pool's own threads.
bool onWorkerThread();

}  // namespace ofxhost
