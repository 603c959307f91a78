#!/usr/bin/env bash
# The drawing code on a Cortex-M4: instructions per pixel of its main paths
# and per glyph pixel of text (a classic and a packed font), counted under
# QEMU (bench/device/), and its flash size.
#
# Usage: bench/device_bench.sh BUILD_DIR
# BUILD_DIR is a build of the kit (the tools built); it is installed into a
# temporary prefix, and bench/device is cross-built against it twice, for
# size (-Os, as examples/firmware builds) and for speed (-O2), and run with
#   qemu-system-arm -M mps2-an386 -nographic -semihosting-config enable=on,target=native -icount shift=0
# where one instruction takes one nanosecond of virtual time. The flash size
# is what the -Os link keeps of the library's objects after --gc-sections
# (the input sections of its link map), and what arm-none-eabi-size gives for
# those objects before.
# Figures are printed, never judged: the status is 1 only when something could
# not be measured.
set -euo pipefail

build=${1:?usage: $0 BUILD_DIR}
here=$(cd "$(dirname "$0")" && pwd)
for command in cmake ninja arm-none-eabi-g++ arm-none-eabi-size qemu-system-arm; do
  command -v "$command" >/dev/null || { echo "error: $command is not installed (scripts/install-deps.sh)"; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >"$work/install.log" 2>&1 ||
  { cat "$work/install.log"; echo "error: cannot install $build"; exit 1; }

declare -A optimisation=([MinSizeRel]=-Os [Release]=-O2)
for type in MinSizeRel Release; do
  tree=$work/$type
  { cmake -S "$here/device" -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=$type -DCMAKE_PREFIX_PATH="$work/prefix" \
      -DCMAKE_TOOLCHAIN_FILE="$work/prefix/share/CorvaneAssets/cortex-m4.cmake" -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
      -DCMAKE_EXE_LINKER_FLAGS="-Wl,-Map=$tree/surface_ipp.map" &&
    cmake --build "$tree"; } >"$work/$type.log" 2>&1 || { cat "$work/$type.log"; echo "error: cannot build bench/device"; exit 1; }
  echo "-- Cortex-M4 (${optimisation[$type]}), instructions counted by QEMU"
  (cd "$tree" && timeout 120 qemu-system-arm -M mps2-an386 -nographic -semihosting-config enable=on,target=native \
    -icount shift=0 -kernel surface_ipp.elf </dev/null) | sed 's/^/  /'
done

echo "-- flash of the drawing code (-Os), kept after --gc-sections, by object"
# Input sections of the map: " .text.name 0xADDRESS 0xSIZE file", the name
# alone on its line when it is long.
awk 'function hex(text,   value, i) {
    value = 0
    for (i = 3; i <= length(text); ++i) value = value * 16 + index("0123456789abcdef", substr(text, i, 1)) - 1
    return value
  }
  /^Linker script and memory map/ { map = 1; next }
  !map { next }
  /^ \.(text|rodata|data)/ { if (NF == 1) { pending = 1; next } size = $3; file = $4 }
  pending && NF == 3 && $1 ~ /^0x/ { size = $2; file = $3 }
  { pending = 0 }
  file ~ /share\/CorvaneAssets\/surface\// {
    n = split(file, path, "/"); kept[path[n]] += hex(size); total += hex(size) }
  { file = "" }
  END { for (object in kept) printf "  %6d %s\n", kept[object], object; printf "  %6d total\n", total }' \
  "$work/MinSizeRel/surface_ipp.map" | sort -k2
echo "-- flash of the drawing code (-Os, arm-none-eabi-size of the library's objects)"
mapfile -t objects < <(find "$work/MinSizeRel/CMakeFiles/surface_ipp.dir" -path '*share/CorvaneAssets/surface/*.obj')
[ ${#objects[@]} -gt 0 ] || { echo "error: no object of the library found"; exit 1; }
arm-none-eabi-size -t "${objects[@]}" | sed -E "s|[^[:space:]]*/([^/]+)$|\1|; s/^/  /"
