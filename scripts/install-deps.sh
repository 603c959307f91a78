#!/usr/bin/env bash
# Installs everything the tools, the tests and the benchmarks need on Debian 12.
set -euo pipefail
packages=(
  # build
  build-essential cmake ninja-build pkg-config
  # libraries the tools link against
  libfreetype-dev libwxgtk3.2-dev libpng-dev
  # tests
  libgtest-dev imagemagick python3-pil zlib1g-dev fonts-dejavu-core fonts-dustin fontconfig
  libpixman-1-dev
  # an icon font (private-use area) for the fallback-font tests
  fonts-font-awesome
  xvfb xdotool x11-utils
  xclip
  # pixpack --format tests: pixman's conversions, and two photographs (CC-BY-4.0)
  libpixman-1-dev lomiri-wallpapers-16.04
  # fuzzing
  clang libclang-rt-14-dev
  # pixpack memory benchmark (GNU time, bc)
  time bc
  # benchmarks (their image listing uses file; the font part also needs Node.js with npm,
  # which is left to the machine: Debian's nodejs and npm conflict with one installed otherwise)
  libspng-dev libstb-dev liblodepng-dev libdeflate-dev file
  # compressed surface sizes against LVGL's LZ4 image files, over icons of the theme
  python3-lz4 adwaita-icon-theme
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
