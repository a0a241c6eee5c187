// Sample RAM banks laid out as music programs lay them out, with sounds of
// the kinds they hold, and pieces of floppy disks that hold no sound: for
// the search's tests and its evaluation over many seeds. Everything comes
// from a seed through a generator of its own, so that a seed gives the same
// bytes on every platform.
//
// The sounds: drum hits (noise with a fast decay), kicks (a falling sine
// sweep), voices (a pulse train through two or three resonances), notes
// with a long release, a cymbal that settles on a DC level, loud hits
// mastered into the clamps, any of them stopped in the middle of its
// waveform. The layouts:
//  - a driver's drum bank: 16 sounds on 4-byte units, 16 bytes of 0x00
//    after each (more when its end is off the unit);
//  - a tracker on 32-byte units: each sound at the next unit after the one
//    before, 0x00 between, some ending with a data byte 0x00;
//  - a tracker that pads each sound, ending in encoded silence, with 0x80 to
//    a multiple of 256 bytes, back to back (no pad where none is needed);
//  - the same for a chip with 256-byte units, leaving at least 80 bytes of
//    0x80 after each sound;
//  - a compiler's two sounds back to back on a 4-byte unit, the first
//    stopped mid-waveform.
// What is not sound: formatted sectors, code for four processors, BASIC,
// ASCII and Shift_JIS text, bitmaps, tables, random bytes, 4-bit sprites,
// record arrays and string tables.
#ifndef KIT_BANKS_H_
#define KIT_BANKS_H_

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "adpcm/AdpcmB.h"
#include "adpcm/Sounds.h"
#include "common/LittleEndian.h"
#include "kit/AdpcmEncoder.h"
#include "plan/AdpcmPlan.h"

namespace testimage {

using BankBytes = std::vector<uint8_t>;

// splitmix64: small, fast, and the same everywhere.
class BankRandom {
 public:
  explicit BankRandom(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 0x1234567ull) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  double Unit() { return static_cast<double>(Next() >> 11) / 9007199254740992.0; }  // [0, 1)
  double Uniform(double lo, double hi) { return lo + (hi - lo) * Unit(); }
  int Int(int lo, int hi) { return lo + static_cast<int>(Next() % static_cast<uint64_t>(hi - lo + 1)); }
  bool Chance(double p) { return Unit() < p; }
  double Noise() { return Unit() * 2 - 1; }
  uint8_t Byte() { return static_cast<uint8_t>(Next()); }

