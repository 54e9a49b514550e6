#!/usr/bin/env bash
# Checks a Windows build of the plug-in: a 64-bit DLL that exports exactly
# OfxGetNumberOfPlugins and OfxGetPlugin and needs no MinGW DLL beside it.
set -euo pipefail
dll=$1
dump=$(x86_64-w64-mingw32-objdump -p "$dll")
fail() { echo "check-windows-dll: $dll: $*" >&2; exit 1; }
grep -q 'file format pei-x86-64' <<<"$dump" || fail "not an x86-64 Windows image"
grep -q $'^Magic\t*020b' <<<"$dump" || fail "not a 64-bit (PE32+) image"
# The characteristic flags are listed one per tab-indented line.
awk '/^Characteristics/ {on = 1; next} on && !/^\t/ {on = 0} on && $1 == "DLL" {dll = 1} END {exit !dll}' <<<"$dump" ||
  fail "not a DLL"
exports=$(awk '/^\[Ordinal\/Name Pointer\] Table/ {on = 1; next} on && NF == 0 {on = 0} on {print $NF}' <<<"$dump" |
  sort | paste -sd ' ')
[ "$exports" = "OfxGetNumberOfPlugins OfxGetPlugin" ] || fail "exports '$exports', not exactly the two entry points"
imports=$(awk '/DLL Name:/ {print tolower($3)}' <<<"$dump" | sort -u | paste -sd ' ')
for lib in $imports; do
  case "$lib" in
    libstdc++*|libgcc*|libwinpthread*|libssp*|libgomp*) fail "needs $lib beside it (imports: $imports)" ;;
  esac
done
echo "check-windows-dll: $dll exports $exports; imports $imports" >&2
