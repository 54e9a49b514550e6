#!/usr/bin/env bash
# Fresh machine to finished render: installs dependencies, builds varnok and
# the bundle (nothing else: no tests, benchmarks or fuzzers), and renders the
# built-in demo clip through the plug-in into out/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
dir=$(scripts/build.sh --target varnok | tail -n 1)
"$dir/cli/varnok" demo -o out/demo "$@"
