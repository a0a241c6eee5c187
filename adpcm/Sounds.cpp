#include "adpcm/Sounds.h"

#include <cstring>

#include "adpcm/AdpcmB.h"

namespace {

// Runs of one value other than 0x00 and 0xFF need at least this many bytes
// to be fill.
constexpr size_t kOtherFillRun = 32;
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
bool IsSilence(uint8_t b) {
  const uint8_t high = b >> 4, low = b & 15;
  return (high ^ low) == 8 && (high & 7) <= 3;
}
bool IsClamped(int32_t v) { return v >= kMax || v <= kMin; }
int64_t Abs(int64_t v) { return v < 0 ? -v : v; }

// The end of the run of bytes equal to image[i], eight at a time where the
// run is long.
size_t RunEnd(const uint8_t* image, size_t i, size_t size) {
  const uint8_t v = image[i];
  size_t j = i + 1;
  if (j + 8 <= size && std::memcmp(image + i, image + j, 8) == 0) {
    uint64_t pattern;
    std::memset(&pattern, v, sizeof pattern);
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
  size_t clamped = 0, loud = 0, positive = 0;
};

bool IsLoud(int32_t v) { return v >= 30000 || v <= -30000; }

// The decoder played on over one stretch from its latest start, kept as
// running sums per byte so that any window's mean and clamp count cost
// nothing; decoded lazily, and again from a new start when one is found.
// Its per-byte arrays, kept from one stretch to the next: they only grow.
struct TrackBuffers {
  std::vector<int64_t> sum;
  std::vector<uint32_t> clamps, loud, positive;
  std::vector<int32_t> acc, step;
};

class Track {
 public:
  Track(const uint8_t* image, size_t start, size_t end, TrackBuffers& buffers)
      : image_(image),
        base_(start),
        sum_(buffers.sum),
        clamps_(buffers.clamps),
        loud_(buffers.loud),
        positive_(buffers.positive),
        acc_(buffers.acc),
        step_(buffers.step) {
    const size_t n = end - start + 1;
    if (sum_.size() < n) {
      sum_.resize(n);
      clamps_.resize(n);
      loud_.resize(n);
      positive_.resize(n);
      acc_.resize(n);
      step_.resize(n);
    }
    sum_[0] = 0;
    clamps_[0] = loud_[0] = positive_[0] = 0;
    acc_[0] = 0;
    step_[0] = 127;
  }
  // Decodes from reset again from byte `at` on.
  void Restart(size_t at) {
    frontier_ = at - base_;
    decoder_ = AdpcmBDecoder();
    acc_[frontier_] = 0;
    step_[frontier_] = 127;
  }
  void Ensure(size_t to) {
    for (size_t k = to - base_; frontier_ < k; ++frontier_) {
      const uint8_t b = image_[base_ + frontier_];
      const int32_t a = decoder_.Decode(static_cast<uint8_t>(b >> 4));
      const int32_t c = decoder_.Decode(static_cast<uint8_t>(b & 15));
      sum_[frontier_ + 1] = sum_[frontier_] + a + c;
      clamps_[frontier_ + 1] = clamps_[frontier_] + IsClamped(a) + IsClamped(c);
      loud_[frontier_ + 1] = loud_[frontier_] + IsLoud(a) + IsLoud(c);
      positive_[frontier_ + 1] = positive_[frontier_] + ((b & 0x80) == 0) + ((b & 0x08) == 0);
      acc_[frontier_ + 1] = decoder_.acc;
      step_[frontier_ + 1] = decoder_.step;
    }
  }
  // The mean sample of bytes [from, to) and their clamped samples.
  int64_t Mean(size_t from, size_t to) const {
    return (sum_[to - base_] - sum_[from - base_]) / static_cast<int64_t>(2 * (to - from));
  }
  uint32_t Clamps(size_t from, size_t to) const { return clamps_[to - base_] - clamps_[from - base_]; }
  // Step 5's counts over [from, to), which must lie after the latest start.
  Counts CountsOf(size_t from, size_t to) const {
    Counts c;
    c.sum = sum_[to - base_] - sum_[from - base_];
    c.clamped = clamps_[to - base_] - clamps_[from - base_];
    c.loud = loud_[to - base_] - loud_[from - base_];
    c.positive = positive_[to - base_] - positive_[from - base_];
    return c;
  }
  AdpcmBDecoder StateAt(size_t at) const {
    AdpcmBDecoder d;
    d.acc = acc_[at - base_];
    d.step = step_[at - base_];
    return d;
  }

 private:
  const uint8_t* image_;
  size_t base_;
  size_t frontier_ = 0;
  AdpcmBDecoder decoder_;
  std::vector<int64_t>& sum_;
  std::vector<uint32_t>& clamps_;
  std::vector<uint32_t>& loud_;
  std::vector<uint32_t>& positive_;
  std::vector<int32_t>& acc_;
  std::vector<int32_t>& step_;
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
    const int64_t meanB = track.Mean(t - wb, t), meanA = track.Mean(t, t + wa);
    const int64_t jump = Abs(meanA - meanB);
    const size_t wc = wa < kWindow ? wa : kWindow;
    // Cheap signs first, from the running sums of decoding on: a jump of
    // level that decoding from reset (roughly: on, less the level at t)
    // would not make, or clamps where there were none.
    const bool trigger = (jump >= kJump && wb >= kLevelSpan &&
                          3 * Abs(meanA - track.StateAt(t).acc - meanB) <= jump) ||
                         (track.Clamps(t, t + wc) >= 4 && track.Clamps(t - wb, t) == 0 && track.StateAt(t).step > 127);
    if (!trigger) {
      t += 4;
      continue;
    }
    Verdict verdict = Weigh(image, track, t, wb, wa, meanB);
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

// Step 3: cuts at pads inside a stretch between fills: encoded silence up
// to a 256-byte unit, and, where the image's units are 32 bytes, a short
// run of 0x00 up to one.
void SplitAtPads(const uint8_t* image, const Piece& stretch, bool unit32, std::vector<Piece>* out) {
  size_t cur = stretch.start;
  size_t i = stretch.start;
  while (i < stretch.end) {
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
      counts.positive += ((image[i] & 0x80) == 0) + ((image[i] & 0x08) == 0);
    }
  }
  const int64_t sum = counts.sum;
  const size_t clamped = counts.clamped, loud = counts.loud, positive = counts.positive;
  const size_t samples = 2 * n;
  if (clamped * 100 > samples * kMaxClampPercent) return Kind::kNotSound;
  // A stretch this short holds too few samples for the share to tell: a
  // few bytes of code between two runs of 0x00 reach the clamps at once,
  // a click or blip of a sound does not.
  if (n < kShortSound && clamped > 0) return Kind::kNotSound;
  if (loud * 100 > samples * 10) return Kind::kNotSound;
  if (Abs(sum / static_cast<int64_t>(samples)) > kMaxLevel) return Kind::kNotSound;
  // An encoder that follows a wave writes as many rises as falls; text,
  // tables of small numbers and most code lean one way.
  if (n >= kMinSound && (positive * 100 > samples * 80 || positive * 100 < samples * 20)) return Kind::kNotSound;
  // Pictures and tables repeat bytes; a sound's noise floor keeps its codes
  // changing, but in silence.
  size_t repeated = 0;
  for (size_t i = start; i < end;) {
    size_t j = i + 1;
    while (j < end && image[j] == image[i]) ++j;
    if (j - i >= kRepeatRun && !IsSilence(image[i])) repeated += j - i;
    i = j;
  }
  if (repeated * 100 > n * kMaxRepeatedPercent) return Kind::kNotSound;
  // The two codes of a byte are neighbouring samples of one wave, so each
  // half of the byte rises about as often as the other; bytes below 0x80
  // always rise first, bytes of 0x00 to 0x0F (map cells, small numbers)
  // always by the smallest step. Silence alternates by design and is left
  // out.
  if (n >= kMinSound) {
    size_t codes = 0, highRises = 0, lowRises = 0;
    for (size_t i = start; i < end; ++i) {
      if (IsSilence(image[i])) continue;
      ++codes;
      highRises += (image[i] & 0x80) == 0;
      lowRises += (image[i] & 0x08) == 0;
    }
    auto lopsided = [codes](size_t rises) {
      return rises * 100 > codes * (100 - kMinHalfRisePercent) || rises * 100 < codes * kMinHalfRisePercent;
    };
    if (lopsided(highRises) || lopsided(lowRises)) return Kind::kNotSound;
    // Pictures of 4 bits a dot hold areas of one colour: most codes repeat
    // the one before. In a sound only the quiet tail of a slow wave does
    // that, and never for most of the sound; a short stretch, a small
    // sprite between rows of colour 0, is held to less.
    size_t same = 0;
    uint8_t previous = static_cast<uint8_t>(image[start] >> 4);
    for (size_t i = start; i < end; ++i) {
      const uint8_t high = static_cast<uint8_t>(image[i] >> 4), low = static_cast<uint8_t>(image[i] & 15);
      same += (high == previous) + (low == high);
      previous = low;
    }
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
  for (size_t i = 0; i < size;) {
    size_t j = RunEnd(image, i, size);
    const uint8_t v = image[i];
    if (!IsSilence(v) && j - i >= (v == 0x00 || v == 0xFF ? fillRun : otherRun)) fills.push_back({i, j});
    i = j;
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
