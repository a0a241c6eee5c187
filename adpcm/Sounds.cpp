#include "adpcm/Sounds.h"

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
// The shortest sound: no real one is shorter, and a few bytes of a table
// or a picture between two runs of fill decode to nothing that clamps.
constexpr size_t kMinSound = 64;
// Bytes judged on each side of a possible start, and the DC jump (in
// sample units) that decoding on must show there.
constexpr size_t kWindow = 256;
constexpr int64_t kJump = 1500;
// The shortest run of 0x00 that pads a sound to a 32-byte unit.
constexpr size_t kPadRun = 2;
// Where a start is found, the starts this many bytes either side of it are
// weighed too, and the best taken.
constexpr size_t kRefine = 64;

constexpr int32_t kMax = 32767, kMin = -32768;

bool IsSilence(uint8_t b) { return b == 0x08 || b == 0x80; }
bool IsClamped(int32_t v) { return v >= kMax || v <= kMin; }
int64_t Abs(int64_t v) { return v < 0 ? -v : v; }

// A stretch of the image and what ends it.
struct Piece {
  size_t start, end;
  SoundEnd why;
};

// The decoder played on over one stretch from its latest start, kept as
// running sums per byte so that any window's mean and clamp count cost
// nothing; decoded lazily, and again from a new start when one is found.
class Track {
 public:
  Track(const uint8_t* image, size_t start, size_t end) : image_(image), base_(start) {
    const size_t n = end - start + 1;
    sum_.assign(n, 0);
    clamps_.assign(n, 0);
    acc_.assign(n, 0);
    step_.assign(n, 127);
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
      acc_[frontier_ + 1] = decoder_.acc;
      step_[frontier_ + 1] = decoder_.step;
    }
  }
  // The mean sample of bytes [from, to) and their clamped samples.
  int64_t Mean(size_t from, size_t to) const {
    return (sum_[to - base_] - sum_[from - base_]) / static_cast<int64_t>(2 * (to - from));
  }
  uint32_t Clamps(size_t from, size_t to) const { return clamps_[to - base_] - clamps_[from - base_]; }
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
  std::vector<int64_t> sum_;
  std::vector<uint32_t> clamps_;
  std::vector<int32_t> acc_, step_;
};

// Decodes `size` bytes with `decoder`, summing the samples and counting
// the clamped ones.
void Play(AdpcmBDecoder decoder, const uint8_t* bytes, size_t size, int64_t* sum, uint32_t* clamps) {
  *sum = 0;
  *clamps = 0;
  for (size_t i = 0; i < size; ++i) {
    const int32_t a = decoder.Decode(static_cast<uint8_t>(bytes[i] >> 4));
    const int32_t c = decoder.Decode(static_cast<uint8_t>(bytes[i] & 15));
    *sum += a + c;
    *clamps += IsClamped(a) + IsClamped(c);
  }
}

// How much better decoding from reset at `t` explains the bytes after it
// than decoding on does: a score (lower is better for reset) and whether
// the difference makes `t` a start.
struct Verdict {
  bool start = false;
  int64_t score = 0;
};

Verdict Weigh(const uint8_t* image, const Track& track, size_t t, size_t end, int64_t meanBefore) {
  const size_t v = end - t < kWindow ? end - t : kWindow;
  int64_t sumR, sumO;
  uint32_t clampR, clampO;
  Play(AdpcmBDecoder(), image + t, v, &sumR, &clampR);
  Play(track.StateAt(t), image + t, v, &sumO, &clampO);
  const int64_t meanR = sumR / static_cast<int64_t>(2 * v), meanO = sumO / static_cast<int64_t>(2 * v);
  const int64_t jumpR = Abs(meanR - meanBefore), jumpO = Abs(meanO - meanBefore);
  Verdict verdict;
  verdict.score = static_cast<int64_t>(clampR) * 4096 + jumpR;
  verdict.start = (clampO >= clampR + 8 && clampR * 50 <= 2 * v) || (jumpO >= kJump && 3 * jumpR <= jumpO);
  return verdict;
}

