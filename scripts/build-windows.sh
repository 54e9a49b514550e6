#!/usr/bin/env bash
# Cross-builds the Windows bundle and the Windows test programs into
# build-windows/ with Debian's MinGW-w64 compiler, then checks the DLL
# (scripts/check-windows-dll.sh): 64-bit, exactly the two OpenFX entry points
# exported, no MinGW DLL needed beside it. Build messages go to stderr; the one
# line on stdout is the build folder. --bundle-only builds the bundle alone
# (the release package), not the test programs.
set -euo pipefail
cd "$(dirname "$0")/.."
# googletest: its sources, built here with the cross compiler.
scripts/install-packages.sh cmake make g++-mingw-w64-x86-64-posix googletest >&2

dir=build-windows
cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DVARNOK_BENCH=OFF >&2
targets=()
if [ "${1:-}" = "--bundle-only" ]; then targets=(--target varnok_ofx); fi
cmake --build "$dir" -j2 "${targets[@]}" >&2

scripts/check-windows-dll.sh "$dir/Varnok.ofx.bundle/Contents/Win64/Varnok.ofx"
echo "$dir"
