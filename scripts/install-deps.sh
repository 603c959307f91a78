#!/usr/bin/env bash
# Installs everything the tools, the tests and the benchmarks need on Debian 12.
set -euo pipefail
packages=(
  # build
  build-essential cmake ninja-build pkg-config
  # libraries the tools link against
  libfreetype-dev libwxgtk3.2-dev libpng-dev
  # tests
  libgtest-dev imagemagick zlib1g-dev fonts-dejavu-core fontconfig
  xvfb xdotool x11-utils
  xclip
  # fuzzing
  clang libclang-rt-14-dev
  # pixpack memory benchmark (GNU time, bc)
  time bc
  # benchmarks
  libspng-dev libstb-dev liblodepng-dev
)
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y "${packages[@]}"
