#!/usr/bin/env bash
# Puts small deliberate faults (mutants, listed in scripts/mutants.txt) into
# the reader, the tools and the audio code, one at a time, and runs the test
# suite against each: the GoogleTest binary, then the Python checks. A mutant
# the suite survives points at a check that is missing. Prints one line a
# mutant and the count caught; fails when a mutant no longer applies (the
# list has rotted) or one not known to survive survives.
#   bash scripts/mutants.sh           every mutant (by hand: half an hour)
#   bash scripts/mutants.sh --quick   one in eight, always the same, and every
#                                     other checked to apply (CI)
# It works in a scratch copy of the tree; the working tree is not touched.
set -euo pipefail
cd "$(dirname "$0")/.."
mode="${1:-}"
case "$mode" in
  --quick | "") ;;
  *) echo "usage: $0 [--quick]" >&2; exit 2 ;;
esac
bash scripts/setup.sh

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
git ls-files -z | xargs -0 -I{} cp --parents {} "$work"
# With UndefinedBehaviorSanitizer, as CI runs the suite too: a fault that
# only overflows is caught there.
cmake -S "$work" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS="-fsanitize=undefined -fno-sanitize-recover=undefined" \
  -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=undefined >/dev/null
cmake --build "$work/build" >/dev/null
# The suite must pass before any fault is put in.
(cd "$work/build" && ./tests/d88_tests --gtest_brief=1 >/dev/null && ctest -L python -j2 >/dev/null) ||
  { echo "the suite fails without any mutant" >&2; exit 1; }

python3 scripts/mutants.py "$work" "$work/build" scripts/mutants.txt $mode
