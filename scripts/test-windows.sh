#!/usr/bin/env bash
# Builds the Windows bundle and test programs (scripts/build-windows.sh) and
# runs them under Wine against that bundle, in a Wine prefix of their own
# inside the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-packages.sh wine wine64 >&2
dir=$(scripts/build-windows.sh | tail -n 1)

export WINEPREFIX="$PWD/$dir/wine" WINEARCH=win64 WINEDEBUG=-all
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  # First start: no .NET or HTML engine installers, which would want a download.
  WINEDLLOVERRIDES="mscoree,mshtml=" wineboot --init >&2
fi
status=0
ctest --test-dir "$dir" --output-on-failure || status=$?
# Wait for this prefix's Wine server to go, so nothing is left running.
wineserver --wait || true
exit "$status"
