// How the cost of reads grows: per record within a track, per track within
// a run. Items per second that hold steady as the size grows mean linear
// cost. The plain walk (every sector looked up from the start of its track)
// is run beside the reader for contrast.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "d88/D88File.h"
#include "kit/ImageBuilder.h"
#include "kit/ReferenceReader.h"
#include "kit/TestUtil.h"

namespace {

using testimage::Bytes;

// One track of `sectors` 256-byte sectors, numbered from 1.
Bytes OneTrack(int sectors) {
  testimage::Disk d;
  d.tracks[0] = testimage::StandardTrack(0, sectors);
  return d.Build();
}

void BM_TrackRun(benchmark::State& state) {
  const int sectors = static_cast<int>(state.range(0));
  testutil::TempDir dir;
  testutil::WriteFile(dir.File("track.d88"), OneTrack(sectors));
  D88File d88;
  d88.Open(dir.File("track.d88").c_str());
  d88.SelectDisk(0);
  d88.SetSectorRange(1, sectors);
  Bytes dest(static_cast<size_t>(sectors) * 256);
  for (auto _ : state) {
    if (d88.ReadSectors(0, 0, 0, 1, 1, dest.data(), static_cast<int32_t>(dest.size())) != static_cast<int32_t>(dest.size())) {
      state.SkipWithError("short run");
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * sectors);
}
BENCHMARK(BM_TrackRun)->Arg(8)->Arg(26)->Arg(64)->Arg(255);

// The same runs with a walk per sector, over the image in memory (no file
// access at all): the quadratic cost the reader avoids.
void BM_PlainWalkTrackRun(benchmark::State& state) {
  const int sectors = static_cast<int>(state.range(0));
  const Bytes image = OneTrack(sectors);
  ReferenceReader model(image);
  model.SelectDisk(0);
  model.firstSector = 1;
  model.lastSector = sectors;
  Bytes dest(static_cast<size_t>(sectors) * 256);
  for (auto _ : state) {
    benchmark::DoNotOptimize(model.ReadSectors(0, 0, 0, 1, 1, dest.data(), static_cast<int32_t>(dest.size())));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * sectors);
}
BENCHMARK(BM_PlainWalkTrackRun)->Arg(8)->Arg(26)->Arg(64)->Arg(255);

void BM_MultiTrackRun(benchmark::State& state) {
  const int tracks = static_cast<int>(state.range(0));
  testutil::TempDir dir;
  testutil::WriteFile(dir.File("disk.d88"), testimage::Standard2HD(77).Build());
  D88File d88;
  d88.Open(dir.File("disk.d88").c_str());
  d88.SelectDisk(0);
  d88.SetSectorRange(1, 26);
  Bytes dest(static_cast<size_t>(tracks) * 26 * 256);
  for (auto _ : state) {
    if (d88.ReadSectors(0, 0, 0, 1, 1, dest.data(), static_cast<int32_t>(dest.size())) != static_cast<int32_t>(dest.size())) {
      state.SkipWithError("short run");
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * tracks * 26);
}
BENCHMARK(BM_MultiTrackRun)->Arg(1)->Arg(4)->Arg(16)->Arg(39)->Arg(77)->Arg(154);

}  // namespace

BENCHMARK_MAIN();
