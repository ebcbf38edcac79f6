#!/usr/bin/env bash
# Builds the program and its tests with AddressSanitizer (and its leak checker) and
# UndefinedBehaviorSanitizer in build-asan/, then runs the whole test suite there.
# Any report fails the run: undefined behaviour aborts, and so does a leak at exit. The USB rig
# (a virtual machine) runs in the main suite only.
# Usage: scripts/sanitize.sh [ctest arguments...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${ZORVIK_ASAN_BUILD:-$root/build-asan}"
jobs="${ZORVIK_JOBS:-2}"

flags="-O1 -g -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"
cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=None -DZORVIK_WERROR=ON \
  -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DZORVIK_BUILD_TESTS=ON -DZORVIK_BUILD_BENCH=OFF -DZORVIK_BUILD_FUZZ=OFF -DZORVIK_USB_RIG=OFF -DZORVIK_BUILD_SCREENSHOTS=OFF >/dev/null
cmake --build "$build" -j "$jobs"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan-suppressions.txt:print_suppressions=0"
cd "$build"
ctest --output-on-failure --timeout 600 -j "$jobs" "$@"
