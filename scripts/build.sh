#!/usr/bin/env bash
# Configures and builds the project in build/ (tests and benchmarks included), warnings as errors.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZORVIK_WERROR=ON "$@" >/dev/null
cmake --build build
