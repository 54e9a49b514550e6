#!/usr/bin/env bash
# Cross-builds the macOS bundle into build-macos/ with Zig's clang
# (scripts/install-zig.sh), no Apple SDK: the plug-in for x86_64 and for arm64
# (macOS 11.0 and later, the C++ runtime linked in), joined into one universal
# Contents/MacOS/Varnok.ofx with llvm-lipo, beside Contents/Info.plist; then
# checks it (scripts/check-macos-bundle.sh). Each slice is built in
# build-macos/<arch>. Build messages go to stderr; the one line on stdout is
# the bundle's path. The binary is not run here: there is no Mac.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-packages.sh cmake make llvm python3 >&2
zig=$(scripts/install-zig.sh)
# Zig builds its C++ runtime per target once and keeps it in its cache.
export ZIG_GLOBAL_CACHE_DIR=${ZIG_GLOBAL_CACHE_DIR:-$PWD/.toolchains/zig-cache}
lipo=$(scripts/llvm-tool.sh llvm-lipo)
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

dir=build-macos
slices=()
for target in x86_64-macos aarch64-macos; do
  arch_dir=$dir/${target%%-*}
  cmake -S . -B "$arch_dir" -DCMAKE_TOOLCHAIN_FILE=cmake/zig.cmake -DVARNOK_ZIG="$zig" \
    -DVARNOK_ZIG_TARGET="$target" -DCMAKE_BUILD_TYPE=Release -DVARNOK_TESTS=OFF -DVARNOK_BENCH=OFF \
    -DVARNOK_CLI=OFF "${launcher[@]}" >&2
  cmake --build "$arch_dir" -j2 --target varnok_ofx >&2
  slices+=("$arch_dir/Varnok.ofx.bundle/Contents/MacOS/Varnok.ofx")
done

bundle=$dir/Varnok.ofx.bundle
rm -rf "$bundle" && mkdir -p "$bundle/Contents/MacOS"
"$lipo" -create "${slices[@]}" -output "$bundle/Contents/MacOS/Varnok.ofx"
version=$(sed -n 's/^project(Varnok VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
sed "s/@VERSION@/$version/g" packaging/Info.plist.in >"$bundle/Contents/Info.plist"

scripts/check-macos-bundle.sh "$bundle"
echo "$bundle"
