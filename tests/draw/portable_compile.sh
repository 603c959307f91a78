#!/bin/sh
# Compiles one device source, or a header on its own, the way a firmware's
# cross build does: bare metal, C++17 and C++20, for a Cortex-M0 and for a
# Cortex-M4 with a floating-point unit. Fails on any compiler output at all,
# notes included, so that a user's build log stays clean, and on a source
# that calls into the C library beyond its memory functions (the maths
# library above all, which a firmware would then have to link).
# Usage: portable_compile.sh <arm-none-eabi-g++> <device folder> <file> <object folder>
set -u
compiler="$1" include="$2" file="$3" objects="$4"
object="$objects/$(basename "$file").o"
status=0
for target in "-mcpu=cortex-m0 -std=c++17" "-mcpu=cortex-m4 -mfloat-abi=hard -mfpu=fpv4-sp-d16 -std=c++17" \
  "-mcpu=cortex-m4 -mfloat-abi=hard -mfpu=fpv4-sp-d16 -std=c++20"; do
  # shellcheck disable=SC2086 # the target's flags are separate words
  set -- "$compiler" $target -mthumb -Os -ffreestanding -fno-exceptions -fno-rtti -Wall -Wextra -Werror \
    -I"$include" -c -o "$object"
  case "$file" in
    *.h) output="$("$@" -x c++ -include "$file" - </dev/null 2>&1)" || status=1 ;;
    *) output="$("$@" "$file" 2>&1)" || status=1 ;;
  esac
  if [ -n "$output" ]; then
    echo "$target: $output"
    status=1
  fi
  # Undefined C names other than the memory functions and the compiler's
  # own run-time helpers (C++ names are the library's own).
  foreign="$("${compiler%g++}nm" -u "$object" | awk '{ print $2 }' |
    grep -vE '^(_Z|__aeabi_|__gnu_)|^(malloc|free|memcpy|memmove|memset)$')"
  if [ -n "$foreign" ]; then
    echo "$target: calls $(echo "$foreign" | tr '\n' ' ')"
    status=1
  fi
done
exit "$status"
