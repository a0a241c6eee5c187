// Where the sounds lie in an ADPCM-B sample RAM image, found without the
// start and stop addresses the program set at run time (they are not in the
// RAM). No I/O: bytes in, spans out, in one pass over the image and a
// bounded amount of extra work for each byte (linear in the image size).
//
// The rule, in the order it is applied; every number in it is a constant of
// the block below, named in brackets.
//
// 1. Fill. A run of one repeated byte value is unused RAM: fillRun (16) or
//    more bytes of 0x00 or 0xFF, or max(fillRun, 32 [kOtherFillRun]) of any
//    other value. Inside a sound 0x00 and 0xFF come in short runs only
//    (they decode to a ramp and to full-scale steps), and no encoder writes
//    long runs of one other value, except encoded silence: two codes of one
//    magnitude 0 to 3 and opposite signs at the smallest step (0x08 and
//    0x80, what an encoder that truncates writes for zeros; 0x19 and 0x91,
//    where one that rounds settles; 0x2A, 0xA2, 0x3B, 0xB3). Sounds hold
//    silence in their tails and pauses, so it is never fill.
//
// 2. The address unit, 4, 32 or 256 bytes: the chip's (4 or 32 on the
//    YM2608 as its RAM is wired, 256 on the YM2610), or the coarser one a
//    music program kept to. SearchOptions::unit gives it; else it is read
//    from the marks, the places where a run ends and something else begins:
//    the end of each fill, of each run of 3 [kZeroMark] or more 0x00 and of
//    each stretch of 8 [kSilenceMark] or more bytes of silence, but at the
//    end of the image. Of the marks on a multiple of 4, 1 in 8 lie on 32 by
//    chance, and of those 1 in 8 on 256: the unit is 32 where at least 2
//    [kUnitMarks] marks on 4 lie on it, a third [kUnitShare] of them or
//    more, and chance would put that many there once in 64 [kUnitChance]
//    images or less; then 256 by the same test among the marks on 32. A
//    tracker's 0x00 pads to the next unit, a bank's silent tails ending on
//    it and its fills all leave such marks; runs inside sounds end anywhere.
//    Every sound starts on a multiple of the unit, from the decoder's reset
//    state. Where fill ends off the unit, the sound's first bytes equal the
//    fill value and the start is taken down into the fill: to the unit, or
//    to the coarsest of 32 and 4 that the fill holds.
//
// 3. Pads of silence, between two fills. 8 [kSilencePad] or more bytes of
//    silence up to a multiple of 256 part two sounds there, with the bytes
//    of 0x00 that may follow them up to it (1 to 31). The next sound may
//    begin with silence of its own: up to 4 [kOwnSilence] bytes of any
//    value, up to 32 [kOwnOtherSilence] of a value other than the pad's
//    (whose last 8 bytes are then one value), or, where the unit is 256, up
//    to 40 [kOwnSilence256] of any: a tail that ends on the unit and a
//    start in the same silence make one run across it. 4,096
//    [kLongSilence] or more bytes of silence are a gap wherever they end;
//    the next sound starts at the unit at or before the gap's end. Shorter
//    pauses, and pauses that end off these units, stay inside their sound:
//    after silence the decoder is back in its reset state, so playing on
//    changes no sample.
//
// 4. Starts where nothing else parts two sounds, weighed at each multiple t
//    of the unit. The decoder that played on from the latest start is set
//    beside one reset at t; the bytes before t must themselves pass step 5.
//    a. A pad of 0x00 (unit 32 or 256): a run of 3 [kZeroPad] to 31 0x00
//       ending at t, or 1 or 2 [kZeroStart] bytes past it, is a start,
//       unless decoding on plainly explains what follows better (over the
//       1 KiB after t, or to the stretch's end, decoding from reset clamps
//       more, or its mean level lies 500 [kPadLevel] or more further from
//       zero), or the run lies within a quiet passage: the 128
//       [kQuietBefore] bytes before it, decoded on, never pass 2,000
//       [kPadQuiet] and the 256 [kPadOnsetAfter] bytes after t, from reset,
//       average less than 3 [kOnsetRatio] times their peak (a slow rise in
//       a soft stretch writes 0x00 too).
//    b. Clamps: over the 256 [kWindow] bytes after t, decoding on puts 3 %
//       [kOnClampPercent] or more of its samples at the clamps, decoding
//       from reset 1 % [kResetClampPercent] or fewer, and the bytes before
//       t, decoded on, clamp at a quarter of that rate or less (a hot sound
//       clamps on its own).
//    c. Level: with 512 [kLevelSpan] bytes or more on either side, decoding
//       on moves the mean level of the 1 KiB [kLevelWindow] after t by 1,000
//       [kJump] or more from that of the 1 KiB before, decoding from reset
//       moves it a quarter as much, and the level is steady on each side:
//       the halves of each window differ by less than a quarter of the
//       jump (a slow drift under a voice moves the mean too, but never at
//       once). Once the two decoders' step sizes meet, they differ by a
//       constant: the earlier sound's last level.
//    Among the multiples of the unit 128 [kRefineBack] bytes before to 32
//    [kRefine] after the first t that b or c makes a start, the one
//    decoding from reset explains best is taken.
//    d. Onset (unit 32 or 256), after 0 to 2 0x00: the 32 [kLoudAfter]
//       bytes after t, from reset, average 300 [kOnsetLevel] or more and 3
//       times the loudest sample of the 128 bytes before, decoded on, and
//       those do not end in 16 [kPauseRun] bytes of silence (a pause stays
//       inside its sound). A quiet end leaves the decoder near reset, so
//       only the onset tells.
//
// 5. Sound at all. Decoded from reset, code, text, tables and pictures
//    climb to the clamps and stay there, or swing at full scale; a sound
//    mastered hot touches them for a sample or two at a time. A stretch is
//    sound only when at most 10 % [kMaxClampPercent] of its samples sit at
//    the clamps, at most 1.5 % [kMaxClampRunPermille] are the third or
//    later of a run there (none at all in a stretch under 256 [kShortSound]
//    bytes: a few bytes of code between two runs of 0x00 reach them at
//    once, a short blip of sound does not), at most 35 % [kMaxLoudPercent]
//    lie beyond 30,000, its mean level lies within 8,000 [kMaxLevel] of
//    zero, 20 % to 80 % [kMinRisePercent] of its codes rise (an encoder
//    following a wave writes about as many rises as falls), and 10 % to
//    90 % [kMinHalfRisePercent] of the high codes of its bytes that are not
//    silence, and of the low codes (the two codes of a byte are
//    neighbouring samples of one wave; bytes of 0x00 to 0x7F always rise
//    first, map cells of 0x00 to 0x0F always by the smallest step); at most
//    20 % [kMaxRepeatedPercent] of its bytes are the sixth [kRepeatRun] or
//    later of a run of one value but silence (pictures and tables repeat
//    bytes), at most 35 % [kMaxStridePercent] of its bytes that are neither
//    silence nor 0x00 equal the byte 2 to 8 before at any one of those
//    distances (a table of fixed-size records repeats its fields; a sound
//    at most about 17 %), at most 60 % [kMaxSamePercent] of its codes equal
//    the code before (45 % [kMaxSameShortPercent] under 256 bytes: pictures
//    of 4 bits a dot hold areas of one colour), and it is 64 [kMinSound]
//    bytes or longer; a shorter one only where it runs into the end of the
//    RAM after 1 KiB [kLoneFill] of fill, which may have cut it short.
//    Stretches that fail are left out as not sound; stretches of silence
//    alone are neither sound nor left out.
//
// What ends each sound, as the table names it: the fill or the 0x00 pad
// after it ("fill"; a 0x00 pad is counted in the sound, up to the unit),
// encoded silence (a pad counted in the sound up to the unit, or a gap of
// 4 KiB that follows it: "silence"), the next sound's first byte with
// nothing between ("next sound"), a stretch left out as not sound right
// after it ("not sound"), or the end of the image ("end of RAM").
//
// Where it can still be wrong: two sounds that touch come out as one where
// the first ends near zero and nothing but the waveform's continuity (or,
// without a unit, nothing at all) marks the start, unless the next begins
// with an onset on a unit of 32 or more; a sound that starts softly after
// a quiet end stays merged with the one before. A pause of silence inside
// a sound that crosses a multiple of 256 within its last 4 bytes (40 where
// the unit is 256) parts the sound there, as does a run of 0x00 ending on
// the unit where the sound is loud before it or turns loud after it. A
// sound that falls silent for 128 bytes and then hits hard, on a multiple
// of 32, is parted there. A bank with too few marks is read on 4-byte
// units, and one whose runs fall on 32 by chance on 32 (give --unit then).
// A sound whose first bytes equal the fill before it, or are silence, may
// start a unit late; its last bytes equal to the fill after it are taken
// for fill (a ramp of +15 a sample, inaudible).
#ifndef ADPCM_SOUNDS_H_
#define ADPCM_SOUNDS_H_

