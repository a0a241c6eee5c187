// The sound in the sample image: an ADPCM-B sample RAM of 256 KiB holding a
// few tones and chirps at 15,974 Hz (the rate most programs used), each
// encoded from reset, with 0x00 fill between them as unused RAM has it.
#ifndef KIT_SAMPLESOUNDS_H_
#define KIT_SAMPLESOUNDS_H_

#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "kit/AdpcmEncoder.h"
#include "kit/ImageBuilder.h"
#include "plan/AdpcmPlan.h"

namespace testimage {

constexpr double kSampleRate = 15974;
constexpr size_t kSampleRamSize = 0x40000;

// `seconds` of sound whose value at time t (seconds) is wave(t), times a
// 5 ms fade in and out so that no sound starts or ends with a click. The
// waves below start downwards: a sound whose first byte were 0x00 would lose
// that byte to the fill before it.
template <typename Wave>
std::vector<int16_t> Synthesize(double seconds, Wave wave) {
  std::vector<int16_t> samples(static_cast<size_t>(seconds * kSampleRate));
  for (size_t i = 0; i < samples.size(); ++i) {
    const double t = i / kSampleRate;
    const double fade = std::fmin(1.0, std::fmin(t, seconds - t) / 0.005);
    samples[i] = static_cast<int16_t>(std::lround(wave(t) * fade));
  }
  return samples;
}

// Where each sample sound starts in the RAM; the rest is 0x00.
struct PlacedSound {
  size_t address;
  std::vector<uint8_t> bytes;
};

inline std::vector<PlacedSound> SampleSounds() {
  const double pi = 3.14159265358979323846;
  std::vector<PlacedSound> sounds;
  // A 440 Hz tone.
  sounds.push_back({0x00000, EncodeAdpcmB(Synthesize(0.6, [&](double t) { return -12000 * std::sin(2 * pi * 440 * t); }))});
  // A chirp from 300 to 2,400 Hz.
  sounds.push_back({0x04000, EncodeAdpcmB(Synthesize(0.9, [&](double t) {
                      return -10000 * std::sin(2 * pi * (300 * t + 0.5 * (2400 - 300) / 0.9 * t * t));
                    }))});
  // A bell: two partials dying away.
  sounds.push_back({0x0A000, EncodeAdpcmB(Synthesize(1.2, [&](double t) {
                      return -std::exp(-3 * t) * (14000 * std::sin(2 * pi * 660 * t) + 6000 * std::sin(2 * pi * 1650 * t));
                    }))});
  // Three short 1 kHz beeps, stored as one sound.
  sounds.push_back({0x20000, EncodeAdpcmB(Synthesize(0.75, [&](double t) {
                      return std::fmod(t, 0.25) < 0.15 ? -9000 * std::sin(2 * pi * 1000 * t) : 0.0;
                    }))});
  return sounds;
}

inline Bytes SampleRam() {
  Bytes ram(kSampleRamSize, 0x00);
  for (const PlacedSound& s : SampleSounds()) {
    for (size_t i = 0; i < s.bytes.size(); ++i) ram[s.address + i] = s.bytes[i];
  }
  return ram;
}

// Lays `ram` into the tracks that d88adpcm reads, so that its ADPCM file is
// `ram` again: slot i (track PlannedTrack(i)) holds bytes i x kPlanSlotSize
// onwards, a sector's worth at a time. The RAM past the last slot is not on
// the disk.
inline void PlaceRam(Disk& disk, const Bytes& ram) {
  constexpr size_t kSector = 128u << kPlanSizeCode;
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

#endif  // KIT_SAMPLESOUNDS_H_