 private:
  uint64_t state_;
};

enum class SoundKind { kDrum, kKick, kVoice, kNote, kCymbalDc, kHot, kWander, kHotClip, kCount };

inline const char* SoundKindName(SoundKind kind) {
  switch (kind) {
    case SoundKind::kDrum: return "drum";
    case SoundKind::kKick: return "kick";
    case SoundKind::kVoice: return "voice";
    case SoundKind::kNote: return "note";
    case SoundKind::kCymbalDc: return "cymbal with DC tail";
    case SoundKind::kHot: return "hot drum";
    case SoundKind::kWander: return "voice over a wandering level";
    case SoundKind::kHotClip: return "drum clipping in short bursts";
    default: return "?";
  }
}

// Options of one sound's making.
struct SoundMaking {
  double rate = 15974;
  bool cutMidWave = false;      // stop abruptly, somewhere in the body
  size_t silentTail = 0;        // samples of digital silence after it
  CodeChoice choice = CodeChoice::kTruncate;
  double floorScale = 1;        // the noise floor's share of its usual level
};

inline int16_t ToSample(double v) {
  if (v > 32767) v = 32767;
  if (v < -32768) v = -32768;
  return static_cast<int16_t>(std::lround(v));
}

// The samples of one sound of `kind`.
inline std::vector<int16_t> MakeSoundSamples(SoundKind kind, BankRandom& rng, const SoundMaking& making) {
  const double pi = 3.14159265358979323846, rate = making.rate;
  std::vector<double> x;
  auto length = [&](double lo, double hi) { return static_cast<size_t>(rng.Uniform(lo, hi) * rate); };
  switch (kind) {
    case SoundKind::kDrum: {
      // Snares, hats, claps: noise through a one-pole filter, fast decay.
      const size_t n = length(0.05, 0.5);
      const double amp = rng.Uniform(4000, 22000), decay = rng.Uniform(8, 40), tone = rng.Uniform(0.05, 0.95);
      const double body = rng.Uniform(150, 330), bodyAmp = rng.Chance(0.5) ? rng.Uniform(0.2, 0.6) : 0.0;
      double lp = 0;
      for (size_t i = 0; i < n; ++i) {
        const double t = i / rate;
        lp = tone * lp + (1 - tone) * rng.Noise();
        const double hp = rng.Chance(0.5) ? lp : rng.Noise() - lp;
        x.push_back(amp * std::exp(-decay * t) * (hp * (1 - bodyAmp) + bodyAmp * std::sin(2 * pi * body * t)));
      }
      break;
    }
    case SoundKind::kKick: {
      const size_t n = length(0.12, 0.6);
      const double amp = rng.Uniform(8000, 26000), f0 = rng.Uniform(120, 260), f1 = rng.Uniform(38, 70);
      const double sweep = rng.Uniform(15, 45), decay = rng.Uniform(4, 14);
      double phase = 0;
      for (size_t i = 0; i < n; ++i) {
        const double t = i / rate;
        phase += 2 * pi * (f1 + (f0 - f1) * std::exp(-sweep * t)) / rate;
        const double click = t < 0.004 ? rng.Noise() * 0.3 : 0.0;
        x.push_back(amp * std::exp(-decay * t) * (std::sin(phase) + click));
      }
      break;
    }
    case SoundKind::kVoice: {
      // A pulse train at a wavering pitch through two or three resonances,
      // one to three syllables with short breaths between.
      const int formants = rng.Int(2, 3);
      double freq[3], bw[3], gain[3], y1[3] = {0, 0, 0}, y2[3] = {0, 0, 0};
      for (int k = 0; k < formants; ++k) {
        freq[k] = rng.Uniform(300 + 700 * k, 900 + 1200 * k);
        bw[k] = rng.Uniform(60, 200);
        gain[k] = rng.Uniform(0.3, 1.0) / (k + 1);
      }
      const double f0 = rng.Uniform(90, 260), amp = rng.Uniform(4000, 14000);
      const int syllables = rng.Int(1, 3);
      double pulsePhase = 0;
      for (int syl = 0; syl < syllables; ++syl) {
        const size_t n = length(0.12, 0.4);
        for (size_t i = 0; i < n; ++i) {
          const double t = i / rate, d = n / rate;
          const double env = std::fmin(1.0, t / 0.02) * std::fmin(1.0, (d - t) / 0.04);
          pulsePhase += (f0 * (1 + 0.03 * std::sin(2 * pi * 5 * (t + syl)))) / rate;
          double excite = 0;
          if (pulsePhase >= 1) {
            pulsePhase -= 1;
            excite = 1;
          }
          excite += 0.02 * rng.Noise();
          double out = 0;
          for (int k = 0; k < formants; ++k) {
            const double r = std::exp(-pi * bw[k] / rate), c = 2 * r * std::cos(2 * pi * freq[k] / rate);
            const double y = excite + c * y1[k] - r * r * y2[k];
            y2[k] = y1[k];
            y1[k] = y;
            out += gain[k] * y * (1 - r);
          }
          x.push_back(amp * env * out);
        }
        if (syl + 1 < syllables) x.resize(x.size() + length(0.01, 0.05), 0.0);
      }
      break;
    }
    case SoundKind::kNote: {
      const size_t n = length(0.4, 1.6);
      const double f = 110 * std::pow(2.0, rng.Int(0, 30) / 12.0), amp = rng.Uniform(5000, 16000);
      const double attack = rng.Uniform(0.002, 0.03), release = rng.Uniform(1.5, 6);
      const int partials = rng.Int(1, 5);
      for (size_t i = 0; i < n; ++i) {
        const double t = i / rate;
        double v = 0;
        for (int p = 1; p <= partials; ++p) v += std::sin(2 * pi * f * p * t) / p;
        x.push_back(amp * std::fmin(1.0, t / attack) * std::exp(-release * t) * v / 1.5);
      }
      break;
    }
    case SoundKind::kCymbalDc: {
      // Bright noise over a constant level of +0.117 of full scale that it
      // reaches within 20 ms; the noise dies away and the level stays.
      const size_t n = length(0.6, 1.5);
      const double amp = rng.Uniform(8000, 16000), dc = 0.117 * 32768;
      double prev = 0;
      for (size_t i = 0; i < n; ++i) {
        const double t = i / rate, noise = rng.Noise();
        const double hp = noise - prev;
        prev = noise;
        const double settle = std::fmin(1.0, t / 0.02);
        x.push_back(amp * std::exp(-t * rng.Uniform(5, 5.2) * 2) * hp * 0.5 + dc * settle);
      }
      break;
    }
    case SoundKind::kHot: {
      // A snare and kick mastered hot: peaks past full scale, about 1 % of
      // the samples clipped.
      const size_t n = length(0.1, 0.4);
      const double amp = rng.Uniform(30000, 42000), decay = rng.Uniform(6, 14);
      double phase = 0;
      for (size_t i = 0; i < n; ++i) {
        const double t = i / rate;
        phase += 2 * pi * (60 + 140 * std::exp(-30 * t)) / rate;
        x.push_back(amp * std::exp(-decay * t) * (0.6 * std::sin(phase) + 0.4 * rng.Noise()));
      }
      break;
    }
    case SoundKind::kWander: {
      // A voice, a plucked string or wind over a slow level of 1,000 to
      // 6,000 peak below 10 Hz (a microphone's or a tape's drift): the mean
      // over 1 KiB moves by thousands while it stays one sound.
      const size_t n = length(0.6, 2.4);
      const int timbre = rng.Int(0, 2);
      const double f = 80 * std::pow(2.0, rng.Int(0, 24) / 12.0), amp = rng.Uniform(3000, 10000);
      const double drift = rng.Uniform(1000, 6000), slow = rng.Uniform(0.7, 9), phase0 = rng.Uniform(0, 2 * pi);
      const double drift2 = rng.Uniform(0, 0.4) * drift, slow2 = rng.Uniform(0.3, 3);
      double phase = 0, lp = 0;
      for (size_t i = 0; i < n; ++i) {
        const double t = i / rate, d = n / rate;
        const double env = std::fmin(1.0, t / 0.03) * std::fmin(1.0, (d - t) / 0.08);
        phase += 2 * pi * f * (1 + 0.01 * std::sin(2 * pi * 4.5 * t)) / rate;
        double v = 0;
        if (timbre == 0) {  // a voice: a few harmonics
          for (int p = 1; p <= 4; ++p) v += std::sin(p * phase) / (p * p);
        } else if (timbre == 1) {  // a plucked string: bright, decaying
          for (int p = 1; p <= 6; ++p) v += std::exp(-t * (1.5 + p)) * std::sin(p * phase * 1.002) / p;
        } else {  // wind: filtered noise with a little tone
          lp = 0.9 * lp + 0.1 * rng.Noise();
          v = 3 * lp + 0.3 * std::sin(phase);
        }
        const double level = drift * std::sin(2 * pi * slow * t + phase0) + drift2 * std::sin(2 * pi * slow2 * t);
        x.push_back(env * (amp * v + level));
      }
      break;
    }
    case SoundKind::kHotClip: {
      // A kick, snare, tom or clap mastered hot: its body a little past
      // full scale, so that 3 % to 7 % of the samples sit at the clamps,
      // each clip 1 to 4 samples long (the wave turns at once), and a
      // fifth of them beyond +-30,000.
      const size_t n = length(0.08, 0.35);
      const int drum = rng.Int(0, 3);
      const double amp = rng.Uniform(34000, 36500), decay = rng.Uniform(0.2, 1.2);
      const double f0 = drum == 0 ? rng.Uniform(110, 150) : rng.Uniform(160, 320);
      const double noisy = drum == 0 ? 0.05 : drum == 3 ? 0.3 : 0.15;
      double phase = 0;
      for (size_t i = 0; i < n; ++i) {
        const double t = i / rate;
        phase += 2 * pi * f0 * (1 + std::exp(-60 * t)) / rate;
        x.push_back(amp * std::exp(-decay * t) * ((1 - noisy) * std::sin(phase) + noisy * rng.Noise()));
      }
      break;
    }
    default: break;
  }
  if (making.cutMidWave && x.size() > 400) x.resize(static_cast<size_t>(x.size() * rng.Uniform(0.1, 0.7)));
  std::vector<int16_t> samples;
  samples.reserve(x.size() + making.silentTail);
  // Every recording has a noise floor, some more than others: no long
  // ramps of one code.
  const double floor = rng.Uniform(8, 96) * making.floorScale;
  for (double v : x) samples.push_back(ToSample(v + floor * rng.Noise()));
  samples.resize(samples.size() + making.silentTail, 0);
  return samples;
}

inline BankBytes MakeSound(SoundKind kind, BankRandom& rng, const SoundMaking& making) {
  return EncodeAdpcmB(MakeSoundSamples(kind, rng, making), making.choice);
}

enum class Layout {
  kDrumBank, kTracker32, kTracker256, kTracker256Chip, kCompiler,
  kHotKit, kBank256, kTrackerZeroPad, kPad256, kCount
};

inline const char* LayoutName(Layout layout) {
  switch (layout) {
    case Layout::kDrumBank: return "drum bank, 4-byte units, 16 x 0x00";
    case Layout::kTracker32: return "tracker, 32-byte units, 0x00";
    case Layout::kTracker256: return "tracker, 0x80 to 256 bytes";
    case Layout::kTracker256Chip: return "tracker, 256-byte units, 80+ x 0x80";
    case Layout::kCompiler: return "compiler, 2 back to back";
    case Layout::kHotKit: return "drum bank, hot drums";
    case Layout::kBank256: return "256-byte units, no pad, no fill";
    case Layout::kTrackerZeroPad: return "32-byte units, 0x00 pads, no fill";
    case Layout::kPad256: return "silent tail, 0x00 to 256 bytes";
    default: return "?";
  }
}

// A bank: the RAM and where each of its sounds truly lies (the bytes the
// program wrote for it, without pad).
struct Bank {
  BankBytes ram;
  std::vector<ByteSpan> sounds;
  std::vector<SoundKind> kinds;
};

// A bank fills the whole sample RAM, the ADPCM file d88adpcm writes.
constexpr size_t kBankRamSize = kAdpcmFileSize;

inline size_t AlignUp(size_t v, size_t unit) { return (v + unit - 1) / unit * unit; }

inline SoundKind AnyKind(BankRandom& rng) {
  const int k = rng.Int(0, 99);
  if (k < 30) return SoundKind::kDrum;
  if (k < 45) return SoundKind::kKick;
  if (k < 65) return SoundKind::kVoice;
  if (k < 85) return SoundKind::kNote;
  if (k < 92) return SoundKind::kCymbalDc;
  return SoundKind::kHot;
}

// The kinds of the banks made after the real banks that the first layouts
// lacked: voices, strings and wind over a wandering level, and drums that
// clip in short bursts, among the others.
inline SoundKind AnyLaterKind(BankRandom& rng) {
  const int k = rng.Int(0, 99);
  if (k < 14) return SoundKind::kWander;
  if (k < 20) return SoundKind::kHotClip;
  return AnyKind(rng);
}

// The silent tail of `bytes`: how many of its last bytes are silence.
inline size_t SilentTail(const BankBytes& bytes) {
  size_t quiet = 0;
  while (quiet < bytes.size()) {
    const uint8_t b = bytes[bytes.size() - 1 - quiet];
    if (((b >> 4) ^ (b & 15)) != 8 || (b & 0x40) != 0) break;
    ++quiet;
  }
  return quiet;
}

// A sound of `kind` followed by digital silence, encoded, exactly `length`
// bytes long when that leaves room for at least `least` bytes of tail (the
// body is cut short where it does not).
inline BankBytes SoundWithTail(SoundKind kind, BankRandom& rng, SoundMaking making, size_t bytesBefore, size_t unit,
                               size_t least, size_t most) {
  std::vector<int16_t> samples = MakeSoundSamples(kind, rng, making);
  size_t body = bytesBefore + (samples.size() + 1) / 2;
  size_t length = AlignUp(body + least, unit);
  while (length > body + most && length >= unit * 2) length -= unit;
  if (length < body + least) {
    // Cut the body to fit the longest tail.
    const size_t keep = length - bytesBefore - least;
    samples.resize(2 * keep);
    body = bytesBefore + keep;
  }
  samples.resize(2 * (length - bytesBefore), 0);
  return EncodeAdpcmB(samples, making.choice);
}

// The layouts made after the real banks the first ones did not cover.
inline Bank MakeLaterBank(Layout layout, uint64_t seed) {
  BankRandom rng(seed * 16 + static_cast<uint64_t>(layout));
  Bank bank;
  SoundMaking making;
  making.choice = rng.Chance(0.5) ? CodeChoice::kRound : CodeChoice::kTruncate;
  making.rate = rng.Chance(0.8) ? 15974 : 8000;
  const uint8_t rest = rng.Chance(0.5) ? 0x00 : rng.Chance(0.5) ? 0xFF : 0x80;
  bank.ram.assign(kBankRamSize, rest);
  // How the sounds of a 256-byte bank begin: as they come, with a run of the
  // silence value of the tail before, or with 8 to 40 bytes of 0x80.
  const int starts = rng.Int(0, 2);
  const int count = layout == Layout::kHotKit ? 16 : rng.Int(8, 45);
  size_t at = 0;
  auto place = [&](const BankBytes& bytes, SoundKind kind) {
    if (at + bytes.size() > kBankRamSize) return false;
    std::copy(bytes.begin(), bytes.end(), bank.ram.begin() + static_cast<std::ptrdiff_t>(at));
    bank.sounds.push_back({at, at + bytes.size()});
    bank.kinds.push_back(kind);
    return true;
  };
  for (int k = 0; k < count; ++k) {
    SoundKind kind = AnyLaterKind(rng);
    SoundMaking m = making;
    BankBytes bytes;
    switch (layout) {
      case Layout::kHotKit: {
        // A music driver's kit mastered hot: kick, snare, tom and clap clip.
        static const SoundKind kit[16] = {SoundKind::kHotClip, SoundKind::kHotClip, SoundKind::kHotClip,
                                          SoundKind::kHotClip, SoundKind::kDrum, SoundKind::kKick, SoundKind::kDrum,
                                          SoundKind::kCymbalDc, SoundKind::kDrum, SoundKind::kHotClip,
                                          SoundKind::kHot, SoundKind::kKick, SoundKind::kDrum, SoundKind::kNote,
                                          SoundKind::kWander, SoundKind::kHotClip};
        kind = kit[k];
        m.cutMidWave = kind != SoundKind::kCymbalDc && rng.Chance(0.15);
        bytes = MakeSound(kind, rng, m);
        break;
      }
      case Layout::kBank256: {
        if (k > 0 && rng.Chance(0.05)) {
          // Consecutive slices of one drum loop, each a sample of its own
          // encoded from reset, each ending in mid-wave on the unit.
          std::vector<int16_t> loop;
          const int hits = rng.Int(4, 10);
          for (int h = 0; h < hits; ++h) {
            SoundMaking hit = m;
            hit.floorScale = 0.5;
            const std::vector<int16_t> one =
                MakeSoundSamples(rng.Chance(0.4) ? SoundKind::kKick : SoundKind::kDrum, rng, hit);
            loop.insert(loop.end(), one.begin(), one.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(one.size(), 2400)));
          }
          const int slices = rng.Int(2, 4);
          const size_t slice = std::max<size_t>(1, loop.size() / 512 / static_cast<size_t>(slices)) * 512;
          for (int sl = 0; sl < slices && static_cast<size_t>(sl + 1) * slice <= loop.size(); ++sl) {
            const std::vector<int16_t> part(loop.begin() + static_cast<std::ptrdiff_t>(sl * slice),
                                            loop.begin() + static_cast<std::ptrdiff_t>((sl + 1) * slice));
            if (!place(EncodeAdpcmB(part, m.choice), SoundKind::kDrum)) break;
            at += slice / 2;
          }
          continue;
        }
        BankBytes lead;
        const uint8_t before = at > 0 ? bank.ram[at - 1] : 0x08;
        if (starts == 1 && rng.Chance(0.8)) lead.assign(static_cast<size_t>(rng.Int(6, 25)), SilentTail({before}) == 1 ? before : 0x08);
        if (starts == 2 && rng.Chance(0.7)) lead.assign(static_cast<size_t>(rng.Int(8, 40)), 0x80);
        // Sample lengths already multiples of 256: the tail of silence,
        // 16 to 350 bytes, ends exactly on the unit.
        bytes = SoundWithTail(kind, rng, m, lead.size(), 256, 16, 350);
        bytes.insert(bytes.begin(), lead.begin(), lead.end());
        break;
      }
      case Layout::kTrackerZeroPad: {
        // Sounds with quiet stretches (runs of 0x00 inside them where the
        // wave rises slowly), padded with 0x00 to the next 32-byte unit:
        // 1 to 31 bytes, no fill between.
        m.floorScale = rng.Chance(0.5) ? rng.Uniform(0.02, 0.2) : 1.0;
        m.cutMidWave = kind != SoundKind::kCymbalDc && rng.Chance(0.1);
        bytes = MakeSound(kind, rng, m);
        if (rng.Chance(0.2)) bytes.push_back(0x00);  // ends with a data byte 0x00
        break;
      }
      case Layout::kPad256: {
        // Each sound ends in 16 to 60 bytes of silence, then 0x00 pads it to
        // the next 256-byte unit, mostly by a few bytes.
        const size_t pad = static_cast<size_t>(rng.Chance(0.7) ? rng.Int(1, 15) : rng.Int(16, 120));
        bytes = SoundWithTail(kind, rng, m, 0, 256, 16 + pad, 60 + pad);
        bytes.resize(bytes.size() - pad);
        break;
      }
      default: break;
    }
    if (!place(bytes, kind)) break;
    size_t next = at + bytes.size();
    switch (layout) {
      case Layout::kHotKit: next = AlignUp(next, 4) + 16; break;
      case Layout::kTrackerZeroPad: next = AlignUp(next, 32); break;
      default: next = AlignUp(next, 256); break;
    }
    const uint8_t pad = layout == Layout::kBank256 ? rest : 0x00;
    for (size_t i = at + bytes.size(); i < next && i < kBankRamSize; ++i) bank.ram[i] = pad;
    at = next;
  }
  return bank;
}

