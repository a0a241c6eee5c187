#include "adpcm/Sounds.h"

#include <cstring>
#include <memory>

#include "adpcm/AdpcmB.h"

namespace {

// Runs of one value other than 0x00 and 0xFF need at least this many bytes
// to be fill.
constexpr size_t kOtherFillRun = 32;
// Fill this long or longer holds an aligned 8-byte word of its value.
constexpr size_t kWordScan = 15;
// Encoded silence that ends on a 256-byte unit parts two sounds when it is
// at least this long; this long, it is a gap wherever it ends.
constexpr size_t kSilenceRun = 8;
constexpr size_t kLongSilence = 4096;
constexpr size_t kSilenceUnit = 256;
// The most silent bytes a sound padded that way may begin with.
constexpr size_t kQuietStart = 32;
// The shortest run of 0x00 that pads a sound to a 32-byte unit, and the
// most bytes of 0x00 the next sound may begin with.
constexpr size_t kPadRun = 3;
constexpr size_t kZeroStart = 2;
// The shortest sound: no real one is shorter, and a few bytes of a table
// or a picture between two runs of fill decode to nothing that clamps.
constexpr size_t kMinSound = 64;
// A shorter stretch at the end of the RAM is a sound after this much fill.
constexpr size_t kLoneFill = 1024;
// The furthest a sound's mean level lies from zero (a DC tail of 0.117 of
// full scale is 3,834).
constexpr int64_t kMaxLevel = 8000;
// The most samples at the clamps, in percent: a sound mastered hot clips
// about 1 % of its samples.
constexpr size_t kMaxClampPercent = 3;
// Stretches shorter than this may not reach the clamps at all.
constexpr size_t kShortSound = 256;
// The most bytes in runs of kRepeatRun or more of one value but silence, in percent.
constexpr size_t kMaxRepeatedPercent = 20;
constexpr size_t kRepeatRun = 6;
// The fewest rises, in percent, among the high codes of bytes that are not
// silence, and among the low codes; as many falls at least.
constexpr size_t kMinHalfRisePercent = 10;
// The most codes, in percent, equal to the code before.
constexpr size_t kMaxSamePercent = 60;
constexpr size_t kMaxSameShortPercent = 45;
// Bytes judged on each side of a possible start, and the DC jump (in
// sample units) that decoding on must show there.
constexpr size_t kWindow = 256;
constexpr size_t kBefore = 1024;
constexpr size_t kAfter = 1024;
constexpr int64_t kJump = 1000;
// The level is weighed only where the bytes on either side are this many:
// a sound's level moves within its first few hundred bytes.
constexpr size_t kLevelSpan = 512;
// Where a start is found, the starts this many bytes either side of it are
// weighed too, and the best taken.
constexpr size_t kRefine = 32;
constexpr size_t kRefineBack = 128;
// After a possible start that the evidence does not bear out, the next is
// weighed this many bytes on.
constexpr size_t kWeighEvery = 16;
// An onset on a 32-byte unit: the bytes before it judged for quiet, the
// bytes after it for loudness, the least mean loudness after it and how
// many times the loudest sample before it that must be.
constexpr size_t kQuietBefore = 128;
constexpr size_t kLoudAfter = 32;
constexpr int64_t kOnsetLevel = 300;
constexpr int64_t kOnsetRatio = 3;
// Encoded silence this long before it makes a pause, not an end.
constexpr size_t kPauseRun = 16;

constexpr int32_t kMax = 32767, kMin = -32768;

// Encoded silence: at the smallest step, two codes of one magnitude 0 to 3
// and opposite signs keep the step where it is and the level within +-55.
// 0x08 and 0x80 are what a truncating encoder writes for zeros; one that
// rounds settles into 0x19 and 0x91.
// What the search asks of every byte, looked up: whether it is silence,
// whether it is silence or 0x00 (where a pad may begin), and how many of its
// two codes rise.
struct ByteTable {
  bool silence[256];
  bool padOrZero[256];
  // Step 5's counts for the byte, 12 bits each, to be summed over up to
  // kPackedBytes bytes at a time: the high code rises and the byte is not
  // silence; the low one does; the byte is not silence; the rises of a
  // byte of silence; the two codes are equal.
  uint64_t packed[256];
};
constexpr int kPackedBits = 12;
constexpr size_t kPackedBytes = 1024;
constexpr uint64_t kPackedMask = (uint64_t{1} << kPackedBits) - 1;
constexpr ByteTable MakeByteTable() {
  ByteTable t{};
  for (int b = 0; b < 256; ++b) {
    const int high = b >> 4, low = b & 15;
    t.silence[b] = (high ^ low) == 8 && (high & 7) <= 3;
    t.padOrZero[b] = t.silence[b] || b == 0;
    const uint64_t highRise = (b & 0x80) == 0, lowRise = (b & 0x08) == 0, sound = !t.silence[b];
    t.packed[b] = (highRise & sound) | (lowRise & sound) << kPackedBits | sound << 2 * kPackedBits |
                  (t.silence[b] ? highRise + lowRise : 0) << 3 * kPackedBits | uint64_t{high == low} << 4 * kPackedBits;
  }
  return t;
}
constexpr ByteTable kBytes = MakeByteTable();
bool IsSilence(uint8_t b) { return kBytes.silence[b]; }
// v >= kMax or v <= kMin, as one unsigned comparison.
bool IsClamped(int32_t v) { return static_cast<uint32_t>(v - kMin - 1) >= static_cast<uint32_t>(kMax - kMin - 1); }
int64_t Abs(int64_t v) { return v < 0 ? -v : v; }

// The end of the run of bytes equal to image[i], eight at a time where the
// run is long.
size_t RunEnd(const uint8_t* image, size_t i, size_t size) {
  const uint8_t v = image[i];
  size_t j = i + 1;
  if (j + 8 <= size && std::memcmp(image + i, image + j, 8) == 0) {
    uint64_t pattern;
    std::memset(&pattern, v, sizeof pattern);
    for (; j + 32 <= size; j += 32) {
      uint64_t words[4];
      std::memcpy(words, image + j, sizeof words);
      if (((words[0] ^ pattern) | (words[1] ^ pattern) | (words[2] ^ pattern) | (words[3] ^ pattern)) != 0) break;
    }
    for (; j + 8 <= size; j += 8) {
      uint64_t word;
      std::memcpy(&word, image + j, sizeof word);
      if (word != pattern) break;
    }
  }
  while (j < size && image[j] == v) ++j;
  return j;
}

// What step 5 makes of a stretch.
enum class Kind { kUnknown, kSound, kShortAtEnd, kNotSound, kSilent };

// A stretch of the image and what ends it.
struct Piece {
  size_t start, end;
  SoundEnd why;
  Kind kind = Kind::kUnknown;
};

// What step 5 weighs, counted over the samples of a stretch decoded from
// reset.
struct Counts {
  int64_t sum = 0;
  size_t clamped = 0, loud = 0;
};

// v >= 30000 or v <= -30000, as one unsigned comparison.
bool IsLoud(int32_t v) { return static_cast<uint32_t>(v + 29999) >= 59999u; }

// The mean of `sum` over the samples of `bytes` bytes, truncated toward
// zero; the windows the search weighs are mostly 1 KiB, which the compiler
// divides by without a division.
int64_t MeanOf(int64_t sum, size_t bytes) {
  if (bytes == 1024) return sum / 2048;
  return sum / static_cast<int64_t>(2 * bytes);
}

// The decoder played on over one stretch from its latest start, kept as
// running sums per byte so that any window's mean and clamp count cost
// nothing; decoded lazily, and again from a new start when one is found.
// Its per-byte frames, kept from one stretch to the next: they only grow,
// and are written before they are read, so never cleared.
struct Frame {
  int64_t sum;         // the samples so far
  uint64_t clampLoud;  // the clamped samples so far, and (high 32 bits) the loud ones
  AdpcmBDecoder state;  // after the byte
};
struct TrackBuffers {
  std::unique_ptr<Frame[]> frames;
  size_t capacity = 0;
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
  Track(const uint8_t* image, size_t start, size_t end, TrackBuffers& buffers)
      : image_(image), base_(start), size_(end - start) {
    buffers.Reserve(end - start);
    frames_ = buffers.frames.get();
    frames_[0].sum = 0;
    frames_[0].clampLoud = 0;
    frames_[0].state = AdpcmBDecoder();
  }
  // Decodes from reset again from byte `at` on.
  void Restart(size_t at) {
    frontier_ = at - base_;
    frames_[frontier_].state = AdpcmBDecoder();
  }
  // Decodes on to byte `to` at least; a little further where the stretch
  // goes on, so that the search, moving 4 bytes at a time, seldom waits.
  void Ensure(size_t to) {
    if (frontier_ < to - base_) {
      const size_t ahead = frontier_ + kDecodeAhead < size_ ? frontier_ + kDecodeAhead : size_;
      DecodeTo(to - base_ > ahead ? to - base_ : ahead);
    }
  }

