#!/usr/bin/env bash
# Builds the release package into dist/:
#   Varnok-VERSION.zip          one Varnok.ofx.bundle (Linux, Windows, macOS, icon), LICENSE.txt,
#                               INSTALL.txt, THIRD-PARTY-NOTICES.txt
#   varnok_VERSION_amd64.deb    varnok in /usr/bin and the bundle in /usr/OFX/Plugins, for Debian 12
#
# The Linux plug-in is built inside a Debian 11 root (glibc 2.31, GCC 10, the
# oldest Debian the package registry serves) made with debootstrap and kept in
# $VARNOK_RELEASE_ROOT (default /var/cache/varnok/debian11-root) for later
# runs. Math symbols are bound to versions glibc 2.28 has
# (cmake/glibc_2_28_symbols.h) and scripts/check-linux-plugin.sh checks the
# result with objdump. In the same root the host library and the host-driven
# plug-in, preset and stress tests are built and run against that very
# binary. The Windows bundle is the MinGW build (scripts/build-windows.sh),
# the macOS binary (universal, x86_64 and arm64) and Info.plist the Zig cross
# build (scripts/build-macos.sh, checked by scripts/check-macos-bundle.sh);
# the same Zig compiler builds the Linux plug-in too, which passes the same
# host-driven tests (scripts/test-zig-linux.sh) but is not shipped. The icon is drawn by the overlay renderer (tools/icon). Then the zip's
# bundle is listed and renders through `varnok --plugin`, to the same pixels
# as the bundle built on this machine, and the package's varnok finds the
# package's bundle.
# Any failed step or check stops the script with a non-zero exit.
# Needs root (or sudo) for debootstrap, chroot and mounts.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
as_root=()
if [ "$(id -u)" -ne 0 ]; then as_root=(sudo); fi

# Each stage's time goes to stderr, for the record.
stage_name=
stage_start=$SECONDS
stage_end() {
  [ -z "$stage_name" ] || echo "build-release: $stage_name: $((SECONDS - stage_start)) s" >&2
}
stage() {
  stage_end
  stage_name=$1
  stage_start=$SECONDS
  echo "build-release: $stage_name ..." >&2
}
fail() { echo "build-release: $*" >&2; exit 1; }

