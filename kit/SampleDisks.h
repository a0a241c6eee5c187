// The sample disks: a 2HD image whose planned tracks hold the sample
// sounds, and the same with the faults a worn or badly copied disk shows.
// make_sample writes them for a person to try the tools on; the tests and
// the benchmarks read them too.
#ifndef KIT_SAMPLEDISKS_H_
#define KIT_SAMPLEDISKS_H_

#include <string>
#include <utility>
#include <vector>

#include "kit/ImageBuilder.h"
#include "kit/SampleSounds.h"
#include "plan/AdpcmPlan.h"

namespace testimage {

// Lays `ram` into the tracks that d88adpcm reads, so that its ADPCM file is
// `ram` again: slot i (track PlannedTrack(i)) holds bytes i x kPlanSlotSize
// onwards, a sector's worth at a time. The RAM past the last slot is not on
// the disk.
inline void PlaceRam(Disk& disk, const Bytes& ram) {
  constexpr size_t kSector = kPlanSectorSize;
  for (int i = 0; i < kPlanTracks; ++i) {
    for (Record& rec : disk.tracks[PlannedTrack(i)]) {
      if (rec.r < 1 || rec.r > kPlanSectors || rec.data.size() != kSector) continue;
      const size_t at = static_cast<size_t>(i) * kPlanSlotSize + (rec.r - 1u) * kSector;
      rec.data.assign(ram.begin() + static_cast<std::ptrdiff_t>(at),
                      ram.begin() + static_cast<std::ptrdiff_t>(at + kSector));
    }
  }
}

// The sample image: a 2HD disk of 77 cylinders whose planned tracks hold the
// sample sounds.
inline Disk SampleDisk(const std::string& name = "SAMPLE") {
  Disk disk = Standard2HD(77, name);
  PlaceRam(disk, SampleRam());
  return disk;
}

// The sample with the faults a worn or badly copied disk shows: sector 13
// missing on track 80, records out of order on track 82, a short sector on
// track 90 and an absent track 100.
inline Disk DamagedSampleDisk() {
  Disk disk = SampleDisk("DAMAGED");
  std::vector<Record>& t80 = disk.tracks[80];
  t80.erase(t80.begin() + 12);
  for (Record& rec : t80) rec.count = 25;
  std::swap(disk.tracks[82][3], disk.tracks[82][4]);
  disk.tracks[90][20].data.resize(128);
  disk.tracks.erase(100);
  return disk;
}

}  // namespace testimage

#endif  // KIT_SAMPLEDISKS_H_
