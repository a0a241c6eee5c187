#!/usr/bin/env bash
# Installs the Debian package that scripts/release.sh left in build-release/
# with apt-get, as a user would, and checks it: the three programs run from
# /usr/bin on the sample image and write what the build's own d88adpcm, d88ls
# and adpcm2wav write; man finds the pages; the example consumer in examples/
# finds the reader's CMake package under /usr with no hint. Then removes the
# package, leaving the machine as it was: it refuses to start when the
# package is installed already. Needs root (or sudo): it is meant for CI's
# own machine.
#   deb-check.sh [FILE.deb]   another package file than the release's
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
tree="$root/build-release/linux"
if [ $# -gt 0 ]; then
  deb=$(realpath "$1")
else
  deb="$root/build-release/$(sed -n 's/^set(CPACK_DEBIAN_FILE_NAME "\(.*\)")$/\1/p' "$tree/CPackConfig.cmake")"
fi
test -f "$deb" || { echo "no package $deb: run scripts/release.sh first" >&2; exit 1; }
bash scripts/setup.sh cmake ninja-build g++ man-db

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
apt=($sudo env DEBIAN_FRONTEND=noninteractive DEBCONF_NOWARNINGS=yes apt-get -o DPkg::Lock::Timeout=300 -y -qq)
installed() { dpkg-query -W -f='${Status}' d88adpcm 2>/dev/null | grep -q 'install ok installed'; }
if installed; then
  echo "d88adpcm is installed on this machine already; not touching it" >&2
  exit 1
fi

work=$(mktemp -d)
cleanup() {
  if installed; then "${apt[@]}" remove d88adpcm >/dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT

(cd "$(dirname "$deb")" && "${apt[@]}" install "./$(basename "$deb")" >/dev/null)
echo "installed $(dpkg-query -W -f='${Package} ${Version} ${Architecture}' d88adpcm), depends: $(dpkg-query -W -f='${Depends}' d88adpcm)"

multiarch=$(gcc -print-multiarch 2>/dev/null || dpkg-architecture -qDEB_HOST_MULTIARCH)
for f in /usr/bin/d88adpcm /usr/bin/d88ls /usr/bin/adpcm2wav /usr/include/d88/D88File.h /usr/include/d88/D88Layout.h \
         "/usr/lib/$multiarch/libd88.a" "/usr/lib/$multiarch/cmake/d88/d88Config.cmake" \
         /usr/share/doc/d88adpcm/copyright /usr/share/doc/d88adpcm/LICENSE /usr/share/doc/d88adpcm/changelog.gz \
         /usr/share/doc/d88adpcm/README.md.gz; do
  test -e "$f" || { echo "not installed: $f" >&2; exit 1; }
done
for page in d88adpcm d88ls adpcm2wav; do
  found=$(man -w "$page" 2>/dev/null || true)
  [ "$found" = "/usr/share/man/man1/$page.1.gz" ] || { echo "man -w $page: '$found'" >&2; exit 1; }
done
echo "man -w finds the three pages in /usr/share/man/man1"

# The same sample through the installed programs and the build's own.
cd "$work"
"$tree/kit/make_sample" sample.d88
mkdir installed built
run() {  # run DIR D88ADPCM D88LS ADPCM2WAV
  (cd "$1" && cp ../sample.d88 . &&
    "$2" sample.d88 >d88adpcm.out && "$3" sample.d88 >d88ls.out && "$4" --svg ADPCM.svg ADPCM >adpcm2wav.out)
}
run installed /usr/bin/d88adpcm /usr/bin/d88ls /usr/bin/adpcm2wav
run built "$tree/tool/d88adpcm" "$tree/d88ls/d88ls" "$tree/adpcm2wav/adpcm2wav"
size=$(stat -c %s installed/ADPCM)
[ "$size" = 262144 ] || { echo "/usr/bin/d88adpcm wrote $size bytes of ADPCM" >&2; exit 1; }
shopt -s nullglob
wav=(installed/ADPCM-*.wav)
wavs=${#wav[@]}
[ "$wavs" -gt 0 ] || { echo "/usr/bin/adpcm2wav wrote no WAV file" >&2; exit 1; }
diff -r installed built >&2 || { echo "the installed programs and the build's differ" >&2; exit 1; }
echo "/usr/bin programs on the sample: ADPCM $size bytes, $wavs WAV files, SVG and printed text as the build's"

# The example consumer finds the package under /usr by itself.
cmake -S "$root/examples" -B example -G Ninja >/dev/null
found=$(sed -n 's/^d88_DIR:PATH=//p' example/CMakeCache.txt)
[ "$found" = "/usr/lib/$multiarch/cmake/d88" ] || { echo "find_package(d88) found '$found'" >&2; exit 1; }
cmake --build example -j2 >/dev/null
example/read_run sample.d88 0 72 36 0 1 1 1 26 6656 run.bin
head -c 6656 installed/ADPCM | cmp - run.bin
echo "example built on $found: run.bin matches ADPCM slot 0"

if command -v lintian >/dev/null; then
  echo "lintian (its findings do not fail the check):"
  lintian "$deb" || true
fi

cd "$root"
"${apt[@]}" remove d88adpcm >/dev/null
if installed || test -e /usr/bin/d88adpcm; then
  echo "d88adpcm still installed" >&2
  exit 1
fi
echo "removed d88adpcm again"
