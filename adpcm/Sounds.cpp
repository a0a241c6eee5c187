#include "adpcm/Sounds.h"

#include <cmath>
#include <cstring>
#include <memory>

#include "adpcm/AdpcmB.h"

using namespace sound_rule;

namespace {

// Fill this long or longer holds an aligned 8-byte word of its value.
constexpr size_t kWordScan = 15;
// Step 5's byte counts are kept at every multiple of this many bytes of a
// stretch, so that any part of it is counted from the nearest ones.
constexpr size_t kTallyEvery = 64;

constexpr int32_t kMax = 32767, kMin = -32768;

// What the search asks of every byte, looked up: whether it is silence, and
// step 5's counts for it, 10 bits each, to be summed over at most
// kTallyEvery bytes at a time: the high code rises and the byte is not
// silence; the low one does; the byte is not silence; the rises of a byte
// of silence; the two codes are equal; the byte is neither silence nor 0x00.
struct ByteTable {
  bool silence[256];
  uint64_t packed[256];
};
constexpr int kPackedBits = 10;
constexpr int kPackedFields = 6;
constexpr uint64_t kPackedMask = (uint64_t{1} << kPackedBits) - 1;
constexpr ByteTable MakeByteTable() {
  ByteTable t{};
  for (int b = 0; b < 256; ++b) {
    const int high = b >> 4, low = b & 15;
    // Two codes of one magnitude 0 to 3 and opposite signs.
    t.silence[b] = (high ^ low) == 8 && (high & 7) <= 3;
    const uint64_t highRise = (b & 0x80) == 0, lowRise = (b & 0x08) == 0, sound = !t.silence[b];
    t.packed[b] = (highRise & sound) | (lowRise & sound) << kPackedBits | sound << 2 * kPackedBits |
                  (t.silence[b] ? highRise + lowRise : 0) << 3 * kPackedBits |
                  uint64_t{high == low} << 4 * kPackedBits | uint64_t{sound && b != 0} << 5 * kPackedBits;
  }
  return t;
}
constexpr ByteTable kBytes = MakeByteTable();
bool IsSilence(uint8_t b) { return kBytes.silence[b]; }
// v >= kMax or v <= kMin, as one unsigned comparison.
bool IsClamped(int32_t v) { return static_cast<uint32_t>(v - kMin - 1) >= static_cast<uint32_t>(kMax - kMin - 1); }
// v >= kLoud or v <= -kLoud, as one unsigned comparison.
bool IsLoud(int32_t v) { return static_cast<uint32_t>(v + kLoud - 1) >= static_cast<uint32_t>(2 * kLoud - 1); }
int64_t Abs(int64_t v) { return v < 0 ? -v : v; }
size_t AlignDown(size_t v, size_t unit) { return v / unit * unit; }
size_t AlignUp(size_t v, size_t unit) { return (v + unit - 1) / unit * unit; }

// On all 8 bytes of a word at once: 0x80 in each byte that is 0x00.
uint64_t ZeroBytes(uint64_t x) {
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
  return ~(((x & kLow7) + kLow7) | x | kLow7);
}
// 0x80 in each byte of `x` that is silence: its high nibble xor its low one
// is 8 and bit 2 of the high one is clear.
uint64_t SilenceBytes(uint64_t x) {
  constexpr uint64_t kOnes = 0x0101010101010101ull, kNibbles = 0x0F0F0F0F0F0F0F0Full;
  const uint64_t high = (x >> 4) & kNibbles, low = x & kNibbles;
  return ZeroBytes((high ^ low ^ (kOnes * 8)) | (high & (kOnes * 4)));
}
uint64_t Load(const uint8_t* p) {
  uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// The end of the run of bytes equal to image[i], eight at a time where the
// run is long.
size_t RunEnd(const uint8_t* image, size_t i, size_t size) {
  const uint8_t v = image[i];
  size_t j = i + 1;
  if (j + 8 <= size && std::memcmp(image + i, image + j, 8) == 0) {
    uint64_t pattern;
    std::memset(&pattern, v, sizeof pattern);
    for (; j + 32 <= size; j += 32) {
      const uint64_t a = Load(image + j), b = Load(image + j + 8), c = Load(image + j + 16), d = Load(image + j + 24);
      if (((a ^ pattern) | (b ^ pattern) | (c ^ pattern) | (d ^ pattern)) != 0) break;
    }
    for (; j + 8 <= size && Load(image + j) == pattern; j += 8) {
    }
  }
  while (j < size && image[j] == v) ++j;
  return j;
}

// ---------------------------------------------------------------- step 5's counts

// What step 5 weighs of the samples of a stretch decoded from reset.
struct Counts {
  int64_t sum = 0;
  size_t clamped = 0, loud = 0;
  size_t clampRun = 0;  // clamped samples that follow two clamped ones
};

constexpr size_t kStrides = kMaxStride - kMinStride + 1;

// What step 5 weighs of the bytes of a stretch. Each byte's count looks at
// most kMaxStride bytes back, and only within the stretch, so that the
// counts of a stretch are those of a longer one's from kMaxStride bytes in.
struct CodeCounts {
  size_t fields[kPackedFields] = {};  // as ByteTable::packed
  size_t sameAcross = 0;              // high codes equal to the low code before (the first counts)
  size_t repeated = 0;                // the kRepeatRun-th or later byte of a run of one value, not silence
  size_t stride[kStrides] = {};       // bytes neither silence nor 0x00 equal to the byte k before
  void Add(const CodeCounts& o, int sign) {
    auto add = [sign](size_t& a, size_t b) { a = sign > 0 ? a + b : a - b; };
    for (int f = 0; f < kPackedFields; ++f) add(fields[f], o.fields[f]);
    add(sameAcross, o.sameAcross);
    add(repeated, o.repeated);
    for (size_t k = 0; k < kStrides; ++k) add(stride[k], o.stride[k]);
  }
};

// Adds the counts of byte `i` of a stretch that begins at `begin`.
void CountByte(const uint8_t* image, size_t i, size_t begin, CodeCounts* c) {
  const uint8_t b = image[i];
  const uint64_t packed = kBytes.packed[b];
  for (int f = 0; f < kPackedFields; ++f) c->fields[f] += static_cast<size_t>(packed >> (f * kPackedBits) & kPackedMask);
  // The first code of the stretch is counted as repeating itself.
  c->sameAcross += i > begin ? (b >> 4) == (image[i - 1] & 15) : 1;
  bool run = i >= begin + kRepeatRun - 1 && !IsSilence(b);
  for (size_t k = 1; run && k < kRepeatRun; ++k) run = image[i - k] == b;
  c->repeated += run;
  if (IsSilence(b) || b == 0) return;
  for (size_t k = kMinStride; k <= kMaxStride; ++k) c->stride[k - kMinStride] += i >= begin + k && image[i - k] == b;
}

// Adds the counts of bytes [from, to) of a stretch that begins at `begin`:
// one at a time where the bytes looked back at may lie before the stretch,
// eight at a time after that, each count a byte lane of a word.
void CountCodes(const uint8_t* image, size_t from, size_t to, size_t begin, CodeCounts* c) {
  static_assert(kRepeatRun - 1 <= kMaxStride, "the words look back kMaxStride bytes at most");
  constexpr uint64_t kTop = 0x8080808080808080ull, kNibbles = 0x0F0F0F0F0F0F0F0Full;
  size_t i = from;
  for (; i < to && i < begin + kMaxStride; ++i) CountByte(image, i, begin, c);
  while (i + 8 <= to) {
    // At most 15 words a round, so that no sum of lanes passes 255.
    constexpr int kFields = 8 + kStrides;
    uint64_t lanes[kFields] = {};
    for (int n = 0; n < 15 && i + 8 <= to; ++n, i += 8) {
      const uint64_t w = Load(image + i);
      const uint64_t silence = SilenceBytes(w), zero = ZeroBytes(w);
      const uint64_t sound = ~silence & kTop, highRise = ~w & kTop, lowRise = (~w << 4) & kTop;
      lanes[0] += (highRise & sound) >> 7;
      lanes[1] += (lowRise & sound) >> 7;
      lanes[2] += sound >> 7;
      lanes[3] += ((highRise & silence) >> 7) + ((lowRise & silence) >> 7);
      lanes[4] += ZeroBytes(((w >> 4) ^ w) & kNibbles) >> 7;
      const uint64_t eligible = sound & ~zero;
      lanes[5] += eligible >> 7;
      const uint64_t before = Load(image + i - 1);
      lanes[6] += ZeroBytes(((w >> 4) ^ before) & kNibbles) >> 7;
      uint64_t run = sound;
      for (size_t k = 1; k <= kMaxStride; ++k) {
        const uint64_t equal = k == 1 ? ZeroBytes(w ^ before) : ZeroBytes(w ^ Load(image + i - k));
        if (k < kRepeatRun) run &= equal;
        if (k >= kMinStride) lanes[8 + k - kMinStride] += (equal & eligible) >> 7;
      }
      lanes[7] += run >> 7;
    }
    auto total = [](uint64_t lane) { return static_cast<size_t>((lane * 0x0101010101010101ull) >> 56); };
    for (int f = 0; f < kPackedFields; ++f) c->fields[f] += total(lanes[f]);
    c->sameAcross += total(lanes[6]);
    c->repeated += total(lanes[7]);
    for (size_t k = 0; k < kStrides; ++k) c->stride[k] += total(lanes[8 + k]);
  }
  for (; i < to; ++i) CountByte(image, i, begin, c);
}

// Step 5's counts of bytes [from, to) decoded from reset.
Counts DecodeCounts(const uint8_t* image, size_t from, size_t to) {
  Counts counts;
  AdpcmBDecoder d;
  size_t run = 0;
  for (size_t i = from; i < to; ++i) {
    for (int half = 0; half < 2; ++half) {
      const int32_t v = d.Decode(static_cast<uint8_t>(half == 0 ? image[i] >> 4 : image[i] & 15));
      counts.sum += v;
      const bool clamped = IsClamped(v);
      run = clamped ? run + 1 : 0;
      counts.clamped += clamped;
      counts.clampRun += run >= 3;
      counts.loud += IsLoud(v);
    }
  }
  return counts;
}

// What step 5 makes of a stretch.
enum class Kind { kUnknown, kSound, kShortAtEnd, kNotSound, kSilent };

// Step 5: whether bytes [start, end) decode like sound, and whether they
// hold anything but silence, from their counts.
Kind Judge(const uint8_t* image, size_t start, size_t end, size_t size, const Counts& d, const CodeCounts& c) {
  const size_t n = end - start;
  const size_t highRises = c.fields[0], lowRises = c.fields[1], codes = c.fields[2];
  if (codes == 0) return Kind::kSilent;
  if (n < kMinSound) {
    // Short: only where the end of the RAM may have cut a sound short,
    // after a long fill (the rest of a picture or a table between short
    // fills is not that).
    if (end != size || start < kLoneFill) return Kind::kNotSound;
    for (size_t i = start - kLoneFill; i < start; ++i) {
      if (image[i] != image[start - 1]) return Kind::kNotSound;
    }
  }
  const size_t samples = 2 * n;
  // Code and tables sit at the clamps in long runs; a hot sound touches
  // them a sample or two at a time. A stretch this short holds too few
  // samples for the share to tell: a few bytes of code between two runs of
  // 0x00 reach the clamps at once, a click or blip of a sound does not.
  if (d.clamped * 100 > samples * kMaxClampPercent) return Kind::kNotSound;
  if (d.clampRun * 1000 > samples * kMaxClampRunPermille) return Kind::kNotSound;
  if (n < kShortSound && d.clamped > 0) return Kind::kNotSound;
  if (d.loud * 100 > samples * kMaxLoudPercent) return Kind::kNotSound;
  if (Abs(d.sum / static_cast<int64_t>(samples)) > kMaxLevel) return Kind::kNotSound;
  const size_t positive = highRises + lowRises + c.fields[3];
  // An encoder that follows a wave writes as many rises as falls; text,
  // tables of small numbers and most code lean one way.
  if (n >= kMinSound &&
      (positive * 100 > samples * (100 - kMinRisePercent) || positive * 100 < samples * kMinRisePercent)) {
    return Kind::kNotSound;
  }
  // Pictures and tables repeat bytes; a sound's noise floor keeps its codes
  // changing, but in silence.
  if (c.repeated * 100 > n * kMaxRepeatedPercent) return Kind::kNotSound;
  // A table of fixed-size records repeats its fields at the record's size.
  const size_t eligible = c.fields[5];
  for (size_t k = 0; k < kStrides; ++k) {
    if (eligible > 0 && c.stride[k] * 100 > eligible * kMaxStridePercent) return Kind::kNotSound;
  }
  if (n >= kMinSound) {
    // The two codes of a byte are neighbouring samples of one wave, so
    // each half of the byte rises about as often as the other; bytes below
    // 0x80 always rise first, bytes of 0x00 to 0x0F (map cells, small
    // numbers) always by the smallest step. Silence alternates by design
    // and is left out.
    auto lopsided = [codes](size_t rises) {
      return rises * 100 > codes * (100 - kMinHalfRisePercent) || rises * 100 < codes * kMinHalfRisePercent;
    };
    if (lopsided(highRises) || lopsided(lowRises)) return Kind::kNotSound;
    // Pictures of 4 bits a dot hold areas of one colour: most codes repeat
    // the one before. In a sound only the quiet tail of a slow wave does
    // that, and never for most of the sound; a short stretch, a small
    // sprite between rows of colour 0, is held to less.
    const size_t same = c.fields[4] + c.sameAcross;
    if (same * 100 > samples * (n < kShortSound ? kMaxSameShortPercent : kMaxSamePercent)) return Kind::kNotSound;
  }
  return n < kMinSound ? Kind::kShortAtEnd : Kind::kSound;
}

// Step 5 on a stretch the search holds no counts of.
Kind JudgeAlone(const uint8_t* image, size_t start, size_t end, size_t size, uint64_t* work) {
  CodeCounts codes;
  CountCodes(image, start, end, start, &codes);
  *work += end - start;
  if (codes.fields[2] == 0) return Kind::kSilent;
  *work += end - start;
  return Judge(image, start, end, size, DecodeCounts(image, start, end), codes);
}

// ---------------------------------------------------------------- decoding on

// A stretch of the image and what ends it.
struct Piece {
  size_t start, end;
  SoundEnd why;
  Kind kind = Kind::kUnknown;
};

// The decoder played on over one stretch from its latest start, kept as
// running sums per byte so that any window's mean and clamp count cost
// nothing; decoded lazily, and again from a new start when one is found.
// Its per-byte frames, kept from one stretch to the next: they only grow,
// and are written before they are read, so never cleared.
struct Frame {
  int64_t sum;          // the samples so far
  uint32_t clamped;     // the clamped samples so far
  uint32_t loud;        // those beyond +-kLoud
  uint32_t clampRun;    // the clamped samples that follow two clamped ones
  AdpcmBDecoder state;  // after the byte
};
struct Scratch {
  std::unique_ptr<Frame[]> frames;
  size_t capacity = 0;
  std::vector<CodeCounts> tally;
  uint64_t work = 0;
  // Room for a stretch of `bytes`: taken once for the longest, so that the
  // memory is not given back and faulted in again stretch after stretch.
  void Reserve(size_t bytes) {
    if (capacity < bytes + 1) {
      frames.reset(new Frame[bytes + 1]);
      capacity = bytes + 1;
    }
  }
};

class Track {
 public:
  Track(const uint8_t* image, size_t start, size_t end, Scratch& scratch)
      : image_(image), base_(start), size_(end - start), scratch_(scratch) {
    scratch.Reserve(end - start);
    frames_ = scratch.frames.get();
    frames_[0] = Frame{0, 0, 0, 0, AdpcmBDecoder()};
    // Step 5's byte counts at every kTallyEvery bytes of the stretch.
    std::vector<CodeCounts>& tally = scratch.tally;
    tally.assign(1, CodeCounts());
    for (size_t at = start; at + kTallyEvery <= end; at += kTallyEvery) {
      tally.push_back(tally.back());
      CountCodes(image, at, at + kTallyEvery, start, &tally.back());
    }
    scratch.work += end - start;
  }
  // Decodes from reset again from byte `at` on.
  void Restart(size_t at) {
    frontier_ = at - base_;
    frames_[frontier_] = Frame{frames_[frontier_].sum, frames_[frontier_].clamped, frames_[frontier_].loud,
                               frames_[frontier_].clampRun, AdpcmBDecoder()};
    run_ = 0;
  }
  // Decodes on to byte `to` at least; a little further where the stretch
  // goes on, so that the search, moving 4 bytes at a time, seldom waits.
  void Ensure(size_t to) {
    if (frontier_ < to - base_) {
      const size_t ahead = frontier_ + kDecodeAhead < size_ ? frontier_ + kDecodeAhead : size_;
      DecodeTo(to - base_ > ahead ? to - base_ : ahead);
    }
  }

  // The sum and the mean of the samples of bytes [from, to), and their
  // clamped samples; within what was decoded on from the latest start.
  int64_t Sum(size_t from, size_t to) const { return frames_[to - base_].sum - frames_[from - base_].sum; }
  int64_t Mean(size_t from, size_t to) const { return Sum(from, to) / static_cast<int64_t>(2 * (to - from)); }
  uint32_t Clamps(size_t from, size_t to) const { return frames_[to - base_].clamped - frames_[from - base_].clamped; }
  uint32_t ClampRuns(size_t from, size_t to) const { return frames_[to - base_].clampRun - frames_[from - base_].clampRun; }
  AdpcmBDecoder StateAt(size_t at) const { return frames_[at - base_].state; }
  // Step 5's counts of [from, to), which must begin at the latest start.
  Counts CountsOf(size_t from, size_t to) const {
    const Frame &a = frames_[from - base_], &b = frames_[to - base_];
    Counts c;
    c.sum = b.sum - a.sum;
    c.clamped = b.clamped - a.clamped;
    c.loud = b.loud - a.loud;
    c.clampRun = b.clampRun - a.clampRun;
    return c;
  }
  CodeCounts CodesOf(size_t from, size_t to) const {
    CodeCounts c;
    const size_t head = to - from < kMaxStride ? to : from + kMaxStride;
    CountCodes(image_, from, head, from, &c);
    if (to > head) {
      c.Add(PrefixCodes(to), +1);
      c.Add(PrefixCodes(head), -1);
    }
    scratch_.work += 3 * kTallyEvery;
    return c;
  }

 private:
  // The counts of the stretch's bytes before `at`.
  CodeCounts PrefixCodes(size_t at) const {
    const size_t k = (at - base_) / kTallyEvery;
    CodeCounts c = scratch_.tally[k];
    CountCodes(image_, base_ + k * kTallyEvery, at, base_, &c);
    return c;
  }
  // Decodes on to frame k.
  void DecodeTo(size_t k) {
    scratch_.work += k - frontier_;
    AdpcmBDecoder d = frames_[frontier_].state;
    Frame f = frames_[frontier_];
    const uint8_t* bytes = image_ + base_;
    for (size_t i = frontier_; i < k; ++i) {
      const uint8_t b = bytes[i];
      const int32_t a = d.Decode(static_cast<uint8_t>(b >> 4));
      const int32_t c = d.Decode(static_cast<uint8_t>(b & 15));
      f.sum += a + c;
      // Every clamped sample is loud, and sound is seldom loud.
      if (IsLoud(a) || IsLoud(c)) {
        f.loud += IsLoud(a) + IsLoud(c);
        const bool ca = IsClamped(a), cc = IsClamped(c);
        f.clamped += ca + cc;
        run_ = ca ? run_ + 1 : 0;
        f.clampRun += run_ >= 3;
        run_ = cc ? run_ + 1 : 0;
        f.clampRun += run_ >= 3;
      } else {
        run_ = 0;
      }
      f.state = d;
      frames_[i + 1] = f;
    }
    frontier_ = k;
  }

  static constexpr size_t kDecodeAhead = 256;
  const uint8_t* image_;
  size_t base_;
  size_t size_;
  Scratch& scratch_;
  size_t frontier_ = 0;
  uint32_t run_ = 0;  // clamped samples in a row at the frontier
  Frame* frames_;
};

// Decodes `size` bytes with `decoder`, summing the samples and counting
// the clamped ones, over the first `near` bytes and over all.
struct Played {
  int64_t sum = 0, nearSum = 0;
  uint32_t clamps = 0, nearClamps = 0;
  uint32_t runs = 0, nearRuns = 0;  // clamped samples that follow two clamped ones
  size_t firstClamp = SIZE_MAX;     // the byte of the first clamped sample
  int32_t peak = 0;     // the loudest sample
  int32_t maxStep = 0;  // the largest step size after a byte
};

Played Play(AdpcmBDecoder decoder, const uint8_t* bytes, size_t near, size_t size, uint64_t* work) {
  *work += size;
  Played p;
  uint32_t run = 0;
  for (size_t i = 0; i < size; ++i) {
    if (i == near) {
      p.nearSum = p.sum;
      p.nearClamps = p.clamps;
      p.nearRuns = p.runs;
    }
    const int32_t a = decoder.Decode(static_cast<uint8_t>(bytes[i] >> 4));
    const int32_t c = decoder.Decode(static_cast<uint8_t>(bytes[i] & 15));
    p.sum += a + c;
    p.clamps += IsClamped(a) + IsClamped(c);
    if (p.firstClamp == SIZE_MAX && (IsClamped(a) || IsClamped(c))) p.firstClamp = i;
    run = IsClamped(a) ? run + 1 : 0;
    p.runs += run >= 3;
    run = IsClamped(c) ? run + 1 : 0;
    p.runs += run >= 3;
    const int32_t m = a < 0 ? -a : a, n = c < 0 ? -c : c;
    p.peak = m > p.peak ? m : p.peak;
    p.peak = n > p.peak ? n : p.peak;
    p.maxStep = decoder.step > p.maxStep ? decoder.step : p.maxStep;
  }
  if (near >= size) {
    p.nearSum = p.sum;
    p.nearClamps = p.clamps;
    p.nearRuns = p.runs;
  }
  return p;
}

// How much better decoding from reset at `t` explains the `window` bytes
// after it than decoding on does: a score (lower is better for reset) and
// whether the difference makes `t` a start (step 4b and 4c). Decoding on
// from a state that is not the reset one scales every step by the ratio of
// the two step sizes, which drives a loud sound into the clamps, and adds
// the level it had at `t` to every sample until a clamp takes it off.
struct Verdict {
  bool start = false;
  bool byClamps = false;
  int64_t score = 0;
  // Whether this verdict's unit is the likelier start of the two: where
  // decoding on runs into the clamps, the one where decoding from reset
  // begins loudest (a sound from reset begins as its encoder did; one
  // from a few bytes into it begins with steps too small), else the one
  // with the lower score.
  bool Better(const Verdict& o) const { return byClamps && o.byClamps ? loud > o.loud : score < o.score; }
  int64_t loud = 0;
  size_t firstClamp = 0;  // bytes after the unit to decoding on's first clamp
};

Verdict Weigh(const uint8_t* image, const Track& track, size_t t, size_t before, size_t window, uint64_t* work) {
  const size_t near = window < kWindow ? window : kWindow;
  const Played r = Play(AdpcmBDecoder(), image + t, near, window, work);
  const Played o = Play(track.StateAt(t), image + t, near, window, work);
  const int64_t meanBefore = track.Mean(t - before, t);
  const int64_t meanR = r.sum / static_cast<int64_t>(2 * window), meanO = o.sum / static_cast<int64_t>(2 * window);
  const int64_t jumpR = Abs(meanR - meanBefore), jumpO = Abs(meanO - meanBefore);
  const uint32_t samples = static_cast<uint32_t>(2 * near);
  // Decoding on runs into the clamps as no sound does (step 5's test of
  // clamp runs fails), decoding from reset hardly touches them, and the
  // earlier sound passed that test.
  const bool clamps = r.nearClamps * 100 <= samples * kMaxClampPercent && r.nearRuns * 1000 <= samples * kMaxClampRunPermille &&
                      o.nearClamps * 100 >= samples * kOnClampPercent &&
                      o.nearRuns * 1000 > samples * kMaxClampRunPermille && o.firstClamp < kClampWithin &&
                      track.ClampRuns(t - before, t) * 1000 <= 2 * before * kMaxClampRunPermille;
  bool level = before >= kLevelSpan && window >= kLevelSpan && jumpO >= kJump && 4 * jumpR <= jumpO && r.clamps <= o.clamps &&
               4 * Abs(meanR) <= Abs(meanO);
  if (level) {
    // A jump at once, not a drift: each window's halves keep one level.
    const size_t hb = before / 2;
    const int64_t driftBefore = Abs(track.Mean(t - before, t - hb) - track.Mean(t - hb, t));
    const Played half = Play(track.StateAt(t), image + t, window / 2, window / 2, work);
    const int64_t firstHalf = half.sum / static_cast<int64_t>(window / 2 * 2);
    const int64_t secondHalf = (o.sum - half.sum) / static_cast<int64_t>((window - window / 2) * 2);
    level = 4 * driftBefore < jumpO && 4 * Abs(firstHalf - secondHalf) < jumpO;
  }
  Verdict verdict;
  verdict.score = static_cast<int64_t>(r.nearRuns) * 4096 + jumpR;
  verdict.start = clamps || level;
  verdict.byClamps = clamps;
  verdict.firstClamp = o.firstClamp;
  if (clamps) {
    AdpcmBDecoder reset;
    for (size_t i = t; i < t + kLoudAfter && i < t + window; ++i) {
      verdict.loud += Abs(reset.Decode(static_cast<uint8_t>(image[i] >> 4))) + Abs(reset.Decode(static_cast<uint8_t>(image[i] & 15)));
    }
    *work += kLoudAfter;
  }
  return verdict;
}

// The largest step size of bytes [from, to) decoded on, after each byte.
int32_t MaxStepOn(const Track& track, size_t from, size_t to) {
  int32_t most = 0;
  for (size_t i = from + 1; i <= to; ++i) most = track.StateAt(i).step > most ? track.StateAt(i).step : most;
  return most;
}

// Step 4d: whether a sound starts at `t`, on a unit of 32 or more, with an
// onset: the `kQuietBefore` bytes before it, decoded on, stay quiet, and
// the `kLoudAfter` after it, decoded from reset, are on average several
// times louder than the loudest of them. A sound that ends quietly leaves
// the decoder near its reset state, so decoding on and from reset agree and
// only the onset tells the next sound's first byte; inside a sound a quiet
// stretch rarely turns loud at once, and more rarely on the unit. A pause
// of encoded silence is no end: the sound that holds it is stored whole.
bool OnsetAt(const uint8_t* image, const Track& track, size_t t, uint64_t* work) {
  size_t k = t;
  while (k > t - kOnsetZeros && image[k - 1] == 0x00) --k;
  size_t silent = 0;
  while (silent < kPauseRun && IsSilence(image[k - 1 - silent])) ++silent;
  if (silent == kPauseRun && k == t) return false;
  AdpcmBDecoder on = track.StateAt(t - kQuietBefore);
  const Played quiet = Play(on, image + t - kQuietBefore, kQuietBefore, kQuietBefore, work);
  AdpcmBDecoder reset;
  int64_t loud = 0;
  *work += kLoudAfter;
  for (size_t i = t; i < t + kLoudAfter; ++i) {
    loud += Abs(reset.Decode(static_cast<uint8_t>(image[i] >> 4)));
    loud += Abs(reset.Decode(static_cast<uint8_t>(image[i] & 15)));
  }
  const int64_t mean = loud / static_cast<int64_t>(2 * kLoudAfter);
  const int64_t floor = quiet.peak < kRestLevel ? kRestLevel : quiet.peak;
  return quiet.peak <= kOnsetQuiet && mean >= kOnsetLevel && mean >= kOnsetRatio * floor;
}

// How decoding from reset at `t` and decoding on compare over the 1 KiB
// after it (or up to `e`): whether decoding on is plainly right (decoding
// from reset clamps more, or leaves the level kPadLevel further from zero),
// and whether decoding from reset is (it takes off kPadCentred or more of
// the level: what the sound before and the pad's ramp left).
struct PadEvidence {
  bool onRight = false, resetRight = false;
};

PadEvidence WeighPad(const uint8_t* image, const Track& track, size_t t, size_t e, uint64_t* work) {
  const size_t window = e - t < kLevelWindow ? e - t : kLevelWindow;
  const Played r = Play(AdpcmBDecoder(), image + t, window, window, work);
  const Played o = Play(track.StateAt(t), image + t, window, window, work);
  const int64_t meanR = Abs(r.sum / static_cast<int64_t>(2 * window)), meanO = Abs(o.sum / static_cast<int64_t>(2 * window));
  PadEvidence evidence;
  evidence.onRight = r.clamps > o.clamps || meanR >= meanO + kPadLevel;
  evidence.resetRight = !evidence.onRight && meanO >= meanR + kPadCentred;
  return evidence;
}

// Step 4a: whether the run of `zeros` bytes of 0x00 before `t` (and up to
// kZeroStart after it) is a pad that parts two sounds at `t`, in a stretch
// that ends at `e`.
bool PadParts(const uint8_t* image, const Track& track, size_t cur, size_t t, size_t zeros, size_t e, uint64_t* work) {
  if (WeighPad(image, track, t, e, work).resetRight) return true;
  // A quiet passage that stays quiet: a slow rise inside a soft sound,
  // where the step size stays small on both sides of the run.
  const size_t runStart = t - zeros;
  const size_t from = runStart - cur > kQuietBefore ? runStart - kQuietBefore : cur;
  const int32_t before = MaxStepOn(track, from, runStart);
  if (before > kPadQuietStep) return true;
  const size_t after = e - t < kPadOnsetAfter ? e - t : kPadOnsetAfter;
  const Played onset = Play(AdpcmBDecoder(), image + t, after, after, work);
  return onset.maxStep >= kPadStepRatio * before;
}

// A pad of silence up to a 256-byte unit (step 3): where the next sound
// begins, and where the silence before it ends (the decoder must be at
// rest there, the level near zero: silence at a DC level is no pad).
struct PadCut {
  size_t at, silenceEnd;
};

// Step 3: whether the pad of silence before `t`, which ends at
// `silenceEnd`, parts two sounds there: where the decoder is at rest after
// it, or where the sound before stopped at a level and a new one begins
// after at most the pad's own silence (silence at a DC level, inside a
// sound, goes on quietly at that level).
bool SilenceParts(const uint8_t* image, const Track& track, size_t t, size_t silenceEnd, size_t e, size_t unit,
                  uint64_t* work) {
  const bool rest = Abs(track.StateAt(silenceEnd).acc) <= kRestLevel;
  // In an image on 32-byte units the pads are 0x00: silence there is most
  // often a pause, unless a sound plainly begins after it.
  if (rest && unit != 32) return true;
  if (!rest && WeighPad(image, track, t, e, work).onRight) return false;
  size_t k = t;
  while (k < e && IsSilence(image[k])) ++k;
  const size_t to = e - k < kPadOnsetWithin ? e : k + kPadOnsetWithin;
  return Play(AdpcmBDecoder(), image + t, to - t, to - t, work).peak >= kPadOnsetPeak;
}

// Step 4: the starts inside a stretch that nothing but the decoder's
// evidence marks; the stretch is appended to `out` in pieces.
void SplitTouching(const uint8_t* image, size_t size, const Piece& piece, size_t unit, const PadCut* pads,
                   const PadCut* padsEnd, Scratch& scratch, std::vector<Piece>* out) {
  const size_t s = piece.start, e = piece.end;
  while (pads != padsEnd && pads->at <= s) ++pads;
  if (e - s < 2 * kMinSound && (pads == padsEnd || pads->at >= e)) {
    out->push_back(piece);
    return;
  }
  Track track(image, s, e, scratch);
  uint64_t* work = &scratch.work;
  size_t cur = s;
  size_t nextWeigh = 0;
  auto first = [unit](size_t from) { return AlignUp(from + kMinSound, unit); };
  // A start ends a sound: what comes before it must be one.
  auto isSound = [&](size_t at) {
    return Judge(image, cur, at, size, track.CountsOf(cur, at), track.CodesOf(cur, at)) == Kind::kSound;
  };
  auto startAt = [&](size_t at, SoundEnd why) {
    out->push_back({cur, at, why, Kind::kSound});
    cur = at;
    track.Restart(cur);
    nextWeigh = 0;
    return first(cur);
  };
  size_t t = first(s);
  while (t < e) {
    const size_t wa = e - t < kLevelWindow ? e - t : kLevelWindow;
    const size_t wb = t - cur < kLevelWindow ? t - cur : kLevelWindow;
    track.Ensure(t + wa);
    // Step 3's pads, where the silence before them leaves the decoder at
    // rest.
    while (pads != padsEnd && pads->at < t) ++pads;
    if (pads != padsEnd && pads->at == t && SilenceParts(image, track, t, pads->silenceEnd, e, unit, work)) {
      const Kind kind = Judge(image, cur, t, size, track.CountsOf(cur, t), track.CodesOf(cur, t));
      out->push_back({cur, t, SoundEnd::kSilence, kind});
      cur = t;
      track.Restart(cur);
      nextWeigh = 0;
      t = first(cur);
      continue;
    }
    if (t + kMinSound > e) {
      t += unit;
      continue;
    }
    // No start is sought after what does not decode like sound (step 5's
    // clamp tests, from the running counts): code and tables clamp and
    // unclamp all the time.
    const size_t samplesBefore = 2 * (t - cur);
    if (t < nextWeigh || track.Clamps(cur, t) * 100 > samplesBefore * kMaxClampPercent ||
        track.ClampRuns(cur, t) * 1000 > samplesBefore * kMaxClampRunPermille) {
      t += unit;
      continue;
    }
    if (unit >= 32) {
      // Step 4a: a pad of 0x00 up to the unit, the next sound's own first
      // bytes 0x00 or not.
      size_t after = 0;
      while (after <= kZeroStart && image[t + after] == 0x00) ++after;
      size_t zeros = 0;
      while (zeros <= kPadZeros && t - zeros > cur && image[t - zeros - 1] == 0x00) ++zeros;
      if (after <= kZeroStart && zeros >= 1 && zeros <= kPadZeros && zeros + after >= kZeroPad &&
          PadParts(image, track, cur, t, zeros, e, work)) {
        if (isSound(t)) {
          t = startAt(t, SoundEnd::kFill);
          continue;
        }
      }
      // Step 4d: after 0 to 2 bytes of 0x00 (more are a pad, 4a).
      if (t - cur >= kQuietBefore && t + kLoudAfter <= e &&
          !(image[t - 1] == 0 && image[t - 2] == 0 && image[t - 3] == 0)) {
        // Cheap sign first: the level decoding on reaches after t, and the
        // quiet before it, from the level after each byte: decoding on
        // differs from reset by the level at t, which is no louder than the
        // quiet.
        int64_t loud = 0;
        for (size_t i = t + 1; i <= t + kLoudAfter; ++i) loud += Abs(track.StateAt(i).acc);
        bool quiet = loud >= kOnsetLevel * static_cast<int64_t>(kLoudAfter) / 2;
        const int64_t bound = loud / static_cast<int64_t>(kLoudAfter) / (kOnsetRatio - 1);
        for (size_t i = t; quiet && i > t - kQuietBefore; --i) quiet = Abs(track.StateAt(i).acc) <= bound;
        if (quiet && OnsetAt(image, track, t, work) && isSound(t)) {
          t = startAt(t, image[t - 1] == 0 ? SoundEnd::kFill : SoundEnd::kNextSound);
          continue;
        }
      }
    }
    const size_t wc = wa < kWindow ? wa : kWindow;
    // Cheap signs first, from the running sums of decoding on: a jump of
    // level that decoding from reset (roughly: on, less the level at t)
    // would not make, or clamps where there were none. Over two full
    // windows, sums that differ by less than 999 means cannot make means
    // 1,000 apart, truncated or not: no division needed.
    const int64_t sumB = track.Sum(t - wb, t), sumA = track.Sum(t, t + wa);
    bool trigger = false;
    if (wb >= kLevelSpan &&
        (wa != kLevelWindow || wb != kLevelWindow || Abs(sumA - sumB) >= (kJump - 1) * 2 * static_cast<int64_t>(kLevelWindow))) {
      const int64_t meanB = sumB / static_cast<int64_t>(2 * wb), meanA = sumA / static_cast<int64_t>(2 * wa);
      const int64_t jump = Abs(meanA - meanB);
      trigger = jump >= kJump && 3 * Abs(meanA - track.StateAt(t).acc - meanB) <= jump;
    }
    trigger = trigger || (track.Clamps(t, t + wc) >= 4 && track.Clamps(t - wb, t) * 4 * wc <= track.Clamps(t, t + wc) * wb &&
                          track.StateAt(t).step > 127);
    if (!trigger) {
      t += unit;
      continue;
    }
    Verdict verdict = Weigh(image, track, t, wb, wa, work);
    if (!verdict.start) {
      nextWeigh = t + kWeighEvery;
      t += unit;
      continue;
    }
    // The evidence shows a little either side of the start too. Where
    // decoding on runs into the clamps, it does so within a byte or two of
    // the next sound's first code: the start is the unit at or before its
    // first clamp, where that unit bears the evidence out too. Else the best
    // unit nearby is taken.
    size_t best = t;
    const size_t clampAt = verdict.byClamps ? AlignDown(t + verdict.firstClamp, unit) : t;
    auto weighAt = [&](size_t u) {
      const size_t ua = e - u < kLevelWindow ? e - u : kLevelWindow;
      const size_t ub = u - cur < kLevelWindow ? u - cur : kLevelWindow;
      track.Ensure(u + ua);
      return Weigh(image, track, u, ub, ua, work);
    };
    if (clampAt != t && clampAt + kMinSound <= e && weighAt(clampAt).start) {
      best = clampAt;
    } else {
      const size_t from = t >= first(cur) + kRefineBack ? AlignUp(t - kRefineBack, unit) : first(cur);
      for (size_t u = from; u <= t + kRefine && u + kMinSound <= e; u += unit) {
        if (u == t) continue;
        const Verdict other = weighAt(u);
        // Alike, the earlier: the same silence or fill decodes alike from
        // any unit within it.
        if (other.start && (other.Better(verdict) || (u < best && !verdict.Better(other)))) {
          verdict = other;
          best = u;
        }
      }
    }
    if (!isSound(best)) {
      nextWeigh = t + kWeighAfterFailure;
      t += unit;
      continue;
    }
    t = startAt(best, SoundEnd::kNextSound);
  }
  track.Ensure(e);
  out->push_back({cur, e, piece.why, Judge(image, cur, e, size, track.CountsOf(cur, e), track.CodesOf(cur, e))});
}

// Step 3: cuts a stretch between fills at gaps of long silence into
// `out`, and notes the pads of silence up to a 256-byte unit in `pads`.
void SplitAtPads(const uint8_t* image, const Piece& stretch, size_t unit, std::vector<Piece>* out,
                 std::vector<PadCut>* pads) {
  size_t cur = stretch.start;
  size_t i = stretch.start;
  const size_t end = stretch.end;
  while (i < end) {
    // Most bytes of a sound are no silence: passed 8 at a time.
    while (i + 8 <= end && SilenceBytes(Load(image + i)) == 0) i += 8;
    while (i < end && !IsSilence(image[i])) ++i;
    if (i == end) break;
    size_t j = i + 1;
    while (j < end && IsSilence(image[j])) ++j;
    if (j - i >= kLongSilence) {
      // A gap: what comes before it ends there, by silence even where the
      // silence runs on to fill or to the end of the image.
      if (i > cur) out->push_back({cur, i, SoundEnd::kSilence});
      cur = j == end ? j : (AlignDown(j, unit) >= i ? AlignDown(j, unit) : AlignDown(j, 4));
    } else if (unit >= kSilenceUnit && i % kSilenceUnit == 0 && i > stretch.start && j < end && j - i >= kSilencePad &&
               j - i <= kOwnSilence256 && i - cur >= kMinSound) {
      // Where the unit is 256, a sound that begins with silence of its own
      // right after one that stopped in mid-wave.
      pads->push_back({i, i});
    } else if (j < end && j - i >= kSilencePad) {
      // The pad ends on the 256-byte unit, or 0x00 takes it there; the next
      // sound may begin with a few silent bytes of its own.
      size_t c = AlignDown(j, kSilenceUnit);
      size_t zeros = 0;
      while (j + zeros < end && zeros <= kPadZeros && image[j + zeros] == 0x00) ++zeros;
      bool cut = false;
      if (zeros >= 1 && zeros <= kPadZeros && (j + zeros) % kSilenceUnit == 0 && j + zeros < end) {
        c = j + zeros;
        cut = true;
      } else if (c >= i + kSilencePad) {
        const size_t own = j - c;
        cut = own <= kOwnSilence || (unit >= kSilenceUnit && own <= kOwnSilence256);
        if (!cut && own <= kOwnOtherSilence && image[c] != image[c - 1]) {
          cut = true;
          for (size_t k = c - kSilencePad; k < c; ++k) cut = cut && image[k] == image[c - 1];
        }
      }
      if (cut && c - cur >= kMinSound) pads->push_back({c, c < j ? c : j});
    }
    i = j;
  }
  if (cur < end) out->push_back({cur, end, stretch.why});
}

// ---------------------------------------------------------------- step 2

// The chance that `hits` or more of `n` marks lie on a coarser unit where
// each does with chance `p`.
double ChanceOfHits(size_t n, size_t hits, double p) {
  if (hits == 0) return 1;
  double total = 0;
  for (size_t k = hits; k <= n; ++k) {
    const double logTerm = std::lgamma(static_cast<double>(n) + 1) - std::lgamma(static_cast<double>(k) + 1) -
                           std::lgamma(static_cast<double>(n - k) + 1) + static_cast<double>(k) * std::log(p) +
                           static_cast<double>(n - k) * std::log(1 - p);
    const double term = std::exp(logTerm);
    total += term;
    if (term < total * 1e-12) break;
  }
  return total;
}

// Whether `on` marks of `of` on a finer unit lie on a coarser one, where
// each would by chance `p`, beyond chance.
bool BeyondChance(size_t of, size_t on, double p) {
  return on >= kUnitMarks && static_cast<double>(on) >= kUnitShare * p * static_cast<double>(of) &&
         ChanceOfHits(of, on, p) <= kUnitChance * (1 + 1e-9);  // the sum's rounding aside
}

// The address unit from the marks: the ends of fills, of runs of 0x00 and
// of stretches of silence, but at the end of the image.
size_t InferUnit(const uint8_t* image, size_t size, const std::vector<ByteSpan>& fills) {
  size_t on4 = 0, on32 = 0, on256 = 0;
  auto mark = [&](size_t at) {
    if (at >= size || at % 4 != 0) return;
    ++on4;
    on32 += at % 32 == 0;
    on256 += at % 256 == 0;
  };
  // The fills' ends apart too: runs inside sounds end anywhere, but a fill
  // ends where a sound begins, off its unit only where the sound's first
  // bytes equal the fill's value. Most of 4 or more off a unit rule it out.
  size_t fills4 = 0, fills32 = 0, fills256 = 0;
  for (const ByteSpan& f : fills) {
    if (f.end < size && f.end % 4 == 0) {
      ++fills4;
      fills32 += f.end % 32 == 0;
      fills256 += f.end % 256 == 0;
    }
    if (image[f.start] != 0x00) mark(f.end);  // runs of 0x00 are marked below
  }
  for (size_t i = 0; i < size;) {
    while (i + 8 <= size && (ZeroBytes(Load(image + i)) | SilenceBytes(Load(image + i))) == 0) i += 8;
    if (i == size) break;
    if (image[i] == 0x00) {
      const size_t j = RunEnd(image, i, size);
      if (j - i >= kZeroMark) mark(j);
      i = j;
    } else if (IsSilence(image[i])) {
      // A run of one value of silence: a tail that ends on the unit and a
      // start in another value of silence meet there.
      const size_t j = RunEnd(image, i, size);
      if (j - i >= kSilenceMark) mark(j);
      i = j;
    } else {
      ++i;
    }
  }
  // 256 where its marks stand out among those on 32 and among all: pauses
  // inside sounds that end on 32 by chance do not hide it then.
  const double p32 = 1.0 / 8, p256 = p32 * p32;
  const bool fillsOn32 = fills4 < kUnitFills || 2 * fills32 >= fills4;
  const bool fillsOn256 = fills4 < kUnitFills || 2 * fills256 >= fills4;
  if (fillsOn256 && BeyondChance(on32, on256, p32) &&
      (BeyondChance(on4, on32, p32) || BeyondChance(on4, on256, p256))) {
    return 256;
  }
  return fillsOn32 && BeyondChance(on4, on32, p32) ? 32 : 4;
}

}  // namespace

const char* SoundEndName(SoundEnd end) {
  switch (end) {
    case SoundEnd::kFill: return "fill";
    case SoundEnd::kSilence: return "silence";
    case SoundEnd::kNextSound: return "next sound";
    case SoundEnd::kEndOfRam: return "end of RAM";
    case SoundEnd::kNotSound: return "not sound";
  }
  return "";
}

SoundSearch FindSounds(const uint8_t* image, size_t size, const SearchOptions& options) {
  const size_t fillRun = options.fillRun == 0 ? 1 : options.fillRun;
  const size_t otherRun = fillRun > kOtherFillRun ? fillRun : kOtherFillRun;
  SoundSearch result;

  // Step 1: the fills.
  std::vector<ByteSpan> fills;
  auto isFill = [&](uint8_t v, size_t length) {
    return !IsSilence(v) && length >= (v == 0x00 || v == 0xFF ? fillRun : otherRun);
  };
  if (fillRun >= kWordScan) {
    // Every run that long holds an aligned 8-byte word of its value: only
    // those words are looked at, and the run around each one found.
    size_t next = 0;  // where the latest run found ends
    for (size_t w = 0; w + 8 <= size; w += 8) {
      uint64_t pattern;
      std::memset(&pattern, image[w], sizeof pattern);
      if (Load(image + w) != pattern) continue;
      size_t i = w;
      while (i > next && image[i - 1] == image[w]) --i;
      const size_t j = RunEnd(image, w, size);
      if (isFill(image[w], j - i)) fills.push_back({i, j});
      next = j;
      w = (j + 7) / 8 * 8 - 8;  // on to the first word after the run
    }
  } else {
    for (size_t i = 0; i < size;) {
      const size_t j = RunEnd(image, i, size);
      if (isFill(image[i], j - i)) fills.push_back({i, j});
      i = j;
    }
  }

  // Step 2: the address unit, and the starts after fill taken onto it.
  result.unitGiven = IsSoundUnit(options.unit);
  const size_t unit = result.unitGiven ? options.unit : InferUnit(image, size, fills);
  result.unit = unit;
  for (ByteSpan& f : fills) {
    if (f.end == size || f.end % unit == 0) continue;
    for (size_t u : {unit, size_t{32}, size_t{4}}) {
      if (u <= unit && AlignDown(f.end, u) >= f.start) {
        f.end = AlignDown(f.end, u);
        break;
      }
    }
  }

  // Steps 3 and 4 on each stretch between fills.
  std::vector<Piece> stretches, pieces;
  size_t from = 0;
  for (const ByteSpan& f : fills) {
    if (f.start > from) stretches.push_back({from, f.start, SoundEnd::kFill});
    if (f.end > from) from = f.end;
  }
  if (from < size) stretches.push_back({from, size, SoundEnd::kEndOfRam});
  std::vector<Piece> parts;
  std::vector<PadCut> pads;
  Scratch scratch;
  size_t longest = 0;
  for (const Piece& stretch : stretches) longest = stretch.end - stretch.start > longest ? stretch.end - stretch.start : longest;
  if (longest >= 2 * kMinSound) scratch.Reserve(longest);
  for (const Piece& stretch : stretches) {
    parts.clear();
    pads.clear();
    SplitAtPads(image, stretch, unit, &parts, &pads);
    for (const Piece& part : parts) {
      SplitTouching(image, size, part, unit, pads.data(), pads.data() + pads.size(), scratch, &pieces);
    }
  }

  // Step 5, and what follows each sound.
  for (Piece& p : pieces) {
    if (p.kind == Kind::kUnknown) p.kind = JudgeAlone(image, p.start, p.end, size, &scratch.work);
  }
  for (size_t k = 0; k < pieces.size(); ++k) {
    const Piece& p = pieces[k];
    // A short stretch at the end of the RAM is the start of a sound the
    // end cut, in a bank of sounds; alone, it is not sound.
    if (p.kind == Kind::kSound || (p.kind == Kind::kShortAtEnd && !result.sounds.empty())) {
      SoundEnd why = p.why;
      if (why == SoundEnd::kNextSound && k + 1 < pieces.size() && pieces[k + 1].kind != Kind::kSound) {
        why = pieces[k + 1].kind == Kind::kSilent ? SoundEnd::kSilence : SoundEnd::kNotSound;
      }
      result.sounds.push_back({{p.start, p.end}, why});
    } else if (p.kind != Kind::kSilent) {
      if (!result.notSound.empty() && result.notSound.back().end == p.start) {
        result.notSound.back().end = p.end;
      } else {
        result.notSound.push_back({p.start, p.end});
      }
      result.notSoundBytes += p.end - p.start;
    }
  }
  result.work = scratch.work;
  return result;
}
