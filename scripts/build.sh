#!/usr/bin/env bash
# Configures and builds into build/ (or build-sanitize/ with --sanitize);
# --target NAME... builds only those targets. Build messages go to stderr; the
# one line on stdout is the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build
flags=()
targets=()
if [ "${1:-}" = "--sanitize" ]; then
  dir=build-sanitize
  flags=(-DVARNOK_SANITIZE=ON -DVARNOK_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo)
  shift
fi
if [ "${1:-}" = "--target" ]; then
  shift
  targets=(--target "$@")
fi
cmake -S . -B "$dir" "${flags[@]}" >&2
cmake --build "$dir" -j"$(nproc)" "${targets[@]}" >&2
echo "$dir"
