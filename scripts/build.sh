#!/usr/bin/env bash
# Configures and builds into build/ (or build-sanitize/ with --sanitize).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build
flags=()
if [ "${1:-}" = "--sanitize" ]; then
  dir=build-sanitize
  flags=(-DVARNOK_SANITIZE=ON -DVARNOK_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo)
fi
cmake -S . -B "$dir" "${flags[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
echo "$dir"