version=$(sed -n 's/^project(Varnok VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || fail "no version in CMakeLists.txt's project()"
root=${VARNOK_RELEASE_ROOT:-/var/cache/varnok/debian11-root}
root_ccache=$(dirname "$root")/debian11-ccache
mirror=${VARNOK_DEBIAN_MIRROR:-http://deb.debian.org/debian}
out=build-release
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

stage "packages on this machine"
scripts/install-deps.sh >&2
scripts/install-packages.sh debootstrap binutils zip unzip dpkg-dev util-linux >&2

stage "Debian 11 root in $root"
# One release build at a time uses the root (its package installs above all).
"${as_root[@]}" mkdir -p "$(dirname "$root")"
lock=$root.lock
[ -w "$lock" ] || { "${as_root[@]}" touch "$lock" && "${as_root[@]}" chmod 666 "$lock"; }
exec 9>"$lock"
flock 9
if [ ! -e "$root/etc/varnok-release-root" ]; then
  # Made aside and moved into place whole, so a broken attempt is never reused.
  "${as_root[@]}" rm -rf "$root.partial"
  "${as_root[@]}" debootstrap --variant=minbase bullseye "$root.partial" "$mirror" >&2
  echo "Debian 11 root for the Varnok release build" | "${as_root[@]}" tee "$root.partial/etc/varnok-release-root" >/dev/null
  "${as_root[@]}" rm -rf "$root"
  "${as_root[@]}" mv "$root.partial" "$root"
fi
"${as_root[@]}" cp /etc/resolv.conf "$root/etc/resolv.conf"
"${as_root[@]}" mkdir -p "$root_ccache"
mkdir -p "$out/linux"

# Runs the shell script $1 inside the root with the tree read-only at /src and
# $out/linux at /build, in a mount namespace of its own: every mount goes
# away with it, however it ends.
in_root() {
  "${as_root[@]}" unshare --mount --propagation private -- bash -euc '
    root=$1 top=$2 build=$3 cache=$4 script=$5
    mkdir -p "$root/src" "$root/build" "$root/ccache"
    mount --bind "$top" "$root/src"
    mount -o remount,bind,ro "$root/src"
    mount --bind "$build" "$root/build"
    mount --bind "$cache" "$root/ccache"
    mount -t proc proc "$root/proc"
    mount --rbind /dev "$root/dev"
    mount -t tmpfs tmpfs "$root/tmp"
    exec chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/tmp LANG=C.UTF-8 \
      CCACHE_DIR=/ccache DEBIAN_FRONTEND=noninteractive /bin/bash -euc "$script"
  ' in_root "$root" "$top" "$top/$out/linux" "$root_ccache" "$1"
}

stage "release plug-in built in the Debian 11 root"
# ccache when it is there, never needed. Only the bundle and the programs
# that test it through the host library: no OpenImageIO or ffmpeg in the root.
in_root '
  /src/scripts/install-packages.sh g++ cmake make libgtest-dev ccache
  launcher=
  if command -v ccache >/dev/null; then
    launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache"
  fi
  cmake -S /src -B /build -DCMAKE_BUILD_TYPE=Release -DVARNOK_GLIBC_2_28=ON \
    -DVARNOK_CLI=OFF -DVARNOK_BENCH=OFF $launcher >&2
  cmake --build /build -j"$(nproc)" \
    --target varnok_ofx plugin_tests presets_plugin_tests presets_tests stress_tests >&2
' || fail "the release build in the Debian 11 root failed"
linux_so=$out/linux/Varnok.ofx.bundle/Contents/Linux-x86-64/Varnok.ofx

stage "objdump checks of the release plug-in"
scripts/check-linux-plugin.sh "$linux_so"

stage "host-driven tests against the release plug-in in the Debian 11 root"
# Load, describe, render (temporal tracking included), presets loaded and
# saved, through the host library; the tests open the bundle just built. Then
# instances rendering at once, a long run and repeated loading and unloading,
# which the linked-in C++ runtime must survive on this older glibc.
in_root '
  cd /build
  tests/plugin/plugin_tests
  tests/presets/presets_plugin_tests
  tests/presets/presets_tests
  tests/stress/stress_tests
' || fail "the host-driven tests failed against the release plug-in in the Debian 11 root"
exec 9>&-

stage "Windows bundle"
win_dir=$(scripts/build-windows.sh --bundle-only | tail -n 1)
win_dll=$win_dir/Varnok.ofx.bundle/Contents/Win64/Varnok.ofx

stage "macOS bundle, cross-built with Zig and checked"
mac_bundle=$(scripts/build-macos.sh | tail -n 1)

stage "Linux plug-in built with Zig, host-driven tests against it"
scripts/test-zig-linux.sh >&2

stage "varnok and the icon, built on this machine"
host_dir=$out/host
# Installed under /usr, so the program finds /usr/OFX/Plugins/Varnok.ofx.bundle.
cmake -S . -B "$host_dir" -DCMAKE_BUILD_TYPE=Release -DVARNOK_TESTS=OFF -DVARNOK_BENCH=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr -DVARNOK_OFX_INSTALL_DIR=/usr/OFX/Plugins "${launcher[@]}" >&2
cmake --build "$host_dir" -j"$(nproc)" --target varnok varnok_icon >&2

stage "zip"
stage_dir=$out/zip
rm -rf "$stage_dir" && mkdir -p "$stage_dir"
bundle=$stage_dir/Varnok.ofx.bundle
install -D -m 755 "$linux_so" "$bundle/Contents/Linux-x86-64/Varnok.ofx"
install -D -m 755 "$win_dll" "$bundle/Contents/Win64/Varnok.ofx"
install -D -m 755 "$mac_bundle/Contents/MacOS/Varnok.ofx" "$bundle/Contents/MacOS/Varnok.ofx"
install -m 644 "$mac_bundle/Contents/Info.plist" "$bundle/Contents/Info.plist"
mkdir -p "$bundle/Contents/Resources"
"$host_dir/tools/icon/varnok_icon" "$bundle/Contents/Resources/com.tesmar.VarnokOFX.png"
cp LICENSE "$stage_dir/LICENSE.txt"
cp packaging/INSTALL.txt "$stage_dir/INSTALL.txt"
# The notices of the runtimes linked into the binaries, as Debian ships them:
# GCC's from the Debian 11 root, MinGW-w64's and its GCC's from this machine,
# LLVM's C++ runtime (libc++, libc++abi, libunwind) from the Zig that built
# the macOS binary.
notices() {
  local notice label
  for notice in "$@"; do
    [ -s "$notice" ] || fail "no notice at $notice"
    label=${notice#"$root"}
    printf '%s\n%s\n%s\n\n' "==============================================================================" \
      "${label#"$top/"}" "=============================================================================="
    cat "$notice"
    echo
  done
}
linux_notice=$root/usr/share/doc/gcc-10-base/copyright
zig_lib=$(dirname "$(scripts/install-zig.sh)")/lib
notices "$linux_notice" /usr/share/doc/mingw-w64-x86-64-dev/copyright /usr/share/doc/gcc-mingw-w64-base/copyright \
  "$zig_lib/libcxx/LICENSE.TXT" "$zig_lib/libcxxabi/LICENSE.TXT" "$zig_lib/libunwind/LICENSE.TXT" \
  >"$stage_dir/THIRD-PARTY-NOTICES.txt"
# The same files give the same archive: every date is the commit's.
stamp=$(git log -1 --format=%ct 2>/dev/null || date +%s)
find "$stage_dir" -exec touch -h -d "@$stamp" {} +
mkdir -p dist
zip_file=dist/Varnok-$version.zip
rm -f "$zip_file"
(cd "$stage_dir" && zip -qrX "$top/$zip_file" Varnok.ofx.bundle LICENSE.txt INSTALL.txt THIRD-PARTY-NOTICES.txt)

stage "the zip's bundle through varnok --plugin"
check=$out/check
rm -rf "$check" && mkdir -p "$check/unzipped" "$check/in"
unzip -l "$zip_file" >&2
unzip -q "$zip_file" -d "$check/unzipped"
zipped=$check/unzipped/Varnok.ofx.bundle
cmp "$zipped/Contents/Linux-x86-64/Varnok.ofx" "$linux_so" || fail "the zip's Linux binary is not the tested one"
cmp "$zipped/Contents/MacOS/Varnok.ofx" "$mac_bundle/Contents/MacOS/Varnok.ofx" ||
  fail "the zip's macOS binary is not the checked one"
scripts/check-macos-bundle.sh "$zipped"
"$host_dir/cli/varnok" params --plugin "$zipped" | head -n 1 >&2
# Float frames in and out, so any difference in any bit shows: ffmpeg's test
# pattern through every built-in look with tracking through time, once with
# the release plug-in (GCC 10) and once with the one built here.
ffmpeg -loglevel error -f lavfi -i testsrc2=size=320x180:rate=24 -frames:v 6 "$check/in/frame.%04d.png"
for f in "$check"/in/frame.*.png; do
  oiiotool "$f" -d float -o "${f%.png}.exr"
  rm "$f"
done
here=$host_dir/Varnok.ofx.bundle
looks=$("$host_dir/cli/varnok" presets --plugin "$here" | awk '$1 ~ /^[0-9]+$/ {print $1}')
[ -n "$looks" ] || fail "no built-in looks listed"
for look in $looks; do
  for which in zipped here; do
    mkdir -p "$check/$which/$look"
    "$host_dir/cli/varnok" render "$check/in/frame.%04d.exr" -o "$check/$which/$look/out.####.exr" --quiet \
      --plugin "${!which}" --preset "$look" --set useTemporalTracking=true --set fastPreview=false
  done
  # Every pixel value equal (threshold 0); the files' DateTime may not be.
  for f in "$check/here/$look"/*.exr; do
    idiff -q -fail 0 -warn 0 "$f" "$check/zipped/$look/$(basename "$f")" >&2 ||
      fail "look $look: $(basename "$f") differs between the zip's bundle and the one built here"
  done
done
echo "build-release: $(wc -w <<<"$looks") looks x 6 frames: the same pixels from the zip's bundle and this machine's" >&2

stage "Debian package"
deb_root=$out/deb
rm -rf "$deb_root" && mkdir -p "$deb_root/DEBIAN"
install -D -m 755 "$host_dir/cli/varnok" "$deb_root/usr/bin/varnok"
strip --strip-unneeded "$deb_root/usr/bin/varnok"
# Windows files have no place in a Debian package: the Linux binary and the icon.
mkdir -p "$deb_root/usr/OFX/Plugins/Varnok.ofx.bundle/Contents"
cp -a "$bundle/Contents/Linux-x86-64" "$bundle/Contents/Resources" "$deb_root/usr/OFX/Plugins/Varnok.ofx.bundle/Contents/"
install -D -m 644 LICENSE "$deb_root/usr/share/doc/varnok/copyright"
notices "$linux_notice" >>"$deb_root/usr/share/doc/varnok/copyright"
# Library dependencies as dpkg-shlibdeps finds them, from both binaries;
# ffmpeg is a program varnok runs.
shlib_dir=$out/shlibdeps
rm -rf "$shlib_dir" && mkdir -p "$shlib_dir/debian"
printf 'Source: varnok\n\nPackage: varnok\nArchitecture: amd64\n' >"$shlib_dir/debian/control"
libs=$(cd "$shlib_dir" && dpkg-shlibdeps -O "-e$top/$deb_root/usr/bin/varnok" \
  "-e$top/$deb_root/usr/OFX/Plugins/Varnok.ofx.bundle/Contents/Linux-x86-64/Varnok.ofx" 2>/dev/null |
  sed -n 's/^shlibs:Depends=//p')
[ -n "$libs" ] || fail "dpkg-shlibdeps found no dependencies"
grep -q libopenimageio <<<"$libs" || fail "no OpenImageIO library among the dependencies: $libs"
cat >"$deb_root/DEBIAN/control" <<EOF
Package: varnok
Version: $version
Architecture: amd64
Maintainer: Tesmar <varnok@tesmar.invalid>
Section: video
Priority: optional
Installed-Size: $(du -sk --exclude=DEBIAN "$deb_root" | cut -f1)
Depends: $libs, ffmpeg
Suggests: ocl-icd-libopencl1
Description: Varnok OpenFX effect and its command-line renderer
 Varnok is an OpenFX image effect for compositing and editing hosts: it
 keys the regions near a target colour, follows them through earlier
 frames, draws a heads-up-display overlay over them and runs screen
 treatments. The bundle goes to /usr/OFX/Plugins, where OpenFX hosts on
 Linux look for plug-ins. The varnok program renders footage through it.
EOF
find "$deb_root" -exec touch -h -d "@$stamp" {} +
deb_file=dist/varnok_${version}_amd64.deb
dpkg-deb --root-owner-group -Zxz --build "$deb_root" "$deb_file" >&2

stage "the package's varnok finds the package's bundle"
# apt can install it here (its dependencies resolve), without installing it.
apt-get install -s "./$deb_file" >&2
rm -rf "$check/deb" && dpkg-deb -x "$deb_file" "$check/deb"
versions=$("$check/deb/usr/bin/varnok" --version)
echo "$versions" >&2
grep -qx "bundle: $top/$check/deb/usr/OFX/Plugins/Varnok.ofx.bundle" <<<"$versions" ||
  fail "the packaged varnok does not take the packaged bundle"
grep -qx "plug-in: com.tesmar.VarnokOFX $version" <<<"$versions" || fail "the packaged bundle is not version $version"
stage_end
ls -l "$zip_file" "$deb_file" >&2
