#!/usr/bin/env bash
# Cross-builds every program and the whole test suite for 64-bit Windows with
# Debian's MinGW-w64, runs the suite under Wine (in a locale that is not
# Japanese), and leaves the programs packed for Windows users in
# build-windows/d88adpcm-<version>-win64.zip. Installs what it needs with
# apt-get when missing.
#   --package  only build (Wine lists the tests) and pack: no suite, no comparison
#              (scripts/release.sh; after a full run the build is current and
#              the zip holds the very programs the suite ran against)
#   WERROR=1   treat warnings as errors (the default under CI)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
package_only=0
case "${1:-}" in
  --package) package_only=1 ;;
  "") ;;
  *) echo "usage: $0 [--package]" >&2; exit 2 ;;
esac

bash scripts/setup.sh cmake ninja-build g++-mingw-w64-x86-64-posix wine wine64 googletest

build="$root/build-windows"
toolchain="$root/cmake/mingw-w64.cmake"
source scripts/werror.sh

# GoogleTest for Windows, built once from Debian's source package with the
# cross compiler; nothing is downloaded.
gtest="$build/googletest"
if [ ! -f "$gtest/lib/cmake/GTest/GTestConfig.cmake" ]; then
  cmake -S /usr/src/googletest -B "$build/googletest-build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$gtest" >/dev/null
  cmake --build "$build/googletest-build"
  cmake --install "$build/googletest-build" >/dev/null
fi

# Wine in a prefix of the build's own, with an English, non-Japanese locale:
# file names outside the system's code page must still open.
export WINEPREFIX="$build/wine" WINEDEBUG=-all LANG=C.UTF-8 LC_ALL=C.UTF-8
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot --init >/dev/null 2>&1 || true
fi
# One server for the whole run, started here with no tie to any output: a
# server that a test's wine starts would hold that test's output open.
wineserver -k 2>/dev/null || true
wineserver -p </dev/null >/dev/null 2>&1
# Wine's own services start with the first program; start them now, so that
# they do not hold the output of a test open either.
wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
trap 'wineserver -k 2>/dev/null || true' EXIT

cmake -S . -B "$build/project" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
  -DGTest_DIR="$gtest/lib/cmake/GTest" -DD88_WERROR="$werror" >/dev/null
cmake --build "$build/project" -j2

pack() {
  rm -f "$build"/d88adpcm-*-win64.zip
  (cd "$build/project" && cpack -G ZIP >/dev/null)
  mv "$build/project"/d88adpcm-*-win64.zip "$build/"
  echo "Windows programs: $(ls "$build"/d88adpcm-*-win64.zip)"
}
if [ "$package_only" = 1 ]; then
  pack
  exit 0
fi

ctest --test-dir "$build/project" --output-on-failure -j2

# The same images through the Linux and the Windows programs: ADPCM, every
# WAV file and every picture must be the same bytes, and the printed text
# the same but for the line ends.
cmake -S . -B "$build/native" -G Ninja -DCMAKE_BUILD_TYPE=Release -DD88_BUILD_TESTS=OFF >/dev/null
cmake --build "$build/native" --target d88adpcm d88ls adpcm2wav make_images >/dev/null
# A program under Wine. The programs exit 0, 1 or 2 and always print
# something; any other status, or nothing printed at all, is Wine failing to
# start one (seen under load: no output, no file), and the run is tried
# again, twice at most, with what it printed thrown away.
winerun() {
  local status attempt
  for attempt in 1 2 3; do
    status=0
    wine "$@" >"$compare/.out" 2>"$compare/.err" || status=$?
    if [ "$status" -le 2 ] && { [ -s "$compare/.out" ] || [ -s "$compare/.err" ]; }; then
      cat "$compare/.out"
      cat "$compare/.err" >&2
      return "$status"
    fi
    echo "wine exited $status for $1 (try $attempt)" >>"$compare/wine-retries.log"
  done
  cat "$compare/.out"
  cat "$compare/.err" >&2
  return "$status"
}
compare="$build/compare"
rm -rf "$compare" && mkdir -p "$compare/images"
"$build/native/kit/make_images" "$compare/images"
images=0
for image in "$compare"/images/*; do
  name=$(basename "$image")
  for side in linux windows; do
    mkdir -p "$compare/$side/$name"
    cp "$image" "$compare/$side/$name/$name"
  done
  (cd "$compare/linux/$name" && { "$build/native/tool/d88adpcm" "$name" || true; } >stdout 2>stderr)
  (cd "$compare/windows/$name" && { winerun "$build/project/tool/d88adpcm.exe" "$name" || true; } >stdout 2>stderr)
  # d88ls's JSON is the same bytes on both, line ends included.
  (cd "$compare/linux/$name" && { "$build/native/d88ls/d88ls" --json "$name" || true; } >listing.json 2>>stderr)
  (cd "$compare/windows/$name" && { winerun "$build/project/d88ls/d88ls.exe" --json "$name" || true; } >listing.json 2>>stderr)
  for side in linux windows; do
    dir="$compare/$side/$name"
    input=ADPCM
    case "$name" in *.bin) input="$name" ;; esac  # a RAM image: adpcm2wav reads it as it is
    if [ "$side" = linux ]; then
      (cd "$dir" && { "$build/native/adpcm2wav/adpcm2wav" --svg pic.svg -o out "$input" || true; } >>stdout 2>>stderr)
      (cd "$dir" && { "$build/native/adpcm2wav/adpcm2wav" --whole -o whole "$input" || true; } >>stdout 2>>stderr)
    else
      (cd "$dir" && { winerun "$build/project/adpcm2wav/adpcm2wav.exe" --svg pic.svg -o out "$input" || true; } >>stdout 2>>stderr)
      (cd "$dir" && { winerun "$build/project/adpcm2wav/adpcm2wav.exe" --whole -o whole "$input" || true; } >>stdout 2>>stderr)
      sed -i 's/\r$//' "$dir/stdout" "$dir/stderr"
    fi
  done
  diff -r "$compare/linux/$name" "$compare/windows/$name" >/dev/null || {
    echo "Linux and Windows differ on $name:" >&2
    diff -r "$compare/linux/$name" "$compare/windows/$name" >&2 || true
    exit 1
  }
  images=$((images + 1))
done
echo "Linux and Windows builds: the same ADPCM, WAV, SVG and JSON bytes on $images images"

pack
