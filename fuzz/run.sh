#!/usr/bin/env bash
# Runs every libFuzzer target found in BUILD_DIR/fuzz for SECONDS seconds
# each, over a copy of its seed corpus and with its dictionary when it has
# one. Exits non-zero on any finding and keeps the inputs that reproduce it
# in BUILD_DIR/fuzz/findings/<target>.
set -uo pipefail

if [ $# -ne 2 ]; then
  echo "usage: fuzz/run.sh BUILD_DIR SECONDS" >&2
  exit 2
fi
build_dir=$1
seconds=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

status=0
found=0
for target in "$build_dir"/fuzz/fuzz_*; do
  [ -f "$target" ] && [ -x "$target" ] || continue
  name=$(basename "$target")
  found=1
  corpus="$work/$name/corpus"
  artifacts="$work/$name/artifacts"
  mkdir -p "$corpus" "$artifacts"
  if [ -d "$build_dir/fuzz/corpus/$name" ]; then
    cp -r "$build_dir/fuzz/corpus/$name/." "$corpus/"
  fi
  dictionary=()
  if [ -f "$build_dir/fuzz/corpus/$name.dict" ]; then
    dictionary=(-dict="$build_dir/fuzz/corpus/$name.dict")
  fi
  echo "== $name: ${seconds}s over $(ls "$corpus" | wc -l) seeds"
  if ! "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      "${dictionary[@]}" -artifact_prefix="$artifacts/" "$corpus" > "$work/$name/log" 2>&1; then
    echo "!! $name found a problem:"
    tail -n 40 "$work/$name/log"
    kept="$build_dir/fuzz/findings/$name"
    mkdir -p "$kept"
    cp -r "$artifacts/." "$kept/"
    echo "!! inputs that reproduce it are in $kept;"
    echo "!! once mended, add them to tests/data/crashers/$name/, where a test replays each one"
    status=1
  else
    grep -E "^stat::number_of_executed_units|^stat::new_units_added" "$work/$name/log"
  fi
done

if [ $found -eq 0 ]; then
  echo "no fuzz targets in $build_dir/fuzz" >&2
  exit 1
fi
exit $status
