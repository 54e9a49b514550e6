#!/usr/bin/env bash
# Prints the path of the LLVM tool named $1 (llvm-lipo, llvm-objdump): the
# plain name when Debian's llvm package links it, else the newest versioned
# one (llvm-lipo-14, from llvm-14, which llvm depends on). Fails if none.
set -euo pipefail
if command -v "$1"; then exit 0; fi
newest=
for tool in /usr/bin/"$1"-[0-9]*; do
  [ -x "$tool" ] || continue
  if [ -z "$newest" ] || [ "$(printf '%s\n%s\n' "$newest" "$tool" | sort -V | tail -n 1)" = "$tool" ]; then
    newest=$tool
  fi
done
[ -n "$newest" ] || { echo "llvm-tool: no $1 (Debian package llvm)" >&2; exit 1; }
echo "$newest"
