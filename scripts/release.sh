#!/usr/bin/env bash
# Makes the release artifacts of every platform and leaves them in
# build-release/, printing their paths:
#   d88adpcm-<version>-win64.zip   the Windows programs, README and license
#                                  (scripts/windows.sh --package)
#   d88adpcm_<version>_<arch>.deb  the Debian package: the programs, the manual
#                                  pages, the reader library with its headers
#                                  and CMake package, README and copyright
# The version is the project's own (project() in CMakeLists.txt). Nothing is
# tested here: CI runs scripts/windows.sh (the suite under Wine) before this,
# and scripts/deb-check.sh (the package installed and run) after.
#   WERROR=1   treat warnings as errors (the default under CI)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out="$root/build-release"
tree="$out/linux"
source scripts/werror.sh

# dpkg-dev and file let CPack compute the package's dependencies.
bash scripts/setup.sh cmake ninja-build g++ dpkg-dev file

bash scripts/windows.sh --package

# The Linux programs for the package: a Release build for the prefix /usr,
# where GNUInstallDirs picks Debian's multiarch library folder.
cmake -S . -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DD88_BUILD_TESTS=OFF -DD88_WERROR="$werror" >/dev/null
cmake --build "$tree" -j2

# Each artifact's name as CMake made it from the project's version.
cpack_value() { sed -n "s/^set($1 \"\(.*\)\")\$/\1/p" "$2/CPackConfig.cmake"; }
zip="$(cpack_value CPACK_PACKAGE_FILE_NAME "$root/build-windows/project").zip"
deb=$(cpack_value CPACK_DEBIAN_FILE_NAME "$tree")

rm -f "$out"/d88adpcm-*-win64.zip "$out"/d88adpcm_*.deb
cp "$root/build-windows/$zip" "$out/"
(cd "$tree" && cpack -G DEB >/dev/null)
mv "$tree/$deb" "$out/"
echo "release artifacts:"
echo "  $out/$zip"
echo "  $out/$deb"
