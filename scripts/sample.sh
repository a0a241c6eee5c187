#!/usr/bin/env bash
# Builds d88adpcm, makes a sample 2HD image and extracts its ADPCM file.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target d88adpcm d88ls make_sample
mkdir -p build/sample
./build/kit/make_sample build/sample/sample.d88
(cd build/sample && ../tool/d88adpcm sample.d88)
echo "what the image holds: build/d88ls/d88ls build/sample/sample.d88"
echo "ADPCM is at $(pwd)/build/sample/ADPCM ($(stat -c %s build/sample/ADPCM) bytes)"
