#!/usr/bin/env bash
# The kit's layers, lowest first: every quoted include of a folder's sources
# must name a header of the folder itself or of a folder below it, as listed
# here. The device library includes nothing else, so that it builds for a
# microcontroller on its own; the font tools reach into the command-line
# framework only for the --chars parser, which is an ArgumentParser.
# Usage: layering_test.sh <kit source tree>
set -uo pipefail
cd "$1" || exit 1

declare -A allowed=(
  [src/device]=""
  [submodules/inflate/src]=""
  [src/fileio]=""
  [cli]=""
  [src/png_decoder]="src/device submodules/inflate/src"
  [src/convert]="src/device"
  [src/surface_writer]="src/device"
  [src/dump]="src/device src/fileio"
  [src/png_writer]="src/fileio"
  [fontgen]="src/device src/fileio"
  [peek]="src/device src/convert src/png_writer fontgen"
  [gui]="src/device fontgen"
  [tools]="src/device src/fileio src/png_decoder src/convert src/surface_writer src/dump src/png_writer cli fontgen peek"
)
# The one include across the layers: the --chars parser is an ArgumentParser.
exception="fontgen/char_list_parser.h:command_line.h"

declare -A folderOf
while IFS= read -r header; do
  folderOf[$(basename "$header")]="$(dirname "$header")"
done < <(find src submodules cli fontgen peek gui tools -name '*.h')

status=0
for folder in "${!allowed[@]}"; do
  for file in "$folder"/*.cpp "$folder"/*.h; do
    [[ -e "$file" ]] || continue
    while IFS= read -r header; do
      home="${folderOf[$header]:-}"
      [[ -z "$home" || "$home" == "$folder" ]] && continue
      [[ " ${allowed[$folder]} " == *" $home "* ]] && continue
      [[ "$file:$header" == "$exception" ]] && continue
      echo "$file includes $header from $home, a layer $folder may not use"
      status=1
    done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
  done
done
[[ $status == 0 ]] && echo "every include stays within its layer or below"
exit "$status"
