#!/usr/bin/env bash
# Makes docs/track-paths.png: synthetic footage drawn by ffmpeg (red discs that
# cross, one passing behind a bar, one circling), tracked by `varnok track`
# with its paths picture. Usage: scripts/track-paths-picture.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
disc() { echo "lt(hypot(X-($1),Y-($2)),13)"; }
inside="$(disc '40+7*N' 110)+$(disc '600-7*N' 118)+$(disc 430 '10+6*N')+$(disc '200+90*cos(N/9)' '250+70*sin(N/9)')+$(disc '120+4*N' '330-4*N')"
bar="between(X,395,465)*between(Y,196,242)"
shade="if($bar,70,if($inside,%s,45+20*Y/360))"
ffmpeg -v error -f lavfi -i "color=c=black:s=640x360:r=24:d=3,format=rgb24,geq=r='$(printf "$shade" 230)':g='$(printf "$shade" 25)':b='$(printf "$shade" 30)'" \
    -pix_fmt yuv444p -c:v libx264 -qp 0 "$work/discs.mkv"
"$build/cli/varnok" track "$work/discs.mkv" -o "$work/tracks.csv" --quiet --paths docs/track-paths.png \
    --set useTemporalTracking=true --set fastPreview=false --set temporalFrames=8
echo "wrote docs/track-paths.png"
