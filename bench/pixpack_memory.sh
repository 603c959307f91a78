#!/usr/bin/env bash
# Peak memory of pixpack against input size + surface size.
#
# Usage: bench/pixpack_memory.sh <pixpack binary> [side ...]
# Makes a noisy RGBA image (ImageMagick) of each given side (default 512
# 1024 2048 4096) and writes it three ways: 8 bits per sample, 16 bits per
# sample, and 8 bits Adam7-interlaced. Converts each with and without a
# quarter turn, and prints the peak resident set size that GNU time reports
# next to the input file size plus the surface's pixel buffer (rows + one
# reserve byte per row), and the excess of the peak over that sum (the
# program, its libraries and its working buffers); all three give the same
# ARGB8888 surface.
set -euo pipefail

pixpack=${1:?usage: $0 <pixpack binary> [side ...]}
shift
sides=("$@")
[ ${#sides[@]} -gt 0 ] || sides=(512 1024 2048 4096)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The noisy image of one side in the given form.
write_image() {
  local noise=$1 form=$2 image=$3
  case $form in
    8-bit) convert "$noise" -depth 8 "PNG32:$image" ;;
    16-bit) convert "$noise" -depth 16 "PNG64:$image" ;;
    interlaced) convert "$noise" -depth 8 -interlace PNG "PNG32:$image" ;;
  esac
}

printf '%-6s %-10s %-9s %12s %12s %14s %14s %7s %11s\n' side image rotation input_KiB surface_KiB in+surface_KiB \
  peak_RSS_KiB ratio excess_KiB
for side in "${sides[@]}"; do
  noise="$work/noise_$side.miff"
  convert -size "${side}x${side}" xc: +noise Random -channel A -fx 'u.r' -depth 16 "$noise"
  surface=$(( side * side * 4 + ((side + 3) / 4) * 4 ))
  for form in 8-bit 16-bit interlaced; do
    image="$work/noise_${side}_$form.png"
    write_image "$noise" "$form" "$image"
    input=$(stat -c %s "$image")
    for rotation in none 90; do
      options=()
      [ "$rotation" = none ] || options=(--rotation "$rotation")
      peak=$(/usr/bin/time -f '%M' "$pixpack" --image "$image" --output "$work/out.srf" "${options[@]}" \
               2>&1 >/dev/null | tail -1)
      sum=$(( (input + surface) / 1024 ))
      printf '%-6s %-10s %-9s %12d %12d %14d %14d %7.2f %11d\n' "$side" "$form" "$rotation" $((input / 1024)) \
        $((surface / 1024)) "$sum" "$peak" "$(echo "$peak / $sum" | bc -l)" $((peak - sum))
    done
  done
done