// The bank of `layout` made from `seed`. Its RAM is 256 KiB, the unused
// part after the sounds filled with the layout's pad byte, or sometimes
// with 0xFF or 0x00 as RAM powers up.
inline Bank MakeBank(Layout layout, uint64_t seed) {
  if (layout >= Layout::kHotKit) return MakeLaterBank(layout, seed);
  BankRandom rng(seed * 16 + static_cast<uint64_t>(layout));
  Bank bank;
  SoundMaking making;
  making.choice = rng.Chance(0.5) ? CodeChoice::kRound : CodeChoice::kTruncate;
  making.rate = rng.Chance(0.8) ? 15974 : 8000;
  const uint8_t pad = layout == Layout::kTracker256 || layout == Layout::kTracker256Chip ? 0x80 : 0x00;
  const uint8_t rest = rng.Chance(0.7) ? pad : (rng.Chance(0.5) ? 0xFF : 0x00);
  bank.ram.assign(kBankRamSize, rest);
  int count = 0;
  switch (layout) {
    case Layout::kDrumBank: count = 16; break;
    case Layout::kTracker32: count = rng.Int(6, 30); break;
    case Layout::kTracker256: case Layout::kTracker256Chip: count = rng.Int(6, 24); break;
    case Layout::kCompiler: count = 2; break;
    default: break;
  }
  size_t at = layout == Layout::kCompiler ? 4 * static_cast<size_t>(rng.Int(0, 256)) : 0;
  for (int k = 0; k < count; ++k) {
    SoundKind kind = AnyKind(rng);
    if (layout == Layout::kDrumBank) {
      static const SoundKind kit[16] = {SoundKind::kKick, SoundKind::kDrum, SoundKind::kDrum, SoundKind::kDrum,
                                        SoundKind::kDrum, SoundKind::kKick, SoundKind::kDrum, SoundKind::kCymbalDc,
                                        SoundKind::kDrum, SoundKind::kDrum, SoundKind::kHot, SoundKind::kKick,
                                        SoundKind::kDrum, SoundKind::kNote, SoundKind::kVoice, SoundKind::kDrum};
      kind = kit[k];
    }
    SoundMaking m = making;
    m.cutMidWave = kind != SoundKind::kCymbalDc && rng.Chance(layout == Layout::kCompiler && k == 0 ? 1.0 : 0.15);
    const bool padded = layout == Layout::kTracker256 || layout == Layout::kTracker256Chip;
    if (padded) m.cutMidWave = false, m.silentTail = static_cast<size_t>(rng.Int(2, 400));
    BankBytes bytes = MakeSound(kind, rng, m);
    if (layout == Layout::kTracker32 && rng.Chance(0.2)) bytes.push_back(0x00);  // ends with a data byte 0x00
    if (layout == Layout::kCompiler && k == 0) bytes.resize(bytes.size() / 4 * 4);
    if (layout == Layout::kTracker256 && rng.Chance(0.3)) {
      // Already a multiple of 256, so that no pad follows: the silent tail
      // trimmed to it where it is long enough, else grown.
      size_t quiet = 0;
      while (quiet < bytes.size() && (bytes[bytes.size() - 1 - quiet] == 0x08 || bytes[bytes.size() - 1 - quiet] == 0x80)) ++quiet;
      const size_t down = bytes.size() / 256 * 256;
      if (down > 0 && bytes.size() - down < quiet) {
        bytes.resize(down);
      } else {
        bytes.resize(AlignUp(bytes.size(), 256), bytes.back());
      }
    }
    if (at + bytes.size() > kBankRamSize) break;
    std::copy(bytes.begin(), bytes.end(), bank.ram.begin() + static_cast<std::ptrdiff_t>(at));
    bank.sounds.push_back({at, at + bytes.size()});
    bank.kinds.push_back(kind);
    size_t next = at + bytes.size();
    switch (layout) {
      case Layout::kDrumBank: next = AlignUp(next, 4) + 16; break;
      case Layout::kTracker32: next = AlignUp(next, 32); break;
      case Layout::kTracker256: next = AlignUp(next, 256); break;
      case Layout::kTracker256Chip: next = AlignUp(next + 80, 256); break;
      case Layout::kCompiler: next = AlignUp(next, 4); break;
      default: break;
    }
    for (size_t i = at + bytes.size(); i < next && i < kBankRamSize; ++i) bank.ram[i] = pad;
    at = next;
  }
  return bank;
}

