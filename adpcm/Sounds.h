// Where the sounds lie in an ADPCM-B sample RAM image, found without the
// start and stop addresses the program set at run time (they are not in the
// RAM). No I/O: bytes in, spans out, in one pass over the image and a
// bounded amount of extra decoding for each possible start (linear in the
// image size).
//
// The rule, in the order it is applied:
//
// 1. Fill. A run of one repeated byte value is unused RAM: 16 or more
//    (SearchOptions::fillRun) bytes of 0x00 or 0xFF, or max(fillRun, 32) of
//    any other value. Inside a sound 0x00 and 0xFF come in short runs only
//    (they decode to a ramp and to full-scale steps), and no encoder writes
//    long runs of any one other value, except encoded silence: two codes of
//    one magnitude 0 to 3 and opposite signs at the smallest step (0x08 and
//    0x80, what an encoder that truncates writes for zeros; 0x19 and 0x91,
//    where one that rounds settles; 0x2A, 0xA2, 0x3B, 0xB3). Sounds hold
//    silence in their tails and pauses, so it is never fill.
//
// 2. Sounds start on multiples of 4 (the chip's address unit is 4 or 32
//    bytes, 256 on the YM2610), always from the decoder's reset state. Where
//    fill ends off the unit, the sound's first bytes equal the fill value and
//    the start is rounded down into the fill: to 32 bytes when every other
//    start after fill in the image (two or more) lies on 32, else to 4.
//
// 3. Pads. Between two fills, 8 or more bytes of silence up to a multiple
//    of 256 part two sounds there (the next may begin with up to 4 silent
//    bytes of its own, or up to 32 that differ from the pad's value); 4,096
//    or more bytes of silence are a gap wherever they end. In an image whose
//    starts lie on 32 (step 2), a run of 3 to 15 bytes of 0x00 that ends on
//    a multiple of 32, or 1 or 2 bytes past one, parts two sounds there.
//    Shorter pauses, and pauses that end off the unit, stay inside their
//    sound: after silence the decoder is back in its reset state, so
//    playing on changes no sample.
//
// 4. A start where nothing parts two sounds. At a 4-byte unit t the
//    decoder that played on from the latest start is set beside one reset
//    at t: t is a start when, over the 256 bytes after it, decoding on puts
//    3 % or more of its samples at the clamps and decoding from reset 1 % or
//    fewer, or when, with 512 bytes or more on either side, decoding on
//    moves the mean level of the 1 KiB after t by 1,000 or more from that of
//    the 1 KiB before while decoding from reset moves it a quarter as much.
//    Among the units 128 bytes before to 32 after the first that qualifies,
//    the one decoding from reset explains best is taken. In an image on
//    32-byte units, a multiple of 32 after 0 to 2 bytes of 0x00 is also a
//    start where a sound ended quietly and the next begins with an onset:
//    the 32 bytes after it, decoded from reset, average 300 or more and
//    three times the loudest sample of the 128 bytes before, decoded on,
//    and those do not end in 16 bytes of silence (a pause stays inside its
//    sound). A quiet end leaves the decoder near reset, so only the onset
//    tells. What lies before a start must itself pass step 5.
//
// 5. Sound at all. Decoded from reset, code, text, tables and pictures
//    climb to the clamps and stay there, or swing at full scale: a stretch
//    is sound only when at most 3 % of its samples sit at the clamps (none,
//    in a stretch shorter than 256 bytes: a few bytes of code between two
//    runs of 0x00 reach them at once, a short blip of sound does not) and
//    10 % beyond 30,000, its mean level lies within 8,000 of zero (a DC tail
//    of 0.117 of full scale is 3,834), 20 % to 80 % of its codes rise (an
//    encoder following a wave writes about as many rises as falls), and
//    10 % to 90 % of the high codes of its bytes that are not silence, and
//    of the low codes (the two codes of a byte are neighbouring samples of
//    one wave; bytes of 0x00 to 0x7F always rise first, map cells of 0x00
//    to 0x0F always by the smallest step), at most 20 % of its bytes lie in
//    runs of 6 or more of one value but silence (pictures and tables repeat
//    bytes, a sound's noise floor keeps its codes changing), at most 60 % of
//    its codes equal the code before (45 % under 256 bytes: pictures of 4
//    bits a dot hold areas of one colour, only the quiet tail of a slow wave
//    repeats codes), and it is 64 bytes or longer; a shorter one only where
//    it runs into the end of the RAM after 1 KiB of fill, which may have cut
//    it short. Stretches that fail are left out as not sound; stretches of
//    silence alone are neither sound nor left out.
//
// Where it can still be wrong: two sounds that touch, the first ending
// near zero (a level under about 1,000, or silence off the units above),
// come out as one, unless on 32-byte units the next begins with an onset;
// a sound that starts softly (a slow attack) after 0 to 2 bytes of 0x00
// stays merged with the one before. A sound that falls silent for 128
// bytes and then hits hard, on a multiple of 32, is parted there. A real run of 3 or more 0x00 inside a sound that ends at a
// multiple of 32, in an image on 32-byte units, parts it. A sound whose
// first bytes equal the fill before it, or are silence, may start a unit
// late. A sound's last bytes equal to the fill after it are taken for fill
// (a ramp of +15 a sample, inaudible).
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

// What parted a sound from what follows it.
enum class SoundEnd {
  kFill,       // a run of one repeated byte value (unused RAM)
  kSilence,    // encoded silence padding it to the next sound's unit
  kNextSound,  // the next sound's first byte, with nothing between
  kEndOfRam,   // the image ends
};

// A short lowercase name for the table: "fill", "silence", "next sound",
// "end of RAM".
const char* SoundEndName(SoundEnd end);

struct FoundSound {
  ByteSpan span;
  SoundEnd end = SoundEnd::kEndOfRam;
};

struct SoundSearch {
  std::vector<FoundSound> sounds;  // in address order, disjoint
  std::vector<ByteSpan> notSound;  // stretches that do not decode like sound, in address order
  size_t notSoundBytes = 0;        // the bytes of notSound, together
};

// The fewest equal 0x00 or 0xFF bytes that make fill by default.
constexpr size_t kDefaultFillRun = 16;

struct SearchOptions {
  // The fewest equal 0x00 or 0xFF bytes that make fill (1 or more); other
  // values need max(fillRun, 32).
  size_t fillRun = kDefaultFillRun;
};

SoundSearch FindSounds(const uint8_t* image, size_t size, const SearchOptions& options = SearchOptions());

#endif  // ADPCM_SOUNDS_H_
