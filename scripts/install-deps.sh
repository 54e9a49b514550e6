#!/usr/bin/env bash
# Installs every build, test and run-time dependency from Debian packages.
# Idempotent: does nothing when everything is already present.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libopenimageio-dev openimageio-tools
  ffmpeg
  ocl-icd-libopencl1 ocl-icd-opencl-dev opencl-headers pocl-opencl-icd
  time
  clang libclang-rt-dev llvm   # libFuzzer harnesses and ThreadSanitizer runs
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}" >&2
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
