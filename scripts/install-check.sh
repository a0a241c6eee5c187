#!/usr/bin/env bash
# Installs the project into a temporary prefix, builds the example consumer
# in examples/ against the installed package, runs it on a generated image
# and checks its output bytes; renders both manual pages, failing on any
# warning.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/setup.sh
source scripts/werror.sh

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
cmake -S . -B build-install -G Ninja -DCMAKE_BUILD_TYPE=Release -DD88_WERROR="$werror" >/dev/null
cmake --build build-install
cmake --install build-install --prefix "$prefix" >/dev/null
for f in bin/d88adpcm bin/d88ls bin/adpcm2wav share/man/man1/adpcm2wav.1 share/doc/d88adpcm/LICENSE include/d88/D88File.h include/d88/D88Layout.h lib/cmake/d88/d88Config.cmake \
         share/man/man1/d88adpcm.1 share/man/man1/d88ls.1; do
  test -e "$prefix/$f" || { echo "not installed: $f" >&2; exit 1; }
done
ls "$prefix"/lib*/libd88.a >/dev/null

cmake -S examples -B "$work/example" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/example"

# The example's run over track 72 must equal slot 0 of d88adpcm's output.
cd "$work"
"$root/build-install/kit/make_sample" sample.d88
"$prefix/bin/d88adpcm" sample.d88 >/dev/null
"$work/example/read_run" sample.d88 0 72 36 0 1 1 1 26 6656 run.bin
head -c 6656 ADPCM | cmp - run.bin
echo "example: run.bin matches ADPCM slot 0"

for page in d88adpcm d88ls adpcm2wav; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/$page.1" 2>&1 >/dev/null)
  if [ -n "$warnings" ]; then
    echo "man $page: $warnings" >&2
    exit 1
  fi
done
echo "man pages render without warnings"
