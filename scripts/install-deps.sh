#!/usr/bin/env bash
# Installs everything the tools, the tests and the benchmarks need on Debian 12.
set -euo pipefail
packages=(
  # build
  build-essential cmake ninja-build pkg-config
  # libraries the tools link against
  libfreetype-dev libwxgtk3.2-dev libpng-dev
  # tests
  libgtest-dev imagemagick zlib1g-dev fonts-dejavu-core fonts-dustin fontconfig
  xvfb xdotool x11-utils
  xclip
  # fuzzing
  clang libclang-rt-14-dev
  # pixpack memory benchmark (GNU time, bc)
  time bc
  # benchmarks
  libspng-dev libstb-dev liblodepng-dev libdeflate-dev
)
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y "${packages[@]}"
# The Cortex-M4 cross build of examples/firmware: the compiler and newlib's C
# headers only (97 MB). Its recommended C++ library for every ARM variant
# (another 313 MB, 1.5 GB unpacked) is not needed there.
apt-get install -y --no-install-recommends gcc-arm-none-eabi libnewlib-arm-none-eabi
# Runs that firmware on an emulated Cortex-M4 board (mps2-an386) for the device
# test and benchmark: 62 MB with its common and data packages; the recommended
# firmware images for other machines (another 400 MB) are not needed.
apt-get install -y --no-install-recommends qemu-system-arm
