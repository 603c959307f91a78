#!/usr/bin/env bash
# Installs on Debian 12 what building and running the kit needs: the
# compiler, CMake, FreeType, wxWidgets, the fonts and pictures of the README's
# examples, and the ARM toolchain and QEMU for the device example. With
# --tests, also what the tests, the fuzzers and the benchmarks need.
# Usage: install-deps.sh [--tests]
set -euo pipefail
case "${1:-}" in
  "") tests=false ;;
  --tests) tests=true ;;
  *) echo "usage: $0 [--tests]"; exit 1 ;;
esac
packages=(
  # build
  build-essential cmake ninja-build pkg-config
  # libraries the tools link against
  libfreetype-dev libwxgtk3.2-dev libpng-dev
  # the README's examples: a font found by fontconfig, pictures made with ImageMagick
  fonts-dejavu-core fontconfig imagemagick
)
test_packages=(
  # tests
  libgtest-dev python3-pil zlib1g-dev fonts-dustin libpixman-1-dev
  # an icon font (private-use area) for the fallback-font tests
  fonts-font-awesome
  # the desktop program driven under its own X server
  xvfb xdotool x11-utils xclip
  # pixpack --format tests: two photographs (CC-BY-4.0)
  lomiri-wallpapers-16.04
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
if [[ "$tests" == true ]]; then
  packages+=("${test_packages[@]}")
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y "${packages[@]}"
# The Cortex-M4 firmware of examples/firmware: the compiler and newlib's C
# headers only (97 MB). Its recommended C++ library for every ARM variant
# (another 313 MB, 1.5 GB unpacked) is not needed there. QEMU runs it on an
# emulated board (mps2-an386): 62 MB with its common and data packages; the
# recommended firmware images for other machines (another 400 MB) are not
# needed.
apt-get install -y --no-install-recommends gcc-arm-none-eabi libnewlib-arm-none-eabi qemu-system-arm
