#!/usr/bin/env bash
# Prints d88adpcm's cost beside the lower-bound program's on the sample 2HD
# image, side by side in one run: median wall time of a paired, interleaved
# run, system calls, bytes read from the image, instructions for the whole
# process. Then adpcm2wav beside its own yardstick on the extracted ADPCM
# file, the worst cases, and the benchmarks of the reader and the decoder.
# Run by hand: bash bench/compare.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/setup.sh
for tool in strace valgrind; do
  command -v "$tool" >/dev/null || { apt-get update -qq && apt-get install -y -qq "$tool" >/dev/null; }
done

build="$root/build-bench"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DD88_BUILD_BENCH=ON >/dev/null
cmake --build "$build" >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$build/kit/make_sample" sample.d88
tool="$build/tool/d88adpcm"
lower="$build/bench/lower_bound"
# Both must write the same ADPCM for the comparison to mean anything.
"$tool" sample.d88 >/dev/null && mv ADPCM ADPCM.tool
"$lower" sample.d88 >/dev/null && cmp ADPCM ADPCM.tool

syscalls() { strace -f -c -o s.txt "$1" sample.d88 >/dev/null; awk '/ total$/ {print $4}' s.txt; }
syscalls_of() { strace -f -c -o s.txt "$tool" "$1" >/dev/null; awk '/ total$/ {print $4}' s.txt; }
# Bytes that read/pread calls returned on the image's descriptor.
bytes_read() {
  strace -e trace=openat,read,pread64 -o r.txt "$1" sample.d88 >/dev/null
  awk '/openat\(.*"sample.d88"/ {fd=$NF} fd!="" && /^(read|pread64)\(/ {split($0,a,"("); split(a[2],b,","); if (b[1]==fd) {n=$NF; if (n>0) sum+=n}} END {print sum+0}' r.txt
}
instructions() {
  valgrind --tool=callgrind --callgrind-out-file=cg.out "$1" sample.d88 2>&1 >/dev/null | awk '/Collected/ {print $NF}'
}

read -r wall_tool wall_lower wall_ratio < <("$build/bench/paired_time" 301 sample.d88 "$tool" "$lower")
s_tool=$(syscalls "$tool"); s_lower=$(syscalls "$lower")
b_tool=$(bytes_read "$tool"); b_lower=$(bytes_read "$lower")
i_tool=$(instructions "$tool"); i_lower=$(instructions "$lower")
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }

printf '%-34s %14s %14s %8s\n' "sample 2HD image (77 cylinders)" "d88adpcm" "lower bound" "ratio"
printf '%-34s %14s %14s %8s\n' "wall time, median of 301 pairs (us)" "$wall_tool" "$wall_lower" "$wall_ratio"
printf '%-34s %14s %14s %8s\n' "system calls" "$s_tool" "$s_lower" "$(ratio "$s_tool" "$s_lower")"
printf '%-34s %14s %14s %8s\n' "bytes read from the image" "$b_tool" "$b_lower" "$(ratio "$b_tool" "$b_lower")"
printf '%-34s %14s %14s %8s\n' "instructions (callgrind)" "$i_tool" "$i_lower" "$(ratio "$i_tool" "$i_lower")"

# adpcm2wav on the sample's ADPCM file, beside a program that reads the
# image once and writes WAV files of the same names and sizes without
# decoding anything.
"$tool" sample.d88 >/dev/null
wav="$build/adpcm2wav/adpcm2wav"
wav_lower="$build/bench/wav_lower_bound"
calls_on() { strace -f -c -o s.txt "$1" ADPCM >/dev/null; awk '/ total$/ {print $4}' s.txt; }
instructions_on() { valgrind --tool=callgrind --callgrind-out-file=cg.out "$1" ADPCM 2>&1 >/dev/null | awk '/Collected/ {print $NF}'; }
read -r w_wav w_lower w_ratio < <("$build/bench/paired_time" 301 ADPCM "$wav" "$wav_lower")
c_wav=$(calls_on "$wav"); c_lower=$(calls_on "$wav_lower")
n_wav=$(instructions_on "$wav"); n_lower=$(instructions_on "$wav_lower")
echo
printf '%-34s %14s %14s %8s\n' "sample ADPCM (4 sounds, 256 KiB)" "adpcm2wav" "read+write" "ratio"
printf '%-34s %14s %14s %8s\n' "wall time, median of 301 pairs (us)" "$w_wav" "$w_lower" "$w_ratio"
printf '%-34s %14s %14s %8s\n' "system calls" "$c_wav" "$c_lower" "$(ratio "$c_wav" "$c_lower")"
printf '%-34s %14s %14s %8s\n' "instructions (callgrind)" "$n_wav" "$n_lower" "$(ratio "$n_wav" "$n_lower")"

# The slowest image the walk bound allows, beside the sample: every planned
# track walks 65,535 records. The sparse one is a 537 MB file: WORST_SPARSE=1.
median_ms() {
  local image=$1 runs=$2 times=()
  for _ in $(seq "$runs"); do
    local start end
    start=$(date +%s%N); "$tool" "$image" >/dev/null; end=$(date +%s%N)
    times+=($(( (end - start) / 1000 )))
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {printf "%.1f", a[int((NR+1)/2)] / 1000}'
}
"$build/bench/make_worst" dense worst-dense.d88
echo
printf '%-44s %12s %14s\n' "d88adpcm on" "wall (ms)" "system calls"
printf '%-44s %12s %14s\n' "the sample image (1.1 MB)" "$(median_ms sample.d88 21)" "$s_tool"
printf '%-44s %12s %14s\n' "worst case, dense (1 MB)" "$(median_ms worst-dense.d88 21)" "$(syscalls_of worst-dense.d88)"
if [ "${WORST_SPARSE:-0}" = 1 ]; then
  "$build/bench/make_worst" sparse worst-sparse.d88
  printf '%-44s %12s %14s\n' "worst case, sparse (537 MB)" "$(median_ms worst-sparse.d88 3)" "$(syscalls_of worst-sparse.d88)"
fi
echo
"$build/bench/d88_bench" --benchmark_min_time=0.2
