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

exec "$(dirname "$0")/install-packages.sh" "${packages[@]}"
