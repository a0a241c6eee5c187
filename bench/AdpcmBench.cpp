// The ADPCM-B decoder's speed, in samples a second: the sample RAM's sounds
// and a whole 256 KiB image decoded from memory.
#include <benchmark/benchmark.h>

#include <vector>

#include "adpcm/AdpcmB.h"
#include "adpcm/Sounds.h"
#include "kit/SampleSounds.h"

namespace {

void BM_DecodeAdpcmB(benchmark::State& state) {
  const std::vector<uint8_t> ram = testimage::SampleRam();
  const size_t bytes = static_cast<size_t>(state.range(0));
  std::vector<int16_t> samples(bytes * kSamplesPerByte);
  for (auto _ : state) {
    DecodeAdpcmB(ram.data(), bytes, samples.data());
    benchmark::DoNotOptimize(samples.data());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * samples.size()));
}
BENCHMARK(BM_DecodeAdpcmB)->Arg(4096)->Arg(0x40000);

void BM_FindSounds(benchmark::State& state) {
  const std::vector<uint8_t> ram = testimage::SampleRam();
  for (auto _ : state) benchmark::DoNotOptimize(FindSounds(ram.data(), ram.size()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * ram.size()));
}
BENCHMARK(BM_FindSounds);

}  // namespace