#include <cstddef>
#include <cstdint>
#include <vector>

// The rule's numbers, each where the rule above names it.
namespace sound_rule {
// 1. Fill.
constexpr size_t kOtherFillRun = 32;
// 2. The address unit.
constexpr size_t kZeroMark = 3, kSilenceMark = 8;
constexpr size_t kUnitMarks = 2;
constexpr double kUnitShare = 1.0 / 4, kUnitChance = 1.0 / 64;
// 3. Pads of silence.
constexpr size_t kSilencePad = 8, kSilenceUnit = 256, kPadZeros = 31;
constexpr size_t kOwnSilence = 4, kOwnOtherSilence = 32, kOwnSilence256 = 40;
constexpr size_t kLongSilence = 4096;
constexpr size_t kPadOnsetWithin = 64;
constexpr int32_t kPadOnsetPeak = 1000;
// 4. Starts.
constexpr size_t kZeroPad = 3, kZeroStart = 1, kOnsetZeros = 2;
constexpr int64_t kPadLevel = 500, kPadCentred = 200;
constexpr int32_t kPadQuietStep = 400;
constexpr size_t kPadOnsetAfter = 256;
constexpr int32_t kPadStepRatio = 3;
constexpr size_t kWindow = 256;
constexpr size_t kOnClampPercent = 3, kClampWithin = 64;
constexpr size_t kLevelSpan = 512, kLevelWindow = 1024;
constexpr int64_t kJump = 1000;
constexpr size_t kRefineBack = 128, kRefine = 64;
constexpr size_t kQuietBefore = 128, kLoudAfter = 32, kPauseRun = 16;
constexpr int64_t kOnsetLevel = 300, kOnsetRatio = 3;
constexpr int32_t kOnsetQuiet = 1500;
// 5. Sound at all.
constexpr size_t kMaxClampPercent = 10, kMaxClampRunPermille = 15, kMaxLoudPercent = 35;
constexpr int32_t kLoud = 30000;
constexpr size_t kShortSound = 256;
constexpr int64_t kMaxLevel = 8000;
constexpr size_t kMinRisePercent = 20, kMinHalfRisePercent = 10;
constexpr size_t kMaxRepeatedPercent = 20, kRepeatRun = 6;
constexpr size_t kMaxStridePercent = 35, kMinStride = 2, kMaxStride = 8;
constexpr size_t kMaxSamePercent = 60, kMaxSameShortPercent = 45;
constexpr size_t kMinSound = 64, kLoneFill = 1024;
}  // namespace sound_rule

