// Where the sounds lie in an ADPCM-B sample RAM image, found without the
// start and stop addresses the program set at run time (they are not in the
// RAM). No I/O: bytes in, spans out, in one pass over the image and a
// bounded amount of extra decoding (linear in the image size).
//
// The rule, in the order it is applied:
//
// 1. Fill. A run of one repeated byte value is unused RAM: 16 or more
//    (SearchOptions::fillRun) bytes of 0x00 or 0xFF, or max(fillRun, 32) of
//    any other value. Inside a sound 0x00 and 0xFF come in short runs only
//    (they decode to a ramp and to full-scale steps), and no encoder writes
//    long runs of any one other value. 0x08 and 0x80 are the exception:
//    they are encoded silence (codes 0 and 8, +-15 at the smallest step),
//    which sounds hold in their tails and pauses, so they are never fill.
//
// 2. Sounds start on multiples of 4 (the chip's address unit is 4 or 32
//    bytes, 256 on the YM2610), always from the decoder's reset state. Where
//    fill ends off the unit, the sound's first bytes equal the fill value and
//    the start is rounded down into the fill: to 32 bytes when every other
//    start after fill in the image lies on 32, else to 4.
//
// 3. Silence. Between two fills, a run of 8 or more bytes of encoded
//    silence that ends on a multiple of 256 followed by a byte that is not
//    silence is where a sound padded with silence ends and the next begins.
//    A run of 4,096 or more silence bytes is a gap by itself. Shorter
//    pauses, or ones that end off the 256-byte unit, stay inside their
//    sound: after silence the decoder is back in its reset state, so
//    playing on through them changes no sample.
//
// 4. A sound's start where nothing parts it from the one before. At a
//    4-byte unit t the decoder that played on from the earlier start is set
//    beside one reset at t: t is a start when, over the bytes that follow,
//    decoding on hits the clamps while decoding from reset stays in range,
//    or decoding on jumps to the DC level it had at t while decoding from
//    reset keeps the level the sound before it had. A short run of 0x00
//    (the pad of 32-byte units) that ends on a multiple of 32 in an image
//    whose starts lie on 32 is a start too.
//
// 5. The test that a stretch decodes like sound at all. Decoded from reset,
//    code, text, tables and pictures climb to the clamps and stay there, or
//    swing at full scale: a stretch is sound only when few of its samples
//    sit at the clamps or near full scale, its level does not drift far
//    from zero, and it is 64 bytes or longer (shorter ones only where they
//    run into the end of the RAM, which may have cut them). Stretches that
//    fail are left out as not sound.
//
// Where it can still be wrong: two sounds that touch, the first ending in
// silence or near zero, off the units above, come out as one; a sound whose
// first bytes equal the fill before it, or are silence, may start a unit
// late; a sound's last bytes equal to the fill after it are taken for fill
// (they decode to a ramp of +-15 a sample, inaudible).
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
