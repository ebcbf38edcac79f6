#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each for a bounded time,
# starting from the seed corpora in fuzz/corpus/<target>/. New inputs go to
# build-fuzz/corpus/<target>/ (not into the repository); a crashing input is saved as
# build-fuzz/artifacts/<target>-crash-*, and should become a file in fuzz/regressions/<target>/
# plus a regression test. Every file in fuzz/regressions/<target>/ is replayed first.
# Prints the executions per target and the total; fails when any target fails.
# Usage: scripts/fuzz.sh [--seconds N] [--build-only] [target...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${ZORVIK_FUZZ_BUILD:-$root/build-fuzz}"
jobs="${ZORVIK_JOBS:-2}"
seconds=30
build_only=0
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds="$2"; shift 2 ;;
    --build-only) build_only=1; shift ;;
    -h|--help) sed -n '2,9p' "$0"; exit 0 ;;
    *) targets+=("$1"); shift ;;
  esac
done

# Debian's clang-14 package installs clang++-14; the plain name comes with the "clang" package.
cxx="$(command -v clang++ || command -v clang++-14 || true)"
cc="$(command -v clang || command -v clang-14 || true)"
[ -n "$cxx" ] || { echo "fuzz.sh: clang++ is not installed (scripts/setup-deps.sh installs it)" >&2; exit 1; }
CC="$cc" CXX="$cxx" cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=None -DZORVIK_WERROR=ON \
  -DCMAKE_CXX_FLAGS="-O1 -g -fno-omit-frame-pointer -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined" \
  -DZORVIK_BUILD_FUZZ=ON -DZORVIK_BUILD_TESTS=OFF -DZORVIK_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target fuzz_all
[ "$build_only" -eq 1 ] && exit 0

if [ ${#targets[@]} -eq 0 ]; then
  for f in "$root"/fuzz/fuzz_*.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi

# Leaks in one input are reported by libFuzzer itself; Qt's one-off allocations are not ours.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan-suppressions.txt:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen

mkdir -p "$build/artifacts" "$build/logs"
total=0
failed=()
printf '%-24s %14s %s\n' "target" "executions" "result"
for t in "${targets[@]}"; do
  exe="$build/bin/$t"
  seeds="$root/fuzz/corpus/$t"
  work="$build/corpus/$t"
  mkdir -p "$work" "$seeds"
  log="$build/logs/$t.log"
  result=ok
  # Inputs that once crashed must pass now.
  if [ -d "$root/fuzz/regressions/$t" ] && [ -n "$(ls -A "$root/fuzz/regressions/$t")" ]; then
    if ! "$exe" -runs=0 "$root/fuzz/regressions/$t"/* >"$build/logs/$t.regressions.log" 2>&1; then
      result="REGRESSION (see $build/logs/$t.regressions.log)"
    fi
  fi
  if [ "$result" = ok ]; then
    if ! "$exe" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 \
         -artifact_prefix="$build/artifacts/$t-" "$work" "$seeds" >"$log" 2>&1; then
      result="CRASH (see $log)"
    fi
  fi
  runs="$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" 2>/dev/null | grep -o '[0-9]*$' | tail -1 || true)"
  runs="${runs:-0}"
  total=$((total + runs))
  [ "$result" = ok ] || failed+=("$t")
  printf '%-24s %14s %s\n' "$t" "$runs" "$result"
done
printf '%-24s %14s\n' "total" "$total"
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing failed: ${failed[*]}" >&2
  exit 1
fi