 private:
  // Decodes on to frame k.
  void DecodeTo(size_t k) {
    AdpcmBDecoder d = frames_[frontier_].state;
    int64_t sum = frames_[frontier_].sum;
    uint64_t clampLoud = frames_[frontier_].clampLoud;
    const uint8_t* bytes = image_ + base_;
    for (size_t i = frontier_; i < k; ++i) {
      const uint8_t b = bytes[i];
      const int32_t a = d.Decode(static_cast<uint8_t>(b >> 4));
      const int32_t c = d.Decode(static_cast<uint8_t>(b & 15));
      sum += a + c;
      // Every clamped sample is loud, and sound is seldom loud.
      if (IsLoud(a) || IsLoud(c)) {
        clampLoud += static_cast<uint64_t>(IsClamped(a) + IsClamped(c)) + (static_cast<uint64_t>(IsLoud(a) + IsLoud(c)) << 32);
      }
      Frame& f = frames_[i + 1];
      f.sum = sum;
      f.clampLoud = clampLoud;
      f.state = d;
    }
    frontier_ = k;
  }

 public:
  // The sum and the mean of the samples of bytes [from, to), and their
  // clamped samples.
  int64_t Sum(size_t from, size_t to) const { return frames_[to - base_].sum - frames_[from - base_].sum; }
  int64_t Mean(size_t from, size_t to) const { return MeanOf(Sum(from, to), to - from); }
  uint32_t Clamps(size_t from, size_t to) const {
    return static_cast<uint32_t>(frames_[to - base_].clampLoud - frames_[from - base_].clampLoud);
  }
  // Step 5's counts over [from, to), which must lie after the latest start.
  Counts CountsOf(size_t from, size_t to) const {
    Counts c;
    c.sum = frames_[to - base_].sum - frames_[from - base_].sum;
    const uint64_t clampLoud = frames_[to - base_].clampLoud - frames_[from - base_].clampLoud;
    c.clamped = static_cast<uint32_t>(clampLoud);
    c.loud = static_cast<size_t>(clampLoud >> 32);
    return c;
  }
  AdpcmBDecoder StateAt(size_t at) const { return frames_[at - base_].state; }

