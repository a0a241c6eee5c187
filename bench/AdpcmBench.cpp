// The ADPCM-B decoder's speed, in samples a second: the sample RAM's sounds
// and a whole 256 KiB image decoded from memory; and the search for sounds
// over whole images, in bytes a second.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "adpcm/AdpcmB.h"
#include "adpcm/Sounds.h"
#include "kit/Banks.h"
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

// The search over a full 256 KiB image, in bytes a second: the sample (few
// sounds, mostly fill), banks of each layout full of sounds, and disk
// pieces with no sound at all. Ranks side by side, so the cost of each kind
// of content shows against the others.
std::vector<uint8_t> SearchImage(int which) {
  using testimage::Junk;
  using testimage::Layout;
  switch (which) {
    case 0: return testimage::SampleRam();
    case 1: return testimage::MakeBank(Layout::kDrumBank, 1).ram;
    case 2: return testimage::MakeBank(Layout::kTracker32, 1).ram;
    case 3: return testimage::MakeBank(Layout::kTracker256, 1).ram;
    case 4: return testimage::MakeJunk(Junk::kDisk, testimage::kBankRamSize, 1);
    case 5: return testimage::MakeJunk(Junk::kZ80, testimage::kBankRamSize, 1);
    case 6: return testimage::MakeJunk(Junk::kRandom, testimage::kBankRamSize, 1);
    case 7: return testimage::MakeBank(Layout::kBank256, 1).ram;
    default: {
      // The costliest shape known: 256-byte periods of a short rise, a
      // short fall and quiet runs, onsets everywhere that start nothing.
      std::vector<uint8_t> image;
      while (image.size() < testimage::kBankRamSize) {
        image.insert(image.end(), 240, 0x08);
        image.insert(image.end(), 8, 0x77);
        image.insert(image.end(), 8, 0xFF);
      }
      return image;
    }
  }
}

void BM_FindSounds(benchmark::State& state) {
  static const char* const names[] = {"sample",   "drum bank", "tracker 32",  "tracker 256",
                                      "disk mix", "Z80 code",  "random",      "256-byte bank", "rise, fall, quiet"};
  const std::vector<uint8_t> ram = SearchImage(static_cast<int>(state.range(0)));
  size_t sounds = 0;
  for (auto _ : state) {
    const SoundSearch found = FindSounds(ram.data(), ram.size());
    sounds = found.sounds.size();
    benchmark::DoNotOptimize(found.sounds.data());
  }
  state.SetLabel(std::string(names[state.range(0)]) + ", " + std::to_string(sounds) + " sounds");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * ram.size()));
}
BENCHMARK(BM_FindSounds)->DenseRange(0, 8);

}  // namespace
