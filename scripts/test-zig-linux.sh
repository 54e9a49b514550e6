#!/usr/bin/env bash
# The compiler that makes the macOS bundle, proven on Linux: builds the Linux
# plug-in and the programs that test it through the host library with Zig's
# clang (scripts/install-zig.sh; target glibc 2.28, libc++ linked in, GoogleTest
# built from Debian's sources with the same compiler) into build-zig-linux/,
# checks the binary (scripts/check-linux-plugin.sh) and runs the host-driven
# plug-in, preset and stress tests against it, as the release does for the
# Debian 11 build.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-packages.sh cmake make googletest binutils python3 >&2
zig=$(scripts/install-zig.sh)
export ZIG_GLOBAL_CACHE_DIR=${ZIG_GLOBAL_CACHE_DIR:-$PWD/.toolchains/zig-cache}
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
dir=build-zig-linux
cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/zig.cmake -DVARNOK_ZIG="$zig" \
  -DVARNOK_ZIG_TARGET=x86_64-linux-gnu.2.28 -DCMAKE_BUILD_TYPE=Release -DVARNOK_BENCH=OFF -DVARNOK_CLI=OFF \
  "${launcher[@]}" >&2
cmake --build "$dir" -j2 --target varnok_ofx plugin_tests presets_plugin_tests presets_tests stress_tests >&2
scripts/check-linux-plugin.sh "$dir/Varnok.ofx.bundle/Contents/Linux-x86-64/Varnok.ofx"
"$dir/tests/plugin/plugin_tests"
"$dir/tests/presets/presets_plugin_tests"
"$dir/tests/presets/presets_tests"
"$dir/tests/stress/stress_tests"
