#!/usr/bin/env bash
# Line and branch coverage of the reader and the tool reached by the fuzz
# corpora: runs each target once over CORPUS/<target> (default
# build-fuzz/corpus, as left by scripts/fuzz.sh) in a coverage build and
# prints llvm-cov's report for d88/ and tool/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
corpus=$(realpath "${1:-build-fuzz/corpus}")
build="$root/build-fuzz-coverage"
cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
  -DCMAKE_BUILD_TYPE=Debug -DD88_BUILD_FUZZ=ON -DD88_COVERAGE=ON -DD88_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" >/dev/null
rm -f "$build"/*.profraw
for target in reader extract cutfile; do
  LLVM_PROFILE_FILE="$build/$target.profraw" "$build/fuzz/${target}_fuzz" -runs=0 "$corpus/$target" >/dev/null 2>&1
done
llvm-profdata merge -o "$build/all.profdata" "$build"/*.profraw
objects=()
for target in reader extract cutfile; do objects+=(-object "$build/fuzz/${target}_fuzz"); done
llvm-cov report "${objects[@]:1}" -instr-profile="$build/all.profdata" "$root/d88/D88File.cpp" "$root/tool/Tool.cpp"
