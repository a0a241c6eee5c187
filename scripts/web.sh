#!/usr/bin/env bash
# The page: builds the programs natively and the module with Emscripten,
# lays out both forms of the page, and runs its tests.
#   build-web/site/                   the folder to host as a static site
#   build-web/d88adpcm-VERSION-web.zip  the offline page: index.html opened
#                                     by double-click, from file://
#   build-web/screenshots/            what the browser suite saw, as PNGs
# NO_TESTS=1 builds only; WERROR=1 (the default under CI) treats warnings as
# errors. Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=build-web
jobs=2

# A Japanese font, so that the screenshots show Shift_JIS names as a person
# would see them.
bash scripts/setup.sh cmake ninja-build g++ python3 emscripten chromium librsvg2-bin fonts-ipafont-gothic
# Node and npm only when there is none: a machine may have them from
# elsewhere, npm bundled with node.
command -v node >/dev/null || bash scripts/setup.sh nodejs
command -v npm >/dev/null || bash scripts/setup.sh npm
# Debian's emcc runs its JavaScript tools with the distribution's node
# modules.
export NODE_PATH=/usr/share/nodejs

flags=(-DD88_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=Release)
source scripts/werror.sh
flags+=(-DD88_WERROR="$werror")

echo "-- native programs and the kit"
cmake -S . -B "$out/native" -G Ninja "${flags[@]}" >/dev/null
cmake --build "$out/native" -j"$jobs" --target d88ls d88adpcm adpcm2wav make_images make_sample

echo "-- the module"
emcmake cmake -S . -B "$out/wasm" -G Ninja "${flags[@]}" >/dev/null
cmake --build "$out/wasm" -j"$jobs" --target d88web
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$out/wasm/CMakeCache.txt")

echo "-- the site and the offline page"
wasm=$out/wasm/web
rm -rf "$out/site" "$out/offline"
mkdir -p "$out/site" "$out/offline"
# The workers' code, the module's glue included, as one function of a
# script the page loads from its own origin: the page starts its workers
# from that function's source, through a blob: URL, so that they run under
# the page's own content security policy on any host and from file://,
# where a worker script cannot be loaded by path nor a .wasm fetched. The
# site's workers fetch d88web.wasm; the offline page's carry it in base64.
worker_main() {  # offline|site
  echo "// The page's workers: the module's glue, its runner, the zip reader and"
  echo "// the worker in one function, started by app.js from its source."
  if [ "$1" = offline ]; then
    echo "var D88_OFFLINE = true;"
  fi
  echo "function d88WorkerMain(config) {"
  if [ "$1" = offline ]; then
    printf 'var D88_WASM_BASE64 = "%s";\n' "$(base64 -w0 "$wasm/d88web.wasm")"
  fi
  cat "$wasm/d88web.js" web/d88run.js web/zip.js web/worker.js
  echo "d88WorkerBody(config);"
  echo "}"
}
page=(index.html style.css app.js zip.js icon.svg)
for f in "${page[@]}"; do cp web/$f "$out/site/"; cp web/$f "$out/offline/"; done
cp "$wasm/d88web.wasm" "$out/site/"
worker_main site > "$out/site/d88worker.js"
worker_main offline > "$out/offline/d88worker.js"
zip=$out/d88adpcm-$version-web.zip
rm -f "$zip"
(cd "$out/offline" && python3 -m zipfile -c "$root/$zip" "${page[@]}" d88worker.js)
echo "built $out/site/ and $zip"

[ "${NO_TESTS:-0}" = 1 ] && exit 0

echo "-- test images"
mkdir -p "$out/images"
"$out/native/kit/make_images" "$out/images"
"$out/native/kit/make_images" --web "$out/images"

echo "-- the module against the programs, and the page in Chromium"
# puppeteer-core and axe-core, at the versions of the committed lock file;
# puppeteer drives the system's Chromium and downloads no browser of its own.
(cd web && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)
rm -rf "$out/screenshots"
D88_WEB_OUT="$root/$out" node --test web/test/
echo "screenshots in $out/screenshots/"
