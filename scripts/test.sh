#!/usr/bin/env bash
# Installs dependencies, builds and runs every test. --sanitize builds and runs
# them under AddressSanitizer and UndefinedBehaviorSanitizer instead.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
dir=$(scripts/build.sh "$@" | tail -n 1)
ctest --test-dir "$dir" --output-on-failure -j"$(nproc)"