// The end of a true sound's audible part: trailing samples within +-128
// (-48 dBFS) are not heard, and a search may leave them out.
inline size_t AudibleEnd(const BankBytes& ram, const ByteSpan& s) {
  std::vector<int16_t> samples(2 * s.size());
  DecodeAdpcmB(ram.data() + s.start, s.size(), samples.data());
  size_t end = s.end;
  auto quiet = [&](size_t i) { return samples[i] < 128 && samples[i] > -128; };
  while (end > s.start + 1 && quiet(2 * (end - 1 - s.start)) && quiet(2 * (end - 1 - s.start) + 1)) --end;
  return end;
}

// Whether sound `k` of `bank` is among `found` alone: a found sound starts
// at its true start, holds all of its audible part and reaches no further
// than the next sound's start, and no found sound starts inside it.
inline bool FoundAlone(const Bank& bank, size_t k, const std::vector<FoundSound>& found) {
  const ByteSpan& t = bank.sounds[k];
  const size_t audible = AudibleEnd(bank.ram, t);
  const size_t limit = k + 1 < bank.sounds.size() ? bank.sounds[k + 1].start : bank.ram.size();
  bool exact = false;
  for (const FoundSound& f : found) {
    if (f.span.start > t.start && f.span.start < audible) return false;
    exact = exact || (f.span.start == t.start && f.span.end >= audible && f.span.end <= limit);
  }
  return exact;
}

