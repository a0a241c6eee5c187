// The audio library and the picture on any bytes, in memory: the sounds
// found must be sorted, non-empty, within the image and parted by runs of
// fill at least the gap length long, with no such run inside a sound and
// nothing but fill outside them; decoding and drawing must stay in bounds.
//
// Input: one byte for the gap length (1 to 64), then the image.
#include <string>
#include <vector>

#include "adpcm/AdpcmB.h"
#include "adpcm/Sounds.h"
#include "adpcm/Wav.h"
#include "adpcm2wav/Picture.h"
#include "fuzz/FuzzSupport.h"

namespace {

using fuzzing::Check;

bool IsFill(uint8_t b) { return b == 0x00 || b == 0xFF; }

// The runs of one fill value within [from, to): the longest, and the
// shortest (0 when there are none).
struct Runs {
  size_t longest = 0;
  size_t shortest = 0;
};

Runs FillRuns(const uint8_t* image, size_t from, size_t to) {
  Runs runs;
  size_t i = from;
  while (i < to) {
    size_t end = i + 1;
    if (IsFill(image[i])) {
      while (end < to && image[end] == image[i]) ++end;
      const size_t run = end - i;
      if (run > runs.longest) runs.longest = run;
      if (runs.shortest == 0 || run < runs.shortest) runs.shortest = run;
    }
    i = end;
  }
  return runs;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t minGap = 1 + data[0] % 64;
  const uint8_t* image = data + 1;
  const size_t length = size - 1;

  const std::vector<ByteSpan> sounds = FindSounds(image, length, minGap);
  size_t previousEnd = 0;
  for (size_t k = 0; k < sounds.size(); ++k) {
    const ByteSpan& s = sounds[k];
    Check(s.start < s.end && s.end <= length && (k == 0 || s.start > previousEnd));
    // Inside a sound no fill run reaches the gap length; between sounds (and
    // at the ends) there is only fill, in runs that each make a gap.
    Check(FillRuns(image, s.start, s.end).longest < minGap);
    for (size_t i = previousEnd; i < s.start; ++i) Check(IsFill(image[i]));
    Check(s.start == previousEnd || FillRuns(image, previousEnd, s.start).shortest >= minGap);
    previousEnd = s.end;
  }
  for (size_t i = previousEnd; i < length; ++i) Check(IsFill(image[i]));
  Check(previousEnd == length || FillRuns(image, previousEnd, length).shortest >= minGap);

  std::vector<int16_t> samples(length * kSamplesPerByte);
  DecodeAdpcmB(image, length, samples.data());
  std::vector<uint8_t> bytes(samples.size() * 2);
  WavSamples(samples.data(), samples.size(), bytes.data());
  const std::string svg = DrawImage(image, length, sounds, "fuzz");
  Check(svg.compare(0, 5, "<svg ") == 0 && svg.size() >= 7 && svg.compare(svg.size() - 7, 7, "</svg>\n") == 0);
  return 0;
}
