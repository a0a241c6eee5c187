// Where the sounds lie in an ADPCM-B sample RAM image, found without the
// start and stop addresses the program set at run time (they are not in the
// RAM). Unused RAM holds one fill byte, usually 0x00 or 0xFF; neither is
// silence (they decode to a ramp and to full-scale steps), and no encoder
// writes long runs of either inside a sound, so such runs mark the gaps.
#ifndef ADPCM_SOUNDS_H_
#define ADPCM_SOUNDS_H_

#include <cstddef>
#include <cstdint>
#include <vector>

// Bytes [start, end) of the image.
struct ByteSpan {
  size_t start = 0;
  size_t end = 0;
  size_t size() const { return end - start; }
};

// The fewest equal fill bytes that make a gap by default.
constexpr size_t kDefaultMinGap = 32;

// The sounds of `image`: the maximal non-empty stretches between gaps, a gap
// being a run of at least `minGap` (1 or more) bytes that are all 0x00 or
// all 0xFF. Two sounds stored with no gap between them come out as one.
std::vector<ByteSpan> FindSounds(const uint8_t* image, size_t size, size_t minGap);

#endif  // ADPCM_SOUNDS_H_