// ---------------------------------------------------------------- no sound

enum class Junk {
  kFillE5, kFill40, kFill00, kFillFF, kZ80, kM6809, kM68000, kX86, kBasic, kAscii, kShiftJis, kBitmap, kTables,
  kRandom, kDisk, kSprites, kRecords, kRecordTables, kCount
};

inline const char* JunkName(Junk junk) {
  static const char* const names[] = {"0xE5 sectors", "0x40 sectors", "0x00 sectors", "0xFF sectors", "Z80 code",
                                      "6809 code", "68000 code", "x86 code", "BASIC", "ASCII text", "Shift_JIS text",
                                      "bitmap", "tables", "random bytes", "disk mix",
                                      "4-bit sprites", "records, strings", "4-byte record tables"};
  return names[static_cast<int>(junk)];
}

namespace junk {

// A 16-bit word appended in the byte order of the processor whose code or
// data it stands for: little-endian (Z80, x86) or big-endian (6809, 68000).
inline void PutWord(BankBytes& out, unsigned v, bool little) {
  uint8_t word[2];
  PutLE16(word, v);
  if (!little) std::swap(word[0], word[1]);
  out.insert(out.end(), word, word + 2);
}

// Instructions drawn from a table of (weight, opcode bytes, operand bytes).
struct Op {
  int weight;
  std::vector<uint8_t> code;
  int operand;  // 0 none, 1 a byte, 2 an address, 3 a small offset, 4 an immediate word
};

inline void Code(BankBytes& out, size_t size, BankRandom& rng, const std::vector<Op>& ops, bool little, unsigned base) {
  int total = 0;
  for (const Op& op : ops) total += op.weight;
  while (out.size() < size) {
    if (rng.Chance(0.01)) {
      // A data island: a message, a table of small numbers or zeros.
      const int kind = rng.Int(0, 2), n = rng.Int(4, 40);
      for (int i = 0; i < n; ++i) {
        out.push_back(kind == 0 ? static_cast<uint8_t>(rng.Int(0x20, 0x7A)) : kind == 1 ? static_cast<uint8_t>(rng.Int(0, 31)) : 0);
      }
      continue;
    }
    int pick = rng.Int(0, total - 1);
    const Op* op = &ops[0];
    for (const Op& o : ops) {
      if (pick < o.weight) {
        op = &o;
        break;
      }
      pick -= o.weight;
    }
    out.insert(out.end(), op->code.begin(), op->code.end());
    switch (op->operand) {
      case 1: out.push_back(rng.Chance(0.4) ? static_cast<uint8_t>(rng.Int(0, 15)) : rng.Byte()); break;
      case 2: PutWord(out, base + static_cast<unsigned>(rng.Int(0, 0x3FFF)), little); break;
      case 3: out.push_back(static_cast<uint8_t>(rng.Int(-40, 40))); break;
      case 4: PutWord(out, static_cast<unsigned>(rng.Chance(0.5) ? rng.Int(0, 255) : rng.Int(0, 65535)), little); break;
      default: break;
    }
  }
}

inline std::vector<Op> Z80Ops() {
  return {{8, {0x3E}, 1}, {6, {0x21}, 2}, {6, {0xCD}, 2}, {5, {0xC9}, 0}, {4, {0x7E}, 0}, {4, {0x77}, 0},
          {5, {0x23}, 0}, {3, {0x10}, 3}, {4, {0x20}, 3}, {3, {0x28}, 3}, {3, {0xFE}, 1}, {3, {0xE5}, 0},
          {3, {0xE1}, 0}, {2, {0xD5}, 0}, {2, {0xD1}, 0}, {2, {0xC5}, 0}, {2, {0xC1}, 0}, {2, {0x18}, 3},
          {3, {0xC3}, 2}, {3, {0xAF}, 0}, {2, {0xB7}, 0}, {2, {0x0E}, 1}, {3, {0x06}, 1}, {3, {0x11}, 2},
          {2, {0x01}, 2}, {1, {0xED, 0xB0}, 0}, {2, {0xDD, 0x7E}, 1}, {2, {0xFD, 0x77}, 1}, {3, {0x32}, 2},
          {3, {0x3A}, 2}, {2, {0x78}, 0}, {2, {0x47}, 0}, {2, {0x4F}, 0}, {2, {0x79}, 0}, {1, {0xD3}, 1},
          {1, {0xDB}, 1}, {2, {0x13}, 0}, {2, {0x1A}, 0}, {2, {0x12}, 0}, {1, {0xF5}, 0}, {1, {0xF1}, 0},
          {1, {0xE6}, 1}, {1, {0xCB, 0x3F}, 0}, {1, {0x87}, 0}, {1, {0x19}, 0}, {1, {0xEB}, 0}};
}
inline std::vector<Op> M6809Ops() {
  return {{8, {0x86}, 1}, {5, {0xC6}, 1}, {5, {0xB7}, 2}, {4, {0xF7}, 2}, {5, {0x8E}, 2}, {5, {0xBD}, 2},
          {5, {0x39}, 0}, {4, {0x26}, 3}, {4, {0x27}, 3}, {3, {0x20}, 3}, {3, {0x34}, 1}, {3, {0x35}, 1},
          {4, {0xA6, 0x80}, 0}, {3, {0xA7, 0x80}, 0}, {3, {0xCC}, 4}, {3, {0xED, 0x81}, 0}, {2, {0x10, 0x8E}, 2},
          {3, {0x4F}, 0}, {3, {0x5F}, 0}, {2, {0x81}, 1}, {2, {0x7E}, 2}, {2, {0x30, 0x01}, 0}, {2, {0x1F, 0x89}, 0},
          {2, {0xB6}, 2}, {2, {0x4A}, 0}, {2, {0x5A}, 0}, {1, {0x3D}, 0}, {1, {0x84}, 1}};
}
inline std::vector<Op> M68000Ops() {
  return {{5, {0x4E, 0x75}, 0}, {3, {0x4E, 0x56}, 4}, {3, {0x4E, 0x5E}, 0}, {5, {0x2F, 0x00}, 0},
          {4, {0x20, 0x1F}, 0}, {4, {0x41, 0xF9, 0x00}, 2}, {5, {0x4E, 0xB9, 0x00}, 2}, {4, {0x66, 0x00}, 4},
          {4, {0x67, 0x00}, 4}, {4, {0x60, 0x00}, 4}, {5, {0x70}, 1}, {4, {0x30, 0x3C}, 4}, {4, {0x20, 0x40}, 0},
          {3, {0x32, 0x18}, 0}, {3, {0x30, 0xC1}, 0}, {3, {0x51, 0xC8, 0xFF}, 1}, {3, {0x0C, 0x40}, 4},
          {3, {0x48, 0xE7, 0xFF, 0xFE}, 0}, {3, {0x4C, 0xDF, 0x7F, 0xFF}, 0}, {3, {0x22, 0x3C, 0x00}, 2},
          {2, {0xD0, 0x81}, 0}, {2, {0xE3, 0x48}, 0}, {2, {0x4A, 0x80}, 0}, {2, {0x61, 0x00}, 4}, {2, {0x4E, 0x4F}, 0},
          {2, {0x3F, 0x3C}, 4}, {2, {0x42, 0x80}, 0}};
}
inline std::vector<Op> X86Ops() {
  return {{6, {0xB8}, 4}, {4, {0xBB}, 4}, {4, {0xB9}, 4}, {6, {0x8B, 0x46}, 3}, {5, {0x89, 0x46}, 3},
          {5, {0xE8}, 4}, {5, {0xC3}, 0}, {3, {0x50}, 0}, {3, {0x53}, 0}, {3, {0x58}, 0}, {3, {0x5B}, 0},
          {3, {0x55}, 0}, {2, {0x5D}, 0}, {3, {0xCD, 0x21}, 0}, {4, {0x74}, 3}, {4, {0x75}, 3}, {3, {0xEB}, 3},
          {3, {0x3C}, 1}, {3, {0x83, 0xC4}, 1}, {3, {0x33, 0xC0}, 0}, {2, {0x8B, 0xEC}, 0}, {2, {0xA1}, 2},
          {2, {0xA3}, 2}, {2, {0x26, 0x8A, 0x07}, 0}, {2, {0xAC}, 0}, {2, {0xAA}, 0}, {2, {0xF3, 0xA4}, 0},
          {2, {0x8E, 0xC0}, 0}, {2, {0x80, 0x3E}, 4}, {2, {0x46}, 0}, {2, {0x47}, 0}, {1, {0xE2}, 3}, {1, {0x9A}, 4}};
}

inline void Basic(BankBytes& out, size_t size, BankRandom& rng) {
  // Tokenized lines: the next line's address, the line number, tokens and
  // text, a 0x00.
  unsigned line = static_cast<unsigned>(rng.Int(1, 10)) * 10, address = 0x8021;
  static const uint8_t tokens[] = {0x91, 0x89, 0x8B, 0x8D, 0x8F, 0x81, 0x82, 0x83, 0x84, 0x85, 0x88, 0x8A, 0x8C,
                                   0x90, 0x92, 0x93, 0x9E, 0xA1, 0xA6, 0xC7, 0xCF, 0xD4, 0xE7, 0xF1, 0xF2, 0xFF};
  static const char* const words[] = {"A", "B$", "I", "X", "Y", "\"HELLO\"", "\"SCORE\"", "10", "0", "1", "255",
                                      "(I)", "N+1", "\"\"", "CHR$(27)", "J", "Z=0"};
  while (out.size() + 4 < size) {
    BankBytes body;
    const int parts = rng.Int(2, 12);
    for (int p = 0; p < parts; ++p) {
      if (rng.Chance(0.4)) {
        body.push_back(tokens[rng.Int(0, sizeof tokens - 1)]);
      } else {
        for (const char* w = words[rng.Int(0, sizeof words / sizeof words[0] - 1)]; *w; ++w) body.push_back(static_cast<uint8_t>(*w));
      }
      if (rng.Chance(0.3)) body.push_back(rng.Chance(0.5) ? ':' : ',');
      if (rng.Chance(0.2)) {
        body.push_back(0x0F + static_cast<uint8_t>(rng.Int(0, 1)));  // a number constant
        body.push_back(rng.Byte());
      }
    }
    address += static_cast<unsigned>(body.size() + 5);
    PutWord(out, address, true);
    PutWord(out, line, true);
    out.insert(out.end(), body.begin(), body.end());
    out.push_back(0x00);
    line += 10;
  }
  out.push_back(0x00);
  out.push_back(0x00);
}

inline void Ascii(BankBytes& out, size_t size, BankRandom& rng) {
  static const char* const words[] = {"the", "disk", "of", "and", "PLAYER", "to", "a", "is", "in", "game", "press",
                                      "SPACE", "key", "start", "ENEMY", "stage", "music", "by", "(C)1988", "SYSTEM",
                                      "LOAD", "error", "file", "not", "found", "copyright", "version", "1.0"};
  while (out.size() < size) {
    const char* w = words[rng.Int(0, sizeof words / sizeof words[0] - 1)];
    for (; *w; ++w) out.push_back(static_cast<uint8_t>(*w));
    if (rng.Chance(0.1)) {
      out.push_back('.');
      out.push_back(0x0D);
      out.push_back(0x0A);
    } else {
      out.push_back(' ');
    }
  }
  out.push_back(0x1A);
}

inline void ShiftJis(BankBytes& out, size_t size, BankRandom& rng) {
  while (out.size() < size) {
    const int k = rng.Int(0, 99);
    if (k < 45) {  // hiragana
      out.push_back(0x82);
      out.push_back(static_cast<uint8_t>(rng.Int(0x9F, 0xF1)));
    } else if (k < 65) {  // katakana
      out.push_back(0x83);
      out.push_back(static_cast<uint8_t>(rng.Int(0x40, 0x96)));
    } else if (k < 85) {  // kanji
      out.push_back(static_cast<uint8_t>(rng.Chance(0.8) ? rng.Int(0x88, 0x9F) : rng.Int(0xE0, 0xEA)));
      out.push_back(static_cast<uint8_t>(rng.Int(0x40, 0xFC)));
    } else if (k < 92) {  // punctuation
      out.push_back(0x81);
      out.push_back(static_cast<uint8_t>(rng.Chance(0.5) ? 0x42 : 0x41));
    } else if (k < 96) {
      out.push_back(0x0D);
      out.push_back(0x0A);
    } else {
      out.push_back(static_cast<uint8_t>(rng.Int(0x30, 0x5A)));
    }
  }
}

inline void Bitmap(BankBytes& out, size_t size, BankRandom& rng) {
  // 640 dots a row, one bit a dot, plane after plane: filled rectangles,
  // circles and dithered shading on a blank or solid ground.
  const size_t rowBytes = 80;
  const size_t rows = size / rowBytes + 1;
  std::vector<uint8_t> dots(rows * 640, rng.Chance(0.7) ? 0 : 1);
  const int shapes = rng.Int(3, 30);
  for (int s = 0; s < shapes; ++s) {
    const int x0 = rng.Int(0, 600), y0 = rng.Int(0, static_cast<int>(rows) - 1), w = rng.Int(4, 200), h = rng.Int(2, 80);
    const int kind = rng.Int(0, 2), level = rng.Int(0, 16);
    for (int y = y0; y < y0 + h && y < static_cast<int>(rows); ++y) {
      for (int x = x0; x < x0 + w && x < 640; ++x) {
        const double dx = (x - x0 - w / 2.0) / (w / 2.0), dy = (y - y0 - h / 2.0) / (h / 2.0);
        if (kind == 1 && dx * dx + dy * dy > 1) continue;
        static const int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
        dots[static_cast<size_t>(y) * 640 + static_cast<size_t>(x)] = kind == 2 ? bayer[y & 3][x & 3] < level : 1;
      }
    }
  }
  for (size_t i = 0; i + 8 <= dots.size() && out.size() < size; i += 8) {
    uint8_t b = 0;
    for (int k = 0; k < 8; ++k) b = static_cast<uint8_t>(b << 1 | dots[i + static_cast<size_t>(k)]);
    out.push_back(b);
  }
}

inline void Tables(BankBytes& out, size_t size, BankRandom& rng) {
  const double pi = 3.14159265358979323846;
  while (out.size() < size) {
    const int kind = rng.Int(0, 4), n = rng.Int(64, 512);
    for (int i = 0; i < n; ++i) {
      switch (kind) {
        case 0: out.push_back(static_cast<uint8_t>(std::lround(127.5 + 127 * std::sin(2 * pi * i / n)))); break;
        case 1: PutWord(out, static_cast<unsigned>(0x4000 + 0x23 * i), true); break;       // pointers
        case 2: PutWord(out, static_cast<unsigned>(i * i / 3), false); break;             // a curve
        case 3: out.push_back(static_cast<uint8_t>(rng.Int(0, 12))); break;              // map cells
        default: {                                                                        // an 8x8 font
          static const uint8_t glyph[8] = {0x38, 0x44, 0x82, 0x82, 0xFE, 0x82, 0x82, 0x00};
          out.push_back(static_cast<uint8_t>(glyph[i % 8] >> (i / 8 % 3)));
        }
      }
    }
  }
}

inline void Sprites(BankBytes& out, size_t size, BankRandom& rng) {
  // Sprites of 16 dots by 16 or 32, 4 bits a dot packed two to a byte (the
  // left dot in the high nibble), as 16-colour machines store them: colour
  // 0 around a body shaded in bands of two or three colours, with a
  // wobbling outline and now and then a stray dot of highlight.
  while (out.size() < size) {
    const int w = 16, h = rng.Chance(0.5) ? 16 : 32;
    const double cx = rng.Uniform(6, 10), cy = rng.Uniform(h * 0.4, h * 0.6);
    const double rx = rng.Uniform(3, 8), ry = rng.Uniform(h * 0.2, h * 0.5);
    const int outline = rng.Int(1, 15), base = rng.Int(1, 12), bands = rng.Int(2, 3), band = rng.Int(2, 6);
    for (int y = 0; y < h; ++y) {
      uint8_t byte = 0;
      for (int x = 0; x < w; ++x) {
        const double dx = (x - cx) / rx, dy = (y - cy) / ry;
        const double d = dx * dx + dy * dy + rng.Uniform(-0.15, 0.15);
        int c = 0;
        if (d < 0.75) {
          c = base + (y / band + (x > cx ? 1 : 0)) % bands;
          if (rng.Chance(0.03)) c = 15;
        } else if (d < 1.0) {
          c = outline;
        }
        byte = static_cast<uint8_t>(byte << 4 | c);
        if (x % 2 == 1) out.push_back(byte);
      }
    }
  }
}

inline void Records(BankBytes& out, size_t size, BankRandom& rng) {
  // A game's data: arrays of fixed-size records (a type, a position, a
  // 16-bit pointer, flags, unused bytes of 0x00) ended by 0xFF, and string
  // tables (pointers, then the strings, each ended by 0x00).
  while (out.size() < size) {
    if (rng.Chance(0.6)) {
      const int length = rng.Chance(0.5) ? 8 : 16, count = rng.Int(4, 60);
      const unsigned region = 0x4000 + static_cast<unsigned>(rng.Int(0, 0x3F)) * 0x100;
      for (int r = 0; r < count; ++r) {
        const size_t at = out.size();
        out.push_back(static_cast<uint8_t>(rng.Int(1, 24)));
        out.push_back(rng.Byte());
        out.push_back(static_cast<uint8_t>(rng.Int(0, 199)));
        PutWord(out, region + static_cast<unsigned>(rng.Int(0, 0xFFF)), true);
        out.push_back(static_cast<uint8_t>(rng.Chance(0.5) ? 0 : 1 << rng.Int(0, 7)));
        if (rng.Chance(0.5)) out.push_back(static_cast<uint8_t>(rng.Int(0, 9)));
        out.resize(at + static_cast<size_t>(length), 0x00);
      }
      out.push_back(0xFF);
    } else {
      static const char* const words[] = {"ATTACK", "MAGIC", "ITEM", "RUN", "HP", "MP", "SWORD", "SHIELD", "POTION",
                                          "GOLD", "LEVEL UP!", "GAME OVER", "CONTINUE?", "YES", "NO", "SAVE"};
      const int count = rng.Int(4, 16);
      unsigned address = 0x8000 + static_cast<unsigned>(rng.Int(0, 0x3FFF));
      std::vector<const char*> picked;
      for (int k = 0; k < count; ++k) picked.push_back(words[rng.Int(0, sizeof words / sizeof words[0] - 1)]);
      for (const char* w : picked) {
        PutWord(out, address, true);
        address += static_cast<unsigned>(std::string(w).size() + 1);
      }
      for (const char* w : picked) {
        for (; *w; ++w) out.push_back(static_cast<uint8_t>(*w));
        out.push_back(0x00);
      }
    }
  }
}

inline void RecordTables(BankBytes& out, size_t size, BankRandom& rng) {
  // Short tables of 4-byte records (a type, a position, flags, a number)
  // between runs of 0x00, as a game keeps its objects: most fields keep
  // their value from one record to the next, so about half the bytes equal
  // the byte 4 before.
  while (out.size() < size) {
    out.resize(out.size() + static_cast<size_t>(rng.Int(16, 200)), 0x00);
    const int records = rng.Int(8, 40);
    uint8_t field[4] = {static_cast<uint8_t>(rng.Int(1, 40)), rng.Byte(), static_cast<uint8_t>(rng.Int(0, 3) << 6),
                        static_cast<uint8_t>(rng.Int(1, 200))};
    for (int r = 0; r < records; ++r) {
      if (rng.Chance(0.3)) field[0] = static_cast<uint8_t>(rng.Int(1, 40));
      if (rng.Chance(0.6)) field[1] = static_cast<uint8_t>(field[1] + rng.Int(1, 24));
      if (rng.Chance(0.2)) field[2] = static_cast<uint8_t>(rng.Int(0, 3) << 6 | rng.Int(0, 15));
      if (rng.Chance(0.5)) field[3] = static_cast<uint8_t>(field[3] + 1);
      out.insert(out.end(), field, field + 4);
    }
  }
}

}  // namespace junk

