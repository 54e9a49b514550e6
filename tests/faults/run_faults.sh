#!/usr/bin/env bash
# Fault injection for the varnok renderer: full disks, a read-only folder,
# decoder and encoder processes that die, damaged inputs, frames that change
# size, the output folder vanishing mid-run, preset files that cannot be
# written. Every case must end with a non-zero exit, exactly one line on
# standard error, no temporary or partial file left, and any earlier output
# of the same name untouched (preset buttons: no change on disk).
#
# usage: run_faults.sh VARNOK_EXE BUNDLE
# Needs root for the small tmpfs mounts; exits 77 (skipped) otherwise.
set -uo pipefail
varnok=$1
bundle=$2
if [ "$(id -u)" -ne 0 ]; then
  echo "fault suite needs root (tmpfs mounts); skipped"
  exit 77
fi

work=$(mktemp -d /tmp/varnok-faults.XXXXXX)
mounts=()
cleanup() {
  for m in "${mounts[@]}"; do umount -l "$m" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
export VARNOK_PLUGIN=$bundle HOME=$work/home
mkdir -p "$HOME"
failures=0
real_ffmpeg=$(command -v ffmpeg)

mount_tmpfs() {   # DIR SIZE [OPTIONS]
  mkdir -p "$1"
  mount -t tmpfs -o "size=$2${3:+,$3}" tmpfs "$1" || { echo "cannot mount tmpfs on $1"; exit 1; }
  mounts+=("$1")
}
fill_disk() {   # DIR: leaves about LEAVE_KB free
  dd if=/dev/zero of="$1/filler" bs=4k 2>/dev/null
  local leave=${2:-0}
  if [ "$leave" -gt 0 ]; then truncate -s "-${leave}K" "$1/filler"; fi
}
checksums() { (cd "$1" && find . -type f ! -name filler -print0 | sort -z | xargs -0 -r md5sum); }

# expect_failure NAME DIR EXPECTED-TEXT -- varnok arguments...
# DIR's files other than the filler must be exactly as before the run.
expect_failure() {
  local name=$1 dir=$2 text=$3
  shift 4
  local before after err rc
  before=$(checksums "$dir")
  err=$("$@" 2>&1 >/dev/null)
  rc=$?
  after=$(checksums "$dir" 2>/dev/null)
  local problems=()
  [ $rc -ne 0 ] || problems+=("exit status 0")
  [ "$(printf '%s\n' "$err" | grep -c .)" -eq 1 ] || problems+=("not one line on stderr")
  [ -z "$text" ] || printf '%s' "$err" | grep -qi -- "$text" || problems+=("message lacks '$text'")
  [ "$before" = "$after" ] || problems+=("output folder changed")
  if find "$dir" -name '*partial*' 2>/dev/null | grep -q .; then problems+=("temporary file left"); fi
  if [ ${#problems[@]} -eq 0 ]; then
    echo "ok    $name: $err"
  else
    echo "FAIL  $name: ${problems[*]}"
    echo "      exit $rc, stderr:"
    printf '%s\n' "$err" | sed 's/^/        /'
    failures=$((failures + 1))
  fi
}

# Footage: a 12-frame video, a PNG sequence of it, larger ones of 48 and 24 frames.
in=$work/in
mkdir -p "$in"
"$real_ffmpeg" -v error -f lavfi -i testsrc=size=320x240:rate=24 -frames:v 12 -c:v libx264 -pix_fmt yuv420p "$in/clip.mkv"
"$real_ffmpeg" -v error -f lavfi -i testsrc=size=320x240:rate=24 -frames:v 12 "$in/seq.%04d.png"
"$real_ffmpeg" -v error -f lavfi -i testsrc=size=640x360:rate=24 -frames:v 48 -c:v libx264 -pix_fmt yuv420p "$in/long.mkv"
# Noise does not compress: its render cannot fit in what is left of a full disk.
"$real_ffmpeg" -v error -f lavfi -i testsrc=size=640x360:rate=24 -vf noise=alls=80:allf=t -frames:v 24 \
  -c:v libx264 -pix_fmt yuv420p "$in/noisy.mkv"
render() { "$varnok" render --quiet "$@"; }

# --- full disk ---------------------------------------------------------------
full=$work/full
mount_tmpfs "$full" 3m
render "$in/clip.mkv" -o "$full/seq.%04d.png" --frames 3-3 || exit 1
render "$in/clip.mkv" -o "$full/one.png" --frames 5-5 || exit 1
render "$in/clip.mkv" -o "$full/video.mkv" --frames 0-1 || exit 1
# Room for a few frames: the run fails part-way, after frames were written.
fill_disk "$full" 160
expect_failure "full disk, sequence" "$full" "no space" -- render "$in/clip.mkv" -o "$full/seq.%04d.png"
fill_disk "$full" 24
expect_failure "full disk, single image" "$full" "no space" -- render "$in/clip.mkv" -o "$full/one.png" --frames 2-2
fill_disk "$full" 0
expect_failure "full disk, single image, no byte free" "$full" "" -- render "$in/clip.mkv" -o "$full/one.png" --frames 2-2
expect_failure "full disk, video" "$full" "no space" -- render "$in/noisy.mkv" -o "$full/video.mkv"
expect_failure "full disk, EXR sequence" "$full" "" -- render "$in/clip.mkv" -o "$full/seq.####.exr"

# --- read-only output folder -------------------------------------------------
ro=$work/ro
mount_tmpfs "$ro" 4m
render "$in/clip.mkv" -o "$ro/one.png" --frames 1-1 || exit 1
mount -o remount,ro "$ro"
expect_failure "read-only folder, sequence" "$ro" "read-only" -- render "$in/clip.mkv" -o "$ro/seq.%04d.png"
expect_failure "read-only folder, single image" "$ro" "read-only" -- render "$in/clip.mkv" -o "$ro/one.png" --frames 2-2
expect_failure "read-only folder, video" "$ro" "" -- render "$in/clip.mkv" -o "$ro/video.mp4"

# --- decoder or encoder dying mid-run ---------------------------------------
# A stand-in ffmpeg on PATH passes the call to the real one but dies by a
# signal part-way: the decoder after 3 frames of output, the encoder after
# taking 3 frames of input.
fake=$work/fakebin
mkdir -p "$fake"
cat > "$fake/ffmpeg" <<FAKE
#!/usr/bin/env bash
if [ "\${FAULT:-}" = decoder ] && [ "\${@: -1}" = "-" ]; then
  "$real_ffmpeg" "\$@" | head -c \$((320 * 240 * 4 * 3))
  kill -KILL \$\$
fi
if [ "\${FAULT:-}" = encoder ] && [[ " \$* " == *" -i - "* ]]; then
  head -c \$((320 * 240 * 8 * 3)) | "$real_ffmpeg" "\$@"
  kill -KILL \$\$
fi
exec "$real_ffmpeg" "\$@"
FAKE
chmod +x "$fake/ffmpeg"
out=$work/out
mkdir -p "$out"
render "$in/clip.mkv" -o "$out/earlier.mp4" --frames 0-1 || exit 1
render "$in/clip.mkv" -o "$out/seq.%04d.png" --frames 4-4 || exit 1
expect_failure "decoder dies" "$out" "ffmpeg" -- env FAULT=decoder PATH="$fake:$PATH" \
  "$varnok" render --quiet "$in/clip.mkv" -o "$out/seq.%04d.png"
expect_failure "encoder dies" "$out" "ffmpeg" -- env FAULT=encoder PATH="$fake:$PATH" \
  "$varnok" render --quiet "$in/clip.mkv" -o "$out/earlier.mp4"

# --- damaged inputs ---------------------------------------------------------
bad=$work/bad
mkdir -p "$bad"
cp "$in"/seq.*.png "$bad/"
half() { head -c $(($(stat -c %s "$1") / 2)) "$1"; }
half "$in/seq.0006.png" > "$bad/seq.0006.png"
expect_failure "truncated image in a sequence" "$out" "seq.0006.png" -- render "$bad/seq.%04d.png" -o "$out/seq.%04d.png"
half "$in/seq.0002.png" > "$bad/cut.png"
expect_failure "truncated single image" "$out" "cut.png" -- render "$bad/cut.png" -o "$out/one.png"
"$real_ffmpeg" -v error -f lavfi -i testsrc=size=320x240 -frames:v 1 "$bad/whole.jpg"
half "$bad/whole.jpg" > "$bad/cut.jpg"
expect_failure "truncated JPEG" "$out" "cut.jpg" -- render "$bad/cut.jpg" -o "$out/one.png"
"$real_ffmpeg" -v error -f lavfi -i testsrc=size=320x240 -frames:v 1 -pix_fmt rgb48le "$bad/whole.exr" 2>/dev/null ||
  oiiotool "$bad/whole.jpg" -d half -o "$bad/whole.exr"
half "$bad/whole.exr" > "$bad/cut.exr"
expect_failure "truncated EXR" "$out" "cut.exr" -- render "$bad/cut.exr" -o "$out/one.png"
head -c 5000 /dev/urandom > "$bad/noise.png"
expect_failure "corrupt image" "$out" "noise.png" -- render "$bad/noise.png" -o "$out/one.png"
half "$in/clip.mkv" > "$bad/cut.mkv"
expect_failure "truncated video" "$out" "" -- render "$bad/cut.mkv" -o "$out/seq.%04d.png"
# MP4 rather than Matroska, whose random segment id moves everything a little
# on every run; the damage is fixed bytes at a fixed place, the same each time.
"$real_ffmpeg" -v error -f lavfi -i testsrc=size=320x240:rate=24 -frames:v 12 -c:v libx264 -pix_fmt yuv420p \
  "$bad/corrupt.mp4"
size=$(stat -c %s "$bad/corrupt.mp4")
head -c 4000 "$in/seq.0003.png" | dd of="$bad/corrupt.mp4" bs=1 seek=$((size / 3)) conv=notrunc 2>/dev/null
expect_failure "corrupt video" "$out" "decoding" -- render "$bad/corrupt.mp4" -o "$out/seq.%04d.png"
head -c 4000 /dev/urandom > "$bad/noise.mkv"
expect_failure "video of noise" "$out" "noise.mkv" -- render "$bad/noise.mkv" -o "$out/seq.%04d.png"

# --- frames that change size ------------------------------------------------
mixed=$work/mixed
mkdir -p "$mixed"
cp "$in"/seq.*.png "$mixed/"
"$real_ffmpeg" -v error -y -f lavfi -i testsrc=size=160x120 -frames:v 1 "$mixed/seq.0007.png"
expect_failure "frame size changes mid-sequence" "$out" "0007\|size\|160x120" -- render "$mixed/seq.%04d.png" -o "$out/seq.%04d.png"

# --- output folder removed during the run -----------------------------------
gone=$work/gone
mkdir -p "$gone"
( render "$in/long.mkv" -o "$gone/seq.%04d.png" 2>"$work/gone.err"; echo $? > "$work/gone.rc" ) &
for _ in $(seq 1 200); do
  if find "$gone" -name '*partial*' 2>/dev/null | grep -q .; then break; fi
  sleep 0.05
done
rm -rf "$gone"
wait
err=$(cat "$work/gone.err")
if [ "$(cat "$work/gone.rc")" -ne 0 ] && [ "$(printf '%s\n' "$err" | grep -c .)" -eq 1 ] && [ ! -e "$gone" ]; then
  echo "ok    output folder removed: $err"
else
  echo "FAIL  output folder removed: exit $(cat "$work/gone.rc"), stderr: $err"
  failures=$((failures + 1))
fi

# --- preset files that cannot be written ------------------------------------
# Buttons fail silently inside a host; what matters is the disk: the earlier
# preset file is untouched and no temporary file is left.
presets=$work/presets
mount_tmpfs "$presets" 1m
render "$in/clip.mkv" -o "$out/p.png" --frames 0-0 --preset 3 --set presetPath="$presets/look.qelvar" --press savePreset || exit 1
rm -f "$out/p.png"
before=$(checksums "$presets")
fill_disk "$presets" 0
render "$in/clip.mkv" -o "$out/p.png" --frames 0-0 --preset 9 --set presetPath="$presets/look.qelvar" --press savePreset 2>/dev/null
rm -f "$presets/filler"
mount -o remount,ro "$presets"
render "$in/clip.mkv" -o "$out/p.png" --frames 0-0 --preset 7 --set presetPath="$presets/look.qelvar" --press savePreset 2>/dev/null
render "$in/clip.mkv" -o "$out/p.png" --frames 0-0 --preset 7 --set presetPath="$presets/missing/dir/look.qelvar" --press savePreset 2>/dev/null
if [ "$before" = "$(checksums "$presets")" ] && ! find "$presets" -name '*partial*' -o -name '*.tmp*' | grep -q .; then
  echo "ok    preset file cannot be written: earlier file untouched"
else
  echo "FAIL  preset file cannot be written: the preset folder changed"
  failures=$((failures + 1))
fi

echo "$failures failure(s)"
[ $failures -eq 0 ]
