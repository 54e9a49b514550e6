#!/usr/bin/env bash
# Builds the host library, the bundle and the stress tests with
# ThreadSanitizer into build-tsan/ and runs the concurrent-instance tests:
# several instances rendering at once on their own threads. Any race report
# fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
dir=build-tsan
cmake -S . -B "$dir" -DVARNOK_TSAN=ON -DVARNOK_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >&2
cmake --build "$dir" -j"$(nproc)" --target stress_tests >&2
export TSAN_OPTIONS="halt_on_error=1 exitcode=66 ${TSAN_OPTIONS:-}"
"$dir/tests/stress/stress_tests" --gtest_filter='ConcurrentInstances.*'