// A piece of disk of `size` bytes holding no sound, of `kind`.
inline BankBytes MakeJunk(Junk kind, size_t size, uint64_t seed) {
  BankRandom rng(seed * 32 + static_cast<uint64_t>(kind) + 7);
  BankBytes out;
  switch (kind) {
    case Junk::kFillE5: out.assign(size, 0xE5); break;
    case Junk::kFill40: out.assign(size, 0x40); break;
    case Junk::kFill00: out.assign(size, 0x00); break;
    case Junk::kFillFF: out.assign(size, 0xFF); break;
    case Junk::kZ80: junk::Code(out, size, rng, junk::Z80Ops(), true, 0x4000); break;
    case Junk::kM6809: junk::Code(out, size, rng, junk::M6809Ops(), false, 0x6000); break;
    case Junk::kM68000: junk::Code(out, size, rng, junk::M68000Ops(), false, 0x0000); break;
    case Junk::kX86: junk::Code(out, size, rng, junk::X86Ops(), true, 0x0100); break;
    case Junk::kBasic: junk::Basic(out, size, rng); break;
    case Junk::kAscii: junk::Ascii(out, size, rng); break;
    case Junk::kShiftJis: junk::ShiftJis(out, size, rng); break;
    case Junk::kBitmap: junk::Bitmap(out, size, rng); break;
    case Junk::kTables: junk::Tables(out, size, rng); break;
    case Junk::kSprites: junk::Sprites(out, size, rng); break;
    case Junk::kRecords: junk::Records(out, size, rng); break;
    case Junk::kRecordTables: junk::RecordTables(out, size, rng); break;
    case Junk::kRandom:
      for (size_t i = 0; i < size; ++i) out.push_back(rng.Byte());
      break;
    case Junk::kDisk: {
      // Files of every kind in 256-byte sectors, each file's last sector
      // padded with 0x00 or 0x1A, and sectors never written (0xE5 or 0x40).
      const uint8_t unused = rng.Chance(0.5) ? 0xE5 : 0x40;
      while (out.size() < size) {
        const Junk file = static_cast<Junk>(rng.Int(static_cast<int>(Junk::kZ80), static_cast<int>(Junk::kRandom)));
        BankBytes bytes = MakeJunk(file, static_cast<size_t>(rng.Int(100, 12000)), rng.Next() & 0xFFFFFF);
        bytes.resize(AlignUp(bytes.size(), 256), rng.Chance(0.5) ? 0x00 : 0x1A);
        out.insert(out.end(), bytes.begin(), bytes.end());
        if (rng.Chance(0.4)) out.resize(out.size() + 256 * static_cast<size_t>(rng.Int(1, 16)), unused);
      }
      break;
    }
    default: break;
  }
  out.resize(size, kind == Junk::kFillE5 ? 0xE5 : 0x00);
  return out;
}

}  // namespace testimage

#endif  // KIT_BANKS_H_
