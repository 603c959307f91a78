#!/usr/bin/env bash
# The README's commands, run as a new user pastes them. A shell block (a fence
# of sh, bash or shell) that follows the line
#   <!-- runnable -->
# runs; one that follows
#   <!-- not runnable: <why> -->
# is left out for the reason given; a shell block with neither marker fails the
# test, so that no command joins the README unchecked.
#
# The blocks run in the README's order, each under bash -e -o pipefail, in one
# fresh folder that holds a copy of the source tree and stands for a checkout
# after scripts/setup.sh: its build/ is the build folder of this test run (the
# tools, ds_font.h and the install rules) and out/ exists. The blocks left out
# are the set-up ones (scripts/setup.sh and scripts/test.sh install packages
# and build the very tools this test runs), the desktop program (it waits for
# its user) and the benchmarks (a second build of the kit in Release, then
# minutes of measuring).
#
# Usage: readme_test.sh <kit source tree> <build folder>
# Exit status 0 when every runnable block succeeds, 1 when one fails or a block
# is unmarked, 77 when a program the blocks need is missing (outside CI).
set -uo pipefail

source_tree="$(cd "$1" && pwd)"
build="$(cd "$2" && pwd)"
readme="$source_tree/README.md"

fail() {
  echo "FAIL: $*"
  exit 1
}
# Skips, outside CI; in CI (CI=true) every package is installed, so a missing
# one is a failure.
skip() {
  [[ "${CI:-}" == true ]] && fail "$* (missing in CI)"
  echo "SKIP: $*"
  exit 77
}

for program in convert fc-match ninja arm-none-eabi-g++; do
  command -v "$program" >/dev/null || skip "$program is not installed (scripts/install-deps.sh)"
done
[[ -x "$build/tools/pixpack" ]] || fail "$build holds no built tools"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
blocks="$work/blocks"
tree="$work/tree"
mkdir -p "$blocks" "$tree"

# Writes block N of the README to $blocks/N.sh, with its first line number in
# $blocks/N.line and its marker ("runnable", "not runnable: ..." or "none") in
# $blocks/N.marker. Blocks in other languages are not shell and not written.
awk -v dir="$blocks" '
  inside && /^```[ \t]*$/ { inside = 0; close(file); next }
  inside { print > file; next }
  /^```(sh|bash|shell)[ \t]*$/ {
    inside = 1
    count++
    file = dir "/" count ".sh"
    printf "" > file
    print NR + 1 > (dir "/" count ".line")
    marker = "none"
    if (previous ~ /^<!-- runnable -->[ \t]*$/) {
      marker = "runnable"
    } else if (previous ~ /^<!-- not runnable: .+ -->[ \t]*$/) {
      marker = previous
      sub(/^<!-- /, "", marker)
      sub(/ -->[ \t]*$/, "", marker)
    }
    print marker > (dir "/" count ".marker")
    close(dir "/" count ".line")
    close(dir "/" count ".marker")
    next
  }
  { previous = $0 }
  END { if (inside) exit 1 }
' "$readme" || fail "README.md ends inside a code block"

count="$(find "$blocks" -name '*.sh' | wc -l)"
[[ "$count" -gt 0 ]] || fail "README.md has no shell block"

# The copy leaves out the git data, build folders and outputs of earlier runs.
tar -C "$source_tree" --exclude=./.git --exclude='./build*' --exclude=./out -cf - . | tar -C "$tree" -xf - ||
  fail "cannot copy the source tree"
ln -s "$build" "$tree/build"
mkdir "$tree/out"

ran=0
for ((n = 1; n <= count; n++)); do
  line="$(cat "$blocks/$n.line")"
  marker="$(cat "$blocks/$n.marker")"
  case "$marker" in
    runnable) ;;
    "not runnable: "*)
      echo "left out: the block at README.md:$line (${marker#not runnable: })"
      continue
      ;;
    *) fail "the shell block at README.md:$line is marked neither '<!-- runnable -->' nor '<!-- not runnable: <why> -->'" ;;
  esac
  if ! (cd "$tree" && bash -e -o pipefail "$blocks/$n.sh") >"$work/block.log" 2>&1; then
    cat "$work/block.log"
    echo "--- the block at README.md:$line:"
    cat "$blocks/$n.sh"
    fail "the block at README.md:$line failed"
  fi
  echo "ok: the block at README.md:$line ($(wc -l <"$blocks/$n.sh") lines)"
  ran=$((ran + 1))
done
echo "PASS: $ran README blocks ran as written"
