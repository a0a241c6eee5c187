#!/usr/bin/env bash
# The page's figures (not a test): builds the page and its test images, then
# times it in headless Chromium beside the native programs. See docs/web.md.
#   bash scripts/web-bench.sh [ROUNDS]
set -euo pipefail
cd "$(dirname "$0")/.."
NO_TESTS=1 bash scripts/web.sh >/dev/null
mkdir -p build-web/images
build-web/native/kit/make_images build-web/images
build-web/native/kit/make_images --web build-web/images
(cd web && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)
node web/bench/page-bench.js "${1:-10}"
