#!/usr/bin/env bash
# Peak memory of pixpack against input size + surface size.
#
# Usage: bench/pixpack_memory.sh <pixpack binary> [side ...]
# Makes noisy RGBA images (ImageMagick) of the given sides (default 512 1024
# 2048 4096), converts each with and without a quarter turn, and prints the
# peak resident set size that GNU time reports next to the input file size
# plus the surface's pixel buffer (rows + one reserve byte per row).
set -euo pipefail

pixpack=${1:?usage: $0 <pixpack binary> [side ...]}
shift
sides=("$@")
[ ${#sides[@]} -gt 0 ] || sides=(512 1024 2048 4096)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

printf '%-6s %-9s %12s %12s %14s %14s %7s\n' side rotation input_KiB surface_KiB in+surface_KiB peak_RSS_KiB ratio
for side in "${sides[@]}"; do
  image="$work/noise_$side.png"
  convert -size "${side}x${side}" xc: +noise Random -channel A -fx 'u.r' "PNG32:$image"
  input=$(stat -c %s "$image")
  surface=$(( side * side * 4 + ((side + 3) / 4) * 4 ))
  for rotation in none 90; do
    options=()
    [ "$rotation" = none ] || options=(--rotation "$rotation")
    peak=$(/usr/bin/time -f '%M' "$pixpack" --image "$image" --output "$work/out.srf" "${options[@]}" \
             2>&1 >/dev/null | tail -1)
    sum=$(( (input + surface) / 1024 ))
    printf '%-6s %-9s %12d %12d %14d %14d %7.2f\n' "$side" "$rotation" $((input / 1024)) $((surface / 1024)) \
      "$sum" "$peak" "$(echo "$peak / $sum" | bc -l)"
  done
done
