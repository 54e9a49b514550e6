#!/usr/bin/env bash
# Checks a Linux release build of the plug-in, the way hosts on older systems
# will load it: with objdump, no glibc symbol version above GLIBC_2.28 (the
# VFX Reference Platform's glibc), no GLIBCXX_ or CXXABI_ version (the C++
# runtime is linked in, hosts bring their own), NEEDED only libc, libm, libdl,
# libpthread and the loader, and exactly the two OpenFX entry points exported.
# Prints what it found on stderr; any failed check exits non-zero.
set -euo pipefail
so=$1
max_glibc=2.28
fail() { echo "check-linux-plugin: $so: $*" >&2; exit 1; }
dynsyms=$(objdump -T "$so") || fail "not an ELF shared object objdump can read"
headers=$(objdump -p "$so")

glibc=$(grep -oE '\bGLIBC_[0-9]+(\.[0-9]+)+' <<<"$dynsyms" | sed 's/^GLIBC_//' | sort -uV | paste -sd ' ')
newest=$(tr ' ' '\n' <<<"$glibc" | sort -V | tail -n 1)
if [ -n "$newest" ] && [ "$(printf '%s\n%s\n' "$newest" "$max_glibc" | sort -V | tail -n 1)" != "$max_glibc" ]; then
  fail "needs GLIBC_$newest, above GLIBC_$max_glibc: $(grep -E "GLIBC_$newest\b" <<<"$dynsyms" | awk '{print $NF}' | paste -sd ' ')"
fi
cxx=$(grep -oE '\b(GLIBCXX|CXXABI)_[0-9.]+' <<<"$dynsyms" | sort -u | paste -sd ' ' || true)
[ -z "$cxx" ] || fail "needs the system's C++ runtime: $cxx"

needed=$(awk '$1 == "NEEDED" {print $2}' <<<"$headers" | sort | paste -sd ' ')
for lib in $needed; do
  case "$lib" in
    libc.so.6|libm.so.6|libdl.so.2|libpthread.so.0|ld-linux-x86-64.so.2) ;;
    *) fail "needs $lib (NEEDED: $needed)" ;;
  esac
done

# Defined dynamic symbols: every symbol line but the imports (section *UND*).
exports=$(grep -E '^[0-9a-f]+ ' <<<"$dynsyms" | grep -v '\*UND\*' | awk '{print $NF}' | sort -u | paste -sd ' ')
[ "$exports" = "OfxGetNumberOfPlugins OfxGetPlugin" ] || fail "exports '$exports', not exactly the two entry points"

echo "check-linux-plugin: $so: glibc versions $glibc (at most GLIBC_$max_glibc); NEEDED $needed;" \
  "exports $exports; no GLIBCXX_/CXXABI_" >&2
