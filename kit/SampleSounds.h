// The sound in the sample image: an ADPCM-B sample RAM of 256 KiB holding a
// few tones and chirps at 15,974 Hz (the rate most programs used), each
// encoded from reset, with 0x00 fill between them as unused RAM has it.
#ifndef KIT_SAMPLESOUNDS_H_
#define KIT_SAMPLESOUNDS_H_

#include <cmath>
#include <cstdint>
#include <vector>

#include "kit/AdpcmEncoder.h"
#include "kit/ImageBuilder.h"
#include "plan/AdpcmPlan.h"

namespace testimage {

constexpr double kSampleRate = kCommonRate;
constexpr size_t kSampleRamSize = kAdpcmFileSize;

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

}  // namespace testimage

#endif  // KIT_SAMPLESOUNDS_H_
