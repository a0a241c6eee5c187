#!/usr/bin/env bash
# Builds the programs, makes a sample 2HD image whose ADPCM tracks hold a few
# tones and chirps, lists and draws it, extracts its ADPCM file, and turns
# that into WAV files and a picture of where the sounds lie, all in
# build/sample/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target d88adpcm d88ls adpcm2wav make_sample
mkdir -p build/sample
./build/kit/make_sample build/sample/sample.d88
cd build/sample
../d88ls/d88ls --svg sample.svg sample.d88 >sample.txt
../tool/d88adpcm sample.d88
../adpcm2wav/adpcm2wav --svg ADPCM.svg ADPCM
echo
echo "what the image holds:   $(pwd)/sample.txt, and its picture $(pwd)/sample.svg"
echo "the ADPCM file:         $(pwd)/ADPCM ($(stat -c %s ADPCM) bytes)"
echo "the sounds, to play:    $(pwd)/ADPCM-*.wav"
echo "where they lie:         $(pwd)/ADPCM.svg"
