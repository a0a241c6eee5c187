#!/usr/bin/env bash
# Installs the build and test tools this project needs, if any is missing:
# the Debian packages named as arguments, or by default those of the Linux
# build and its tests. Needs root (or sudo) only when something must be
# installed.
set -euo pipefail

packages=(cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev man-db python3 sox
  librsvg2-bin)
[ $# -eq 0 ] || packages=("$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi
