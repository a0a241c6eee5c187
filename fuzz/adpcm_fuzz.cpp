// The audio library and the picture on any bytes, in memory. The search's
// answer must hold together: sounds sorted, non-empty, disjoint and within
// the image, each starting on a 4-byte unit unless fill shorter than a unit
// ended off it; no run of fill inside a sound; the stretches
// left out as not sound disjoint from the sounds and from one another,
// their byte count the sum of their sizes; a sound ends at the end of the
// image exactly when it says so. Decoding and drawing must stay in bounds.
//
// Input: one byte for the fill length (1 to 64), then the image.
#include <string>
#include <vector>

#include "adpcm/AdpcmB.h"
#include "adpcm/Sounds.h"
#include "adpcm/Wav.h"
#include "adpcm2wav/Picture.h"
#include "fuzz/FuzzSupport.h"

namespace {

using fuzzing::Check;

// The longest run of one 0x00 or 0xFF value within [from, to).
size_t LongestFill(const uint8_t* image, size_t from, size_t to) {
  size_t longest = 0;
  for (size_t i = from; i < to;) {
    size_t end = i + 1;
    while (end < to && image[end] == image[i]) ++end;
    if ((image[i] == 0x00 || image[i] == 0xFF) && end - i > longest) longest = end - i;
    i = end;
  }
  return longest;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  SearchOptions options;
  options.fillRun = 1 + data[0] % 64;
  const uint8_t* image = data + 1;
  const size_t length = size - 1;

  const SoundSearch found = FindSounds(image, length, options);
  std::vector<ByteSpan> sounds;
  size_t previousEnd = 0;
  for (size_t k = 0; k < found.sounds.size(); ++k) {
    const ByteSpan& s = found.sounds[k].span;
    Check(s.start < s.end && s.end <= length && (k == 0 || s.start >= previousEnd));
    Check((found.sounds[k].end == SoundEnd::kEndOfRam) == (s.end == length));
    // Fill shorter than 4 bytes may end off the unit with no room to round.
    Check(s.start % 4 == 0 || options.fillRun < 4);
    Check(SoundEndName(found.sounds[k].end)[0] != '\0');
    // A fill run may only reach the fill length where it was rounded into
    // at the sound's start, at most 31 bytes.
    if (options.fillRun >= 32) Check(LongestFill(image, s.start, s.end) < options.fillRun + 31);
    previousEnd = s.end;
    sounds.push_back(s);
  }
  size_t leftOut = 0, notSoundEnd = 0;
  for (size_t k = 0; k < found.notSound.size(); ++k) {
    const ByteSpan& n = found.notSound[k];
    Check(n.start < n.end && n.end <= length && (k == 0 || n.start > notSoundEnd));
    for (const ByteSpan& s : sounds) Check(n.end <= s.start || n.start >= s.end);
    leftOut += n.size();
    notSoundEnd = n.end;
  }
  Check(leftOut == found.notSoundBytes);
  // The same bytes always give the same answer.
  const SoundSearch again = FindSounds(image, length, options);
  Check(again.sounds.size() == found.sounds.size() && again.notSoundBytes == found.notSoundBytes);

  std::vector<int16_t> samples(length * kSamplesPerByte);
  DecodeAdpcmB(image, length, samples.data());
  std::vector<uint8_t> bytes(samples.size() * 2);
  WavSamples(samples.data(), samples.size(), bytes.data());
  const std::string svg = DrawImage(image, length, found, "fuzz");
  Check(svg.compare(0, 5, "<svg ") == 0 && svg.size() >= 7 && svg.compare(svg.size() - 7, 7, "</svg>\n") == 0);
  return 0;
}