// Step 4: the starts inside [start, end) that nothing but the decoder's
// evidence marks, appended to `out` as pieces.
void SplitTouching(const uint8_t* image, const Piece& piece, bool unit32, std::vector<Piece>* out) {
  const size_t s = piece.start, e = piece.end;
  if (e - s < 2 * kMinSound) {
    out->push_back(piece);
    return;
  }
  Track track(image, s, e);
  size_t cur = s;
  size_t nextWeigh = 0;
  size_t t = (s + kMinSound + 3) / 4 * 4;
  while (t + kMinSound <= e) {
    const size_t wa = e - t < kWindow ? e - t : kWindow;
    const size_t wb = t - cur < kWindow ? t - cur : kWindow;
    track.Ensure(t + wa);
    const int64_t meanB = track.Mean(t - wb, t), meanA = track.Mean(t, t + wa);
    const int64_t accT = track.StateAt(t).acc;
    const int64_t jump = Abs(meanA - meanB);
    const size_t wc = wa < 64 ? wa : 64;
    bool pad = false;
    if (unit32 && t % 32 == 0 && image[t] != 0x00) {
      size_t run = 0;
      while (run < kPadRun && image[t - 1 - run] == 0x00) ++run;
      pad = run == kPadRun;
    }
    const bool trigger = pad || (jump >= kJump && 2 * Abs(meanA - accT - meanB) <= jump) ||
                         (track.Clamps(t, t + wc) > 0 && track.Clamps(t - wb, t) == 0 && track.StateAt(t).step > 127);
    if (!trigger || (!pad && t < nextWeigh)) {
      t += 4;
      continue;
    }
    nextWeigh = t + 32;
    Verdict verdict = Weigh(image, track, t, e, meanB);
    if (pad && !verdict.start) {
      // The pad's evidence stands unless reset does worse than playing on.
      AdpcmBDecoder reset;
      int64_t sumR, sumO;
      uint32_t clampR, clampO;
      const size_t v = e - t < kWindow ? e - t : kWindow;
      Play(reset, image + t, v, &sumR, &clampR);
      Play(track.StateAt(t), image + t, v, &sumO, &clampO);
      verdict.start = clampR <= clampO;
    }
    if (!verdict.start) {
      t += 4;
      continue;
    }
    size_t best = t;
    if (!pad) {
      // The evidence shows a little after the start too: take the best
      // unit nearby.
      const size_t from = t >= cur + kMinSound + kRefine ? t - kRefine : (cur + kMinSound + 3) / 4 * 4;
      for (size_t u = from; u <= t + kRefine && u + kMinSound <= e; u += 4) {
        if (u == t) continue;
        track.Ensure(u + (e - u < kWindow ? e - u : kWindow));
        const size_t ub = u - cur < kWindow ? u - cur : kWindow;
        const Verdict other = Weigh(image, track, u, e, track.Mean(u - ub, u));
        if (other.start && other.score < verdict.score) {
          verdict = other;
          best = u;
        }
      }
    }
    out->push_back({cur, best, SoundEnd::kNextSound});
    cur = best;
    track.Restart(cur);
    t = (cur + kMinSound + 3) / 4 * 4;
    nextWeigh = 0;
  }
  out->push_back({cur, e, piece.why});
}

// Step 3: cuts at encoded silence inside a stretch between fills.
void SplitAtSilence(const uint8_t* image, const Piece& stretch, std::vector<Piece>* out) {
  size_t cur = stretch.start;
  size_t i = stretch.start;
  while (i < stretch.end) {
    if (!IsSilence(image[i])) {
      ++i;
      continue;
    }
    size_t j = i + 1;
    while (j < stretch.end && IsSilence(image[j])) ++j;
    if (j - i >= kLongSilence) {
      if (i > cur) out->push_back({cur, i, j == stretch.end ? stretch.why : SoundEnd::kSilence});
      cur = j == stretch.end ? j : (j - i >= 4 ? j / 4 * 4 : j);
    } else if (j < stretch.end && j - i >= kSilenceRun && j % kSilenceUnit == 0 && j - cur >= kMinSound) {
      out->push_back({cur, j, SoundEnd::kSilence});
      cur = j;
    }
    i = j;
  }
  if (cur < stretch.end) out->push_back({cur, stretch.end, stretch.why});
}

// Step 5: whether bytes [start, end) decode like sound, and whether they
// hold anything but silence.
enum class Kind { kSound, kNotSound, kSilent };

Kind Judge(const uint8_t* image, size_t start, size_t end, size_t size) {
  bool audible = false;
  for (size_t i = start; i < end && !audible; ++i) audible = !IsSilence(image[i]);
  if (!audible) return Kind::kSilent;
  const size_t n = end - start;
  if (n < kMinSound && end != size) return Kind::kNotSound;
  AdpcmBDecoder d;
  int64_t sum = 0;
  size_t clamped = 0, loud = 0;
  for (size_t i = start; i < end; ++i) {
    for (int half = 0; half < 2; ++half) {
      const int32_t v = d.Decode(static_cast<uint8_t>(half == 0 ? image[i] >> 4 : image[i] & 15));
      sum += v;
      clamped += IsClamped(v);
      loud += v >= 30000 || v <= -30000;
    }
  }
  const size_t samples = 2 * n;
  if (clamped * 100 > samples * 3) return Kind::kNotSound;
  if (loud * 100 > samples * 10) return Kind::kNotSound;
  if (Abs(sum / static_cast<int64_t>(samples)) > 8000) return Kind::kNotSound;
  return Kind::kSound;
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
    size_t j = i + 1;
    while (j < size && image[j] == image[i]) ++j;
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
  for (const Piece& stretch : stretches) {
    parts.clear();
    SplitAtSilence(image, stretch, &parts);
    for (const Piece& part : parts) SplitTouching(image, part, unit32, &pieces);
  }

  // Step 5.
  SoundSearch result;
  for (const Piece& p : pieces) {
    const Kind kind = Judge(image, p.start, p.end, size);
    if (kind == Kind::kSound) {
      result.sounds.push_back({{p.start, p.end}, p.why});
    } else if (kind == Kind::kNotSound) {
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
