#!/usr/bin/env bash
# Builds the libFuzzer harnesses (fuzz/) with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer into build-fuzz/ and runs each one for SECONDS
# (default 45) from its seed corpus, or only the harnesses named after it;
# FUZZ_RUNS=N stops each after N inputs instead.
# A crash, a sanitizer report, a leak or an input slower than 1 s stops the
# run with a non-zero exit; the input is kept in build-fuzz/findings/NAME/.
# New inputs go to build-fuzz/corpus-work/, never into the tree.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
secs=${1:-45}
shift || true
harnesses=("$@")
if [ ${#harnesses[@]} -eq 0 ]; then
  harnesses=(preset_file assignment param_text host_images process_frame)
fi
dir=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$dir" -DVARNOK_FUZZ=ON -DVARNOK_TESTS=OFF -DVARNOK_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >&2
targets=()
for h in "${harnesses[@]}"; do targets+=("fuzz_$h"); done
cmake --build "$dir" -j"$(nproc)" --target "${targets[@]}" >&2
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
for h in "${harnesses[@]}"; do
  work="$dir/corpus-work/$h"
  mkdir -p "$work" "$dir/findings/$h"
  echo "fuzzing $h for ${secs}s" >&2
  # Leaks are checked once, when the run ends (ASan's own check): checking
  # after every input that left memory behind, as libFuzzer would, costs a
  # factor of 16 with the host's logs and caches growing.
  "$dir/fuzz/fuzz_$h" -max_total_time="$secs" -runs="${FUZZ_RUNS:--1}" -timeout=1 -rss_limit_mb=2048 \
    -max_len=8192 -detect_leaks=0 \
    -print_final_stats=1 -artifact_prefix="$dir/findings/$h/" "$work" "fuzz/corpus/$h" 2>&1 |
    grep -v "^#[0-9]*\s*\(NEW\|REDUCE\|pulse\)" >&2
done
