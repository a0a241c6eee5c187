#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS (default
# 60), starting from seeds made by the project's image builder. Fails on any
# crash, sanitizer report, leak or time-out; the input that caused it is
# left in build-fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
seconds="${1:-60}"
source scripts/werror.sh

build="$(pwd)/build-fuzz"  # absolute: a target may change its folder
cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DD88_BUILD_FUZZ=ON -DD88_BUILD_TESTS=OFF -DD88_WERROR="$werror" >/dev/null
cmake --build "$build"

rm -rf "$build/seeds"
"$build/fuzz/make_corpus" "$build/seeds"
mkdir -p "$build/artifacts"
# Every target fuzz/CMakeLists.txt builds, so that the list lives there alone.
for binary in "$build"/fuzz/*_fuzz; do
  target=$(basename "$binary" _fuzz)
  mkdir -p "$build/corpus/$target"
  echo "== fuzzing $target for ${seconds}s"
  "$build/fuzz/${target}_fuzz" -max_total_time="$seconds" -timeout=10 -max_len=65536 -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/${target}-" "$build/corpus/$target" "$build/seeds/$target" 2>&1 |
    tee "$build/$target.log" | grep -E '^#[0-9]+[[:space:]]+DONE|^stat::|SUMMARY|ERROR|^INFO: seed corpus' || true
  # The fuzzer's own status, not grep's.
  status=$(grep -c -E '^(==[0-9]+==ERROR|SUMMARY: |ERROR: )' "$build/$target.log" || true)
  if [ "$status" != 0 ] || ! grep -qE '^#[0-9]+[[:space:]]+DONE' "$build/$target.log"; then
    echo "fuzzing $target failed: see $build/$target.log" >&2
    exit 1
  fi
done
