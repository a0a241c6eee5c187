// The audio library and the picture on any bytes, in memory. The search's
// answer must hold together: sounds sorted, non-empty, disjoint and within
// the image, each starting on a 4-byte unit unless fill shorter than a unit
// ended off it, and on the search's unit wherever no fill comes before it;
// no run of fill inside a sound; the stretches left out as not sound
// disjoint from the sounds and from one another, their byte count the sum
// of their sizes. What ends each sound is what follows it: "end of RAM"
// exactly at the image's end, "next sound" only where the next sound
// begins, "not sound" only where a stretch left out begins, "fill" where a
// run of fill begins or a 0x00 pad ends the sound on its unit, "silence"
// where encoded silence ends the sound or follows it. The search's work is
// bounded for each byte: an input that costs more is a finding, as a crash
// is. Decoding and drawing must stay in bounds.
//
// Input: one byte for the fill length (1 to 64, the low 6 bits) and the
// unit (the high 2: read from the image, 4, 32 or 256), then the image.
#include <string>
#include <vector>

#include "adpcm/AdpcmB.h"
#include "adpcm/Sounds.h"
#include "adpcm/Wav.h"
#include "adpcm2wav/Picture.h"
#include "fuzz/FuzzSupport.h"

namespace {

using fuzzing::Check;

// The most work the search may do for each byte of the image, and for the
// image as a whole; its windows and the units it weighs around a start
// are bounded, so this holds for every input.
constexpr uint64_t kWorkPerByte = 4096, kWorkFixed = 1 << 20;

bool IsSilenceByte(uint8_t b) { return ((b >> 4) ^ (b & 15)) == 8 && (b & 0x40) == 0; }

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

// Whether a run of fill (`fillRun` or more of 0x00 or 0xFF, `otherRun` of
// another value, never silence) begins at `at`.
bool FillBegins(const uint8_t* image, size_t length, size_t at, size_t fillRun, size_t otherRun) {
  if (at >= length || IsSilenceByte(image[at])) return false;
  const size_t need = image[at] == 0x00 || image[at] == 0xFF ? fillRun : otherRun;
  size_t end = at;
  while (end < length && image[end] == image[at]) ++end;
  return end - at >= need;
}

// Whether encoded silence ends the sound that ends at `end` (after it, up to
// 31 bytes of 0x00 that pad it) or follows it.
bool SilenceAround(const uint8_t* image, size_t length, size_t start, size_t end) {
  if (end < length && IsSilenceByte(image[end])) return true;
  size_t k = end;
  while (k > start && end - k < 32 && image[k - 1] == 0x00) --k;
  return k > start && IsSilenceByte(image[k - 1]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  SearchOptions options;
  options.fillRun = 1 + data[0] % 64;
  static const size_t kUnits[4] = {0, 4, 32, 256};
  options.unit = kUnits[data[0] >> 6];
  const size_t otherRun = options.fillRun > 32 ? options.fillRun : 32;
  const uint8_t* image = data + 1;
  const size_t length = size - 1;

  const SoundSearch found = FindSounds(image, length, options);
  Check(IsSoundUnit(found.unit) && found.unitGiven == (options.unit != 0));
  Check(options.unit == 0 || found.unit == options.unit);
  Check(found.work <= kWorkPerByte * length + kWorkFixed);
  size_t previousEnd = 0;
  for (size_t k = 0; k < found.sounds.size(); ++k) {
    const ByteSpan& s = found.sounds[k].span;
    const SoundEnd why = found.sounds[k].end;
    Check(s.start < s.end && s.end <= length && (k == 0 || s.start >= previousEnd));
    // Fill shorter than 4 bytes may end off the unit with no room to round;
    // a start that nothing but a fill comes before lies on the unit.
    Check(s.start % 4 == 0 || options.fillRun < 4);
    if (k > 0 && s.start == previousEnd && found.sounds[k - 1].end != SoundEnd::kFill) Check(s.start % found.unit == 0);
    Check(SoundEndName(why)[0] != '\0');
    // A fill run may only reach the fill length where it was rounded into
    // at the sound's start, by less than the unit.
    if (options.fillRun >= 32) Check(LongestFill(image, s.start, s.end) < options.fillRun + found.unit);
    // What follows the sound.
    Check((why == SoundEnd::kEndOfRam) == (s.end == length));
    const bool nextStarts = k + 1 < found.sounds.size() && found.sounds[k + 1].span.start == s.end;
    bool notSoundStarts = false;
    for (const ByteSpan& n : found.notSound) notSoundStarts = notSoundStarts || n.start == s.end;
    switch (why) {
      case SoundEnd::kNextSound: Check(nextStarts); break;
      case SoundEnd::kNotSound: Check(notSoundStarts); break;
      case SoundEnd::kFill:
        Check(FillBegins(image, length, s.end, options.fillRun, otherRun) ||
              (found.unit >= 32 && s.end % found.unit == 0 && image[s.end - 1] == 0x00));
        break;
      case SoundEnd::kSilence: Check(SilenceAround(image, length, s.start, s.end)); break;
      case SoundEnd::kEndOfRam: break;
    }
    previousEnd = s.end;
  }
  size_t leftOut = 0, notSoundEnd = 0;
  for (size_t k = 0; k < found.notSound.size(); ++k) {
    const ByteSpan& n = found.notSound[k];
    Check(n.start < n.end && n.end <= length && (k == 0 || n.start > notSoundEnd));
    for (const FoundSound& f : found.sounds) Check(n.end <= f.span.start || n.start >= f.span.end);
    leftOut += n.size();
    notSoundEnd = n.end;
  }
  Check(leftOut == found.notSoundBytes);
  // The same bytes always give the same answer.
  const SoundSearch again = FindSounds(image, length, options);
  Check(again.sounds.size() == found.sounds.size() && again.notSoundBytes == found.notSoundBytes && again.work == found.work);

  std::vector<int16_t> samples(length * kSamplesPerByte);
  DecodeAdpcmB(image, length, samples.data());
  std::vector<uint8_t> bytes(samples.size() * 2);
  WavSamples(samples.data(), samples.size(), bytes.data());
  const std::string svg = DrawImage(image, length, found, "fuzz");
  Check(svg.compare(0, 5, "<svg ") == 0 && svg.size() >= 7 && svg.compare(svg.size() - 7, 7, "</svg>\n") == 0);
  return 0;
}