// Bytes [start, end) of the image.
struct ByteSpan {
  size_t start = 0;
  size_t end = 0;
  size_t size() const { return end - start; }
};

// What parted a sound from what follows it.
enum class SoundEnd {
  kFill,       // a run of one repeated byte value (unused RAM), or a 0x00 pad
  kSilence,    // encoded silence padding it to the next sound's unit, or a gap
  kNextSound,  // the next sound's first byte, with nothing between
  kEndOfRam,   // the image ends
  kNotSound,   // a stretch left out as not sound begins right after it
};

// A short lowercase name for the table: "fill", "silence", "next sound",
// "end of RAM", "not sound".
const char* SoundEndName(SoundEnd end);

struct FoundSound {
  ByteSpan span;
  SoundEnd end = SoundEnd::kEndOfRam;
};

struct SoundSearch {
  std::vector<FoundSound> sounds;  // in address order, disjoint
  std::vector<ByteSpan> notSound;  // stretches that do not decode like sound, in address order
  size_t notSoundBytes = 0;        // the bytes of notSound, together
  size_t unit = 4;                 // the address unit the starts lie on: 4, 32 or 256
  bool unitGiven = false;          // SearchOptions::unit set it; else read from the image
  // The bytes the search decoded or weighed beyond its one pass, together:
  // a measure of its cost that grows with the image and nothing else
  // (bounded for each byte), for tests and fuzzing.
  uint64_t work = 0;
};

// The fewest equal 0x00 or 0xFF bytes that make fill by default.
constexpr size_t kDefaultFillRun = 16;

// Whether `unit` is one the search can lay starts on: 4, 32 or 256.
constexpr bool IsSoundUnit(size_t unit) { return unit == 4 || unit == 32 || unit == 256; }

struct SearchOptions {
  // The fewest equal 0x00 or 0xFF bytes that make fill (1 or more); other
  // values need max(fillRun, 32).
  size_t fillRun = kDefaultFillRun;
  // The address unit, 4, 32 or 256; 0 reads it from the image (step 2).
  size_t unit = 0;
};

SoundSearch FindSounds(const uint8_t* image, size_t size, const SearchOptions& options = SearchOptions());

#endif  // ADPCM_SOUNDS_H_
