#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless: the suite, then the suite again
# under AddressSanitizer and UndefinedBehaviorSanitizer, then each fuzz target for a bounded time.
# ZORVIK_QUICK=1 runs the suite alone.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup-deps.sh"
"$root/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
(cd "$root/build" && ctest --output-on-failure --timeout 300 "$@")
suite="$(cd "$root/build" && ctest -N | grep -c ' Test *#')"
runs=$suite
if [ "${ZORVIK_QUICK:-0}" != "1" ]; then
  "$root/scripts/sanitize.sh"
  "$root/scripts/fuzz.sh" --seconds 4
  fuzzers="$(ls "$root"/fuzz/fuzz_*.cpp | wc -l)"
  runs=$((suite * 2 + fuzzers))
fi
# Every step above stops the script when it fails: reaching here means all of them passed.
echo "all: $runs passed, 0 failed"
