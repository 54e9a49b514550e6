#!/usr/bin/env bash
# Installs Zig (its bundled clang is the macOS cross compiler, and builds the
# same sources for Linux) from the PyPI package ziglang, pinned, into a folder
# of the project's own: $VARNOK_ZIG_DIR, default .toolchains/zig-VERSION
# under the tree (git-ignored). Does nothing when it is already there. Prints
# the path of the zig executable on stdout.
set -euo pipefail
cd "$(dirname "$0")/.."
version=0.13.0
dir=${VARNOK_ZIG_DIR:-$PWD/.toolchains/zig-$version}
zig=$dir/ziglang/zig
if [ ! -x "$zig" ] || [ "$("$zig" version 2>/dev/null)" != "$version" ]; then
  python=$(command -v python3 || true)
  if [ -z "$python" ] || ! "$python" -m pip --version >/dev/null 2>&1; then
    scripts/install-packages.sh python3 python3-pip >&2
    python=$(command -v python3)
  fi
  # Installed aside and moved into place whole, so a broken attempt is never reused.
  rm -rf "$dir.partial"
  "$python" -m pip install --disable-pip-version-check --no-deps --quiet \
    --target "$dir.partial" "ziglang==$version" >&2
  rm -rf "$dir"
  mv "$dir.partial" "$dir"
fi
"$zig" version >/dev/null
echo "$zig"
