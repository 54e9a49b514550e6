#!/usr/bin/env bash
# Checks a macOS build of the bundle, the way macOS and hosts will take it,
# with llvm-objdump --macho and llvm-lipo (Debian's llvm): Contents/Info.plist
# naming the binary; Contents/MacOS/Varnok.ofx universal with exactly an
# x86_64 and an arm64 slice; in each slice a dynamic library or bundle that
# exports exactly _OfxGetNumberOfPlugins and _OfxGetPlugin, loads no dylib but
# /usr/lib/libSystem.B.dylib, and is built for macOS with minos at most 11.0;
# on arm64 an ad-hoc code signature (LC_CODE_SIGNATURE) whose CodeDirectory
# carries the ad-hoc flag and whose page hashes match the slice's bytes.
# Prints what it found on stderr; any failed check exits non-zero.
set -euo pipefail
bundle=$1
binary=$bundle/Contents/MacOS/Varnok.ofx
plist=$bundle/Contents/Info.plist
max_minos=11.0
fail() { echo "check-macos-bundle: $bundle: $*" >&2; exit 1; }
objdump=$("$(dirname "$0")/llvm-tool.sh" llvm-objdump)
lipo=$("$(dirname "$0")/llvm-tool.sh" llvm-lipo)

[ -f "$plist" ] || fail "no Contents/Info.plist"
grep -A1 '<key>CFBundleExecutable</key>' "$plist" | grep -q '<string>Varnok.ofx</string>' ||
  fail "Info.plist does not name Varnok.ofx as the executable"
[ -f "$binary" ] || fail "no Contents/MacOS/Varnok.ofx"

archs=$("$lipo" -archs "$binary" | xargs -n 1 | sort | paste -sd ' ')
[ "$archs" = "arm64 x86_64" ] || fail "slices '$archs', not exactly x86_64 and arm64"
"$lipo" -info "$binary" | grep -q '^Architectures in the fat file' || fail "not a universal (fat) file"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for arch in x86_64 arm64; do
  slice=$tmp/$arch
  "$lipo" "$binary" -thin "$arch" -output "$slice"
  headers=$("$objdump" --macho --private-headers "$slice")
  grep -qE '^ *MH_MAGIC_64 +(X86_64|ARM64) .* (DYLIB|BUNDLE) ' <<<"$headers" ||
    fail "$arch: not a 64-bit dynamic library or bundle"

  exports=$("$objdump" --macho --exports-trie "$slice" | awk '$1 ~ /^0x/ {print $2}' | sort | paste -sd ' ')
  [ "$exports" = "_OfxGetNumberOfPlugins _OfxGetPlugin" ] ||
    fail "$arch: exports '$exports', not exactly the two entry points"

  # Every load command naming a dylib to load, weak, re-exported or upward.
  dylibs=$(awk '/^ *cmd / {cmd = $2} cmd ~ /^LC_(LOAD|LOAD_WEAK|REEXPORT|LAZY_LOAD|LOAD_UPWARD)_DYLIB$/ && $1 == "name" {print $2}' \
    <<<"$headers" | sort -u | paste -sd ' ')
  [ "$dylibs" = "/usr/lib/libSystem.B.dylib" ] || fail "$arch: loads '$dylibs', not libSystem alone"

  build=$(awk '/^ *cmd / {on = ($2 == "LC_BUILD_VERSION")} on && ($1 == "platform" || $1 == "minos") {print $2}' \
    <<<"$headers" | paste -sd ' ')
  platform=${build%% *}
  minos=${build##* }
  [ "$platform" = "macos" ] || fail "$arch: LC_BUILD_VERSION platform '$platform', not macos"
  [ "$(printf '%s\n%s\n' "$minos" "$max_minos" | sort -V | tail -n 1)" = "$max_minos" ] ||
    fail "$arch: minos $minos, above $max_minos"

  signature=$(awk '/^ *cmd / {on = ($2 == "LC_CODE_SIGNATURE")} on && ($1 == "dataoff" || $1 == "datasize") {print $2}' \
    <<<"$headers" | paste -sd ' ')
  signed="unsigned"
  if [ -n "$signature" ]; then
    # The blob: a SuperBlob of big-endian fields holding a CodeDirectory,
    # whose page hashes cover the file up to codeLimit.
    read -r dataoff datasize <<<"$signature"
    signed=$(python3 - "$slice" "$dataoff" "$datasize" <<'PY'
import hashlib, struct, sys
path, offset, size = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
data = open(path, "rb").read()
blob = data[offset:offset + size]
magic, _, count = struct.unpack_from(">III", blob, 0)
if magic != 0xFADE0CC0:
    sys.exit("no embedded signature SuperBlob")
for i in range(count):
    _, at = struct.unpack_from(">II", blob, 12 + 8 * i)
    if struct.unpack_from(">I", blob, at)[0] != 0xFADE0C02:
        continue
    (_, _, version, flags, hash_offset, ident_offset, _, code_slots, code_limit,
     hash_size, hash_type, _, page_log) = struct.unpack_from(">IIIIIIIIIBBBB", blob, at)
    if not flags & 0x2:
        sys.exit("CodeDirectory without the ad-hoc flag (flags 0x%x)" % flags)
    algorithm = {1: "sha1", 2: "sha256"}.get(hash_type)
    if algorithm is None or hashlib.new(algorithm).digest_size != hash_size:
        sys.exit("unknown hash type %d" % hash_type)
    page = 1 << page_log
    if code_limit != offset or code_slots != (code_limit + page - 1) // page:
        sys.exit("code slots do not cover the file up to the signature")
    for slot in range(code_slots):
        want = blob[at + hash_offset + slot * hash_size:at + hash_offset + (slot + 1) * hash_size]
        got = hashlib.new(algorithm, data[slot * page:min((slot + 1) * page, code_limit)]).digest()
        if want != got:
            sys.exit("page %d hash does not match" % slot)
    ident = blob[at + ident_offset:blob.index(b"\0", at + ident_offset)].decode()
    print("ad-hoc signed (%s, %d pages of %d bytes, identifier %s)" % (algorithm, code_slots, page, ident))
    sys.exit(0)
sys.exit("no CodeDirectory in the signature")
PY
    ) || fail "$arch: bad code signature"
  fi
  if [ "$arch" = arm64 ] && [ "$signed" = unsigned ]; then
    fail "arm64: no LC_CODE_SIGNATURE; macOS refuses unsigned arm64 code"
  fi
  echo "check-macos-bundle: $arch: exports $exports; loads $dylibs; macos minos $minos; $signed" >&2
done
echo "check-macos-bundle: $binary: universal ($archs); Info.plist present" >&2
