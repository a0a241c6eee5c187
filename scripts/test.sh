#!/usr/bin/env bash
# Builds everything and runs every test.
#   SANITIZE=1   build with AddressSanitizer + UndefinedBehaviorSanitizer (in build-asan/)
#   WERROR=1     treat warnings as errors (the default under CI)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

build=build
flags=(-DD88_BUILD_BENCH=ON)
if [ "${SANITIZE:-0}" = 1 ]; then
  build=build-asan
  flags+=(-DD88_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
fi
source scripts/werror.sh
flags+=(-DD88_WERROR="$werror")

cmake -S . -B "$build" -G Ninja "${flags[@]}" >/dev/null
cmake --build "$build"
ctest --test-dir "$build" --output-on-failure -j2