 private:
  static constexpr size_t kDecodeAhead = 256;
  const uint8_t* image_;
  size_t base_;
  size_t size_;
  size_t frontier_ = 0;
  Frame* frames_;
};

// Decodes `size` bytes with `decoder`, summing the samples and counting
// the clamped ones, over the first `near` bytes and over all.
struct Played {
  int64_t sum = 0, nearSum = 0;
  uint32_t clamps = 0, nearClamps = 0;
};

Played Play(AdpcmBDecoder decoder, const uint8_t* bytes, size_t near, size_t size) {
  Played p;
  for (size_t i = 0; i < size; ++i) {
    if (i == near) {
      p.nearSum = p.sum;
      p.nearClamps = p.clamps;
    }
    const int32_t a = decoder.Decode(static_cast<uint8_t>(bytes[i] >> 4));
    const int32_t c = decoder.Decode(static_cast<uint8_t>(bytes[i] & 15));
    p.sum += a + c;
    p.clamps += IsClamped(a) + IsClamped(c);
  }
  if (near >= size) {
    p.nearSum = p.sum;
    p.nearClamps = p.clamps;
  }
  return p;
}

// How much better decoding from reset at `t` explains the `window` bytes
// after it than decoding on does: a score (lower is better for reset) and
// whether the difference makes `t` a start. Decoding on from a state that
// is not the reset one scales every step by the ratio of the two step
// sizes, which drives a loud sound into the clamps, and adds the level it
// had at `t` to every sample until a clamp takes it off.
struct Verdict {
  bool start = false;
  int64_t score = 0;
};

Verdict Weigh(const uint8_t* image, const Track& track, size_t t, size_t before, size_t window, int64_t meanBefore) {
  const size_t near = window < kWindow ? window : kWindow;
  const Played r = Play(AdpcmBDecoder(), image + t, near, window);
  const Played o = Play(track.StateAt(t), image + t, near, window);
  const uint32_t clampR = r.clamps, clampO = o.clamps, nearR = r.nearClamps, nearO = o.nearClamps;
  const int64_t meanR = r.sum / static_cast<int64_t>(2 * window), meanO = o.sum / static_cast<int64_t>(2 * window);
  const int64_t jumpR = Abs(meanR - meanBefore), jumpO = Abs(meanO - meanBefore);
  const uint32_t samples = static_cast<uint32_t>(2 * near);
  const bool clamps = nearO >= 16 && nearO * 100 >= samples * 3 && nearR * 100 <= samples;
  const bool level = before >= kLevelSpan && window >= kLevelSpan && jumpO >= kJump && 4 * jumpR <= jumpO && clampR <= clampO;
  Verdict verdict;
  verdict.score = static_cast<int64_t>(nearR) * 4096 + jumpR;
  verdict.start = clamps || level;
  return verdict;
}

Kind Judge(const uint8_t* image, size_t start, size_t end, size_t size, const Counts* known);

// Whether a sound starts at `t`, on a 32-byte unit, with an onset: the
// `kQuietBefore` bytes before it, decoded on, stay quiet, and the
// `kLoudAfter` after it, decoded from reset, are on average several times
// louder than the loudest of them. A sound that ends quietly leaves the
// decoder near its reset state, so decoding on and from reset agree and
// only the onset tells the next sound's first byte; inside a sound a quiet
// stretch rarely turns loud at once, and more rarely on the unit. A pause
// of encoded silence is no end: the sound that holds it is stored whole.
bool OnsetAt(const uint8_t* image, const Track& track, size_t t) {
  size_t k = t;
  while (k > t - 2 && image[k - 1] == 0x00) --k;
  size_t silent = 0;
  while (silent < kPauseRun && IsSilence(image[k - 1 - silent])) ++silent;
  if (silent == kPauseRun) return false;
  AdpcmBDecoder on = track.StateAt(t - kQuietBefore);
  int32_t peak = 0;
  for (size_t i = t - kQuietBefore; i < t; ++i) {
    const int32_t a = on.Decode(static_cast<uint8_t>(image[i] >> 4));
    const int32_t c = on.Decode(static_cast<uint8_t>(image[i] & 15));
    const int32_t m = a < 0 ? -a : a, n = c < 0 ? -c : c;
    peak = m > peak ? m : peak;
    peak = n > peak ? n : peak;
  }
  AdpcmBDecoder reset;
  int64_t loud = 0;
  for (size_t i = t; i < t + kLoudAfter; ++i) {
    loud += Abs(reset.Decode(static_cast<uint8_t>(image[i] >> 4)));
    loud += Abs(reset.Decode(static_cast<uint8_t>(image[i] & 15)));
  }
  const int64_t mean = loud / static_cast<int64_t>(2 * kLoudAfter);
  const int64_t floor = peak < 60 ? 60 : peak;
  return mean >= kOnsetLevel && mean >= kOnsetRatio * floor;
}

// Step 4: the starts inside a stretch that nothing but the decoder's
// evidence marks; the stretch is appended to `out` in pieces.
void SplitTouching(const uint8_t* image, size_t size, const Piece& piece, bool unit32, TrackBuffers& buffers,
                   std::vector<Piece>* out) {
  const size_t s = piece.start, e = piece.end;
  if (e - s < 2 * kMinSound) {
    out->push_back(piece);
    return;
  }
  Track track(image, s, e, buffers);
  size_t cur = s;
  size_t nextWeigh = 0;
  auto first = [](size_t from) { return (from + kMinSound + 3) / 4 * 4; };
  size_t t = first(s);
  while (t + kMinSound <= e) {
    const size_t wa = e - t < kAfter ? e - t : kAfter;
    const size_t wb = t - cur < kBefore ? t - cur : kBefore;
    track.Ensure(t + wa);
    // No start is sought after what does not decode like sound (step 5's
    // clamp test, from the running counts): code and tables clamp and
    // unclamp all the time.
    if (t < nextWeigh || track.Clamps(cur, t) * 100 > 2 * (t - cur) * kMaxClampPercent) {
      t += 4;
      continue;
    }
    // On 32-byte units, a sound that follows one that ended quietly, with
    // 0 to 2 bytes of 0x00 between (3 or more are a pad, step 3).
    if (unit32 && t % 32 == 0 && t - cur >= kQuietBefore && t + kLoudAfter <= e &&
        !(image[t - 1] == 0 && image[t - 2] == 0 && image[t - 3] == 0)) {
      // Cheap sign first: the level decoding on reaches after t.
      int64_t after = 0;
      for (size_t i = t + 1; i <= t + kLoudAfter; ++i) after += Abs(track.StateAt(i).acc);
      // and the quiet before it, from the level after each byte: decoding
      // on differs from reset by the level at t, which is no louder than
      // the quiet.
      bool quiet = after >= kOnsetLevel * static_cast<int64_t>(kLoudAfter) / 2;
      const int64_t bound = after / static_cast<int64_t>(kLoudAfter) / (kOnsetRatio - 1);
      for (size_t i = t; quiet && i > t - kQuietBefore; --i) quiet = Abs(track.StateAt(i).acc) <= bound;
      if (quiet && OnsetAt(image, track, t)) {
        const Counts before = track.CountsOf(cur, t);
        if (Judge(image, cur, t, size, &before) == Kind::kSound) {
          out->push_back({cur, t, image[t - 1] == 0 ? SoundEnd::kFill : SoundEnd::kNextSound, Kind::kSound});
          cur = t;
          track.Restart(cur);
          t = first(cur);
          nextWeigh = 0;
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
    if (wb >= kLevelSpan && (wa != kAfter || wb != kBefore || Abs(sumA - sumB) >= (kJump - 1) * 2 * static_cast<int64_t>(kAfter))) {
      const int64_t meanB = MeanOf(sumB, wb), meanA = MeanOf(sumA, wa);
      const int64_t jump = Abs(meanA - meanB);
      trigger = jump >= kJump && 3 * Abs(meanA - track.StateAt(t).acc - meanB) <= jump;
    }
    trigger = trigger || (track.Clamps(t, t + wc) >= 4 && track.Clamps(t - wb, t) == 0 && track.StateAt(t).step > 127);
    if (!trigger) {
      t += 4;
      continue;
    }
    Verdict verdict = Weigh(image, track, t, wb, wa, MeanOf(sumB, wb));
    if (!verdict.start) {
      nextWeigh = t + kWeighEvery;
      t += 4;
      continue;
    }
    // The evidence shows a little either side of the start too: take the
    // best unit nearby.
    size_t best = t;
    const size_t from = t >= first(cur) + kRefineBack ? t - kRefineBack : first(cur);
    for (size_t u = from; u <= t + kRefine && u + kMinSound <= e; u += 4) {
      if (u == t) continue;
      const size_t ua = e - u < kAfter ? e - u : kAfter;
      const size_t ub = u - cur < kBefore ? u - cur : kBefore;
      track.Ensure(u + ua);
      const Verdict other = Weigh(image, track, u, ub, ua, track.Mean(u - ub, u));
      if (other.start && other.score < verdict.score) {
        verdict = other;
        best = u;
      }
    }
    // A start ends a sound: what comes before it must be one.
    const Counts before = track.CountsOf(cur, best);
    const Kind kind = Judge(image, cur, best, size, &before);
    if (kind != Kind::kSound) {
      nextWeigh = t + 128;
      t += 4;
      continue;
    }
    out->push_back({cur, best, SoundEnd::kNextSound, kind});
    cur = best;
    track.Restart(cur);
    t = first(cur);
    nextWeigh = 0;
  }
  track.Ensure(e);
  const Counts rest = track.CountsOf(cur, e);
  out->push_back({cur, e, piece.why, Judge(image, cur, e, size, &rest)});
}

// Whether any of the 8 bytes of `x` is silence, or 0x00 where `zero`, on
// all 8 at once: a byte is silence where its high nibble xor its low one is
// 8 and bit 2 of the high one is clear.
bool AnyStop(uint64_t x, bool zero) {
  constexpr uint64_t kOnes = 0x0101010101010101ull, kNibbles = 0x0F0F0F0F0F0F0F0Full;
  const uint64_t high = (x >> 4) & kNibbles, low = x & kNibbles;
  const uint64_t t = (high ^ low ^ (kOnes * 8)) | (high & (kOnes * 4));  // a byte of 0 where silence
  uint64_t f = t | (t >> 1);
  f |= f >> 2;  // bit 0 of each byte: any of its bits 0 to 3
  if ((f & kOnes) != kOnes) return true;
  return zero && ((x - kOnes) & ~x & (kOnes * 0x80)) != 0;
}

// Step 3: cuts at pads inside a stretch between fills: encoded silence up
// to a 256-byte unit, and, where the image's units are 32 bytes, a short
// run of 0x00 up to one.
void SplitAtPads(const uint8_t* image, const Piece& stretch, bool unit32, std::vector<Piece>* out) {
  size_t cur = stretch.start;
  size_t i = stretch.start;
  const bool* stops = unit32 ? kBytes.padOrZero : kBytes.silence;
  while (i < stretch.end) {
    // Most bytes of a sound start no pad: passed 8 at a time.
    while (i < stretch.end) {
      uint64_t word;
      if (i + 8 <= stretch.end && (std::memcpy(&word, image + i, sizeof word), !AnyStop(word, unit32))) {
        i += 8;
      } else if (!stops[image[i]]) {
        ++i;
      } else {
        break;
      }
    }
    if (i == stretch.end) break;
    if (unit32 && image[i] == 0x00) {
      size_t j = i + 1;
      while (j < stretch.end && image[j] == 0x00) ++j;
      const size_t c = j / 32 * 32;
      if (j < stretch.end && j - i >= kPadRun && c > i && j - c <= kZeroStart && c - cur >= kMinSound) {
        out->push_back({cur, c, SoundEnd::kFill});
        cur = c;
      }
      i = j;
      continue;
    }
    if (!IsSilence(image[i])) {
      ++i;
      continue;
    }
    size_t j = i + 1;
    while (j < stretch.end && IsSilence(image[j])) ++j;
    if (j - i >= kLongSilence) {
      if (i > cur) out->push_back({cur, i, j == stretch.end ? stretch.why : SoundEnd::kSilence});
      cur = j == stretch.end ? j : j / 4 * 4;
    } else if (j < stretch.end && j - i >= kSilenceRun) {
      // The pad ends on the unit. The next sound may begin with a few
      // silent bytes of its own: up to 4 of any value, or more that differ
      // from the pad's.
      const size_t c = j / kSilenceUnit * kSilenceUnit;
      bool cut = c >= i + kSilenceRun && j - c <= 4;
      if (!cut && c >= i + kSilenceRun && j - c <= kQuietStart && image[c] != image[c - 1]) {
        cut = true;
        for (size_t k = c - kSilenceRun; k < c; ++k) cut = cut && image[k] == image[c - 1];
      }
      if (cut && c - cur >= kMinSound) {
        out->push_back({cur, c, SoundEnd::kSilence});
        cur = c;
      }
    }
    i = j;
  }
  if (cur < stretch.end) out->push_back({cur, stretch.end, stretch.why});
}

// Step 5: whether bytes [start, end) decode like sound, and whether they
// hold anything but silence; `known` holds the counts where the search has
// them already.
Kind Judge(const uint8_t* image, size_t start, size_t end, size_t size, const Counts* known) {
  bool audible = false;
  for (size_t i = start; i < end && !audible; ++i) audible = !IsSilence(image[i]);
  if (!audible) return Kind::kSilent;
  const size_t n = end - start;
  if (n < kMinSound) {
    // Short: only where the end of the RAM may have cut a sound short,
    // after a long fill (the rest of a picture or a table between short
    // fills is not that).
    if (end != size || start < kLoneFill) return Kind::kNotSound;
    for (size_t i = start - kLoneFill; i < start; ++i) {
      if (image[i] != image[start - 1]) return Kind::kNotSound;
    }
  }
  Counts counts;
  if (known != nullptr) {
    counts = *known;
  } else {
    AdpcmBDecoder d;
    for (size_t i = start; i < end; ++i) {
      const int32_t a = d.Decode(static_cast<uint8_t>(image[i] >> 4));
      const int32_t c = d.Decode(static_cast<uint8_t>(image[i] & 15));
      counts.sum += a + c;
      counts.clamped += IsClamped(a) + IsClamped(c);
      counts.loud += IsLoud(a) + IsLoud(c);
    }
  }
  const int64_t sum = counts.sum;
  const size_t clamped = counts.clamped, loud = counts.loud;
  const size_t samples = 2 * n;
  if (clamped * 100 > samples * kMaxClampPercent) return Kind::kNotSound;
  // A stretch this short holds too few samples for the share to tell: a
  // few bytes of code between two runs of 0x00 reach the clamps at once,
  // a click or blip of a sound does not.
  if (n < kShortSound && clamped > 0) return Kind::kNotSound;
  if (loud * 100 > samples * 10) return Kind::kNotSound;
  if (Abs(sum / static_cast<int64_t>(samples)) > kMaxLevel) return Kind::kNotSound;
  // What the codes themselves show, counted in one pass over the bytes.
  size_t repeated = 0, same = 0;
  size_t fields[5] = {0, 0, 0, 0, 0};
  // The first code is counted as repeating itself.
  uint8_t previous = static_cast<uint8_t>(image[start] >> 4);
  for (size_t from = start; from < end; from += kPackedBytes) {
    const size_t to = end - from < kPackedBytes ? end : from + kPackedBytes;
    uint64_t packed = 0;
    for (size_t i = from; i < to; ++i) {
      const uint8_t b = image[i];
      packed += kBytes.packed[b];
      same += (b >> 4) == previous;
      previous = static_cast<uint8_t>(b & 15);
    }
    for (int f = 0; f < 5; ++f) fields[f] += static_cast<size_t>(packed >> (f * kPackedBits) & kPackedMask);
  }
  const size_t highRises = fields[0], lowRises = fields[1], codes = fields[2];
  const size_t positive = highRises + lowRises + fields[3];
  same += fields[4];
  for (size_t i = start; i < end;) {
    // Runs are rare in sound: look for the next byte that repeats, 8 pairs
    // of neighbours at a time.
    while (i + 9 <= end) {
      uint64_t here, next;
      std::memcpy(&here, image + i, sizeof here);
      std::memcpy(&next, image + i + 1, sizeof next);
      const uint64_t x = here ^ next;  // a byte of 0 where a byte equals the next
      if (((x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull) != 0) break;
      i += 8;
    }
    while (i + 1 < end && image[i + 1] != image[i]) ++i;
    size_t j = i + 1;
    while (j < end && image[j] == image[i]) ++j;
    if (j - i >= kRepeatRun && !IsSilence(image[i])) repeated += j - i;
    i = j;
  }
  // An encoder that follows a wave writes as many rises as falls; text,
  // tables of small numbers and most code lean one way.
  if (n >= kMinSound && (positive * 100 > samples * 80 || positive * 100 < samples * 20)) return Kind::kNotSound;
  // Pictures and tables repeat bytes; a sound's noise floor keeps its codes
  // changing, but in silence.
  if (repeated * 100 > n * kMaxRepeatedPercent) return Kind::kNotSound;
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
    if (same * 100 > samples * (n < kShortSound ? kMaxSameShortPercent : kMaxSamePercent)) return Kind::kNotSound;
  }
  return n < kMinSound ? Kind::kShortAtEnd : Kind::kSound;
}

}  // namespace

const char* SoundEndName(SoundEnd end) {
  switch (end) {
    case SoundEnd::kFill: return "fill";
    case SoundEnd::kSilence: return "silence";
    case SoundEnd::kNextSound: return "next sound";
    case SoundEnd::kEndOfRam: return "end of RAM";
  }
  return "";
}

SoundSearch FindSounds(const uint8_t* image, size_t size, const SearchOptions& options) {
  const size_t fillRun = options.fillRun == 0 ? 1 : options.fillRun;
  const size_t otherRun = fillRun > kOtherFillRun ? fillRun : kOtherFillRun;

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
      uint64_t word, pattern;
      std::memcpy(&word, image + w, sizeof word);
      std::memset(&pattern, image[w], sizeof pattern);
      if (word != pattern) continue;
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

  // Step 2: the address unit, from the starts after fill that lie on 4.
  size_t on4 = 0, on32 = 0;
  for (const ByteSpan& f : fills) {
    if (f.end == size || f.end % 4 != 0) continue;
    ++on4;
    on32 += f.end % 32 == 0;
  }
  const bool unit32 = on4 >= 2 && on32 == on4;
  for (ByteSpan& f : fills) {
    if (f.end == size || f.end % 4 == 0) continue;
    const size_t down = unit32 ? f.end / 32 * 32 : f.end / 4 * 4;
    if (down >= f.start) {
      f.end = down;
    } else if (f.end / 4 * 4 >= f.start) {
      f.end = f.end / 4 * 4;
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
  TrackBuffers buffers;
  size_t longest = 0;
  for (const Piece& stretch : stretches) longest = stretch.end - stretch.start > longest ? stretch.end - stretch.start : longest;
  if (longest >= 2 * kMinSound) buffers.Reserve(longest);
  for (const Piece& stretch : stretches) {
    parts.clear();
    SplitAtPads(image, stretch, unit32, &parts);
    for (const Piece& part : parts) SplitTouching(image, size, part, unit32, buffers, &pieces);
  }

  // Step 5.
  SoundSearch result;
  for (const Piece& p : pieces) {
    const Kind kind = p.kind != Kind::kUnknown ? p.kind : Judge(image, p.start, p.end, size, nullptr);
    // A short stretch at the end of the RAM is the start of a sound the
    // end cut, in a bank of sounds; alone, it is not sound.
    if (kind == Kind::kSound || (kind == Kind::kShortAtEnd && !result.sounds.empty())) {
      result.sounds.push_back({{p.start, p.end}, p.why});
    } else if (kind != Kind::kSilent) {
      if (!result.notSound.empty() && result.notSound.back().end == p.start) {
        result.notSound.back().end = p.end;
      } else {
        result.notSound.push_back({p.start, p.end});
      }
      result.notSoundBytes += p.end - p.start;
    }
  }
  return result;
}
