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
//    from the marks, the places where a run ends and something else
//    begins: the end of each fill, of each run of 3 [kZeroMark] or more
//    0x00 and of each run of 8 [kSilenceMark] or more of one value of
//    silence, but at the end of the image. A tracker's 0x00 pads to the
//    next unit, a bank's silent tails ending on it and its fills all leave
//    marks on the unit; runs inside sounds end anywhere, and of the marks
//    on a multiple of 4, 1 in 8 lie on 32 by chance, and of those 1 in 8
//    on 256. Marks stand out on a coarser unit where at least 2
//    [kUnitMarks] lie on it, twice [kUnitShare] as many as chance would put
//    there or more, and chance would put that many there once in 64
//    [kUnitChance] images or less. The unit is 256 where its marks stand out
//    among those on 32, and among those on 4 either on 32 or on 256 itself
//    (1 in 64 by chance: pauses inside the sounds of a bank with no fill
//    may leave too many marks off 32 for 32 to stand out); else 32 where
//    its marks stand out among those on 4. A fill ends where a sound
//    begins, off its unit only where the sound's first bytes equal the
//    fill's value: where 4 [kUnitFills] or more fills end before the end of
//    the image, a unit that fewer than half of them end on is ruled out.
//    Every sound starts on a multiple of the unit, from the decoder's reset
//    state. Where fill ends off the unit, the sound's first bytes equal the
//    fill value and the start is taken down into the fill: to the unit, or
//    to the coarsest of 32 and 4 that the fill holds.
//
// 3. Pads of silence, between two fills, at multiples of 256
//    [kSilenceUnit] (any unit divides them). 8 [kSilencePad] or more bytes
//    of silence up to one, or silence and then 1 to 31 [kPadZeros] bytes of
//    0x00 up to it, part two sounds there. The next sound may begin with
//    silence of its own: up to 4 [kOwnSilence] bytes of any value, up to 32
//    [kOwnOtherSilence] of a value other than the pad's (whose last 8 bytes
//    are then one value), or, where the unit is 256, up to 40
//    [kOwnSilence256] of any (a tail that ends on the unit and a start in
//    the same silence make one run across it); where the unit is 256, 8 to
//    40 bytes of silence that begin on it after a byte that is not silence
//    are such a start too. The pad parts only where the decoder, played on
//    to the silence, is at rest there (within 60 [kRestLevel] of zero), or
//    where decoding on does not plainly explain what follows better (step
//    4a) and a sound plainly begins: within 64 [kPadOnsetWithin] bytes
//    after the silence, decoded from reset, the level reaches 1,000
//    [kPadOnsetPeak]; where the unit is 32 (whose pads are 0x00) the sound
//    must plainly begin either way. Silence at a level, inside a sound,
//    goes on quietly at that level. 4,096 [kLongSilence] or more bytes of
//    silence are a gap wherever they end; the next sound starts at the
//    unit at or before the gap's end. Shorter pauses, and pauses that end
//    off these units, stay inside their sound: after silence the decoder is
//    back at rest, so playing on changes no sample.
//
// 4. Starts where nothing else parts two sounds, weighed at each multiple t
//    of the unit, every 16 [kWeighEvery] bytes at least after one the
//    evidence did not bear out (128 [kWeighAfterFailure] after one whose
//    earlier part failed step 5). The decoder that played on from the
//    latest start is set beside one reset at t; the bytes before t must
//    themselves pass step 5.
//    a. A pad of 0x00 (unit 32 or 256): a run of 3 [kZeroPad] to 31 0x00
//       ending at t, or 1 [kZeroStart] byte past it (the next sound's own
//       first byte), is a start, unless the run lies within a quiet
//       passage: the step size stays at most 400 [kPadQuietStep] over the
//       128 [kQuietBefore] bytes before it, decoded on, and grows less than
//       3 [kPadStepRatio] times that over the 256 [kPadOnsetAfter] after t,
//       from reset (a slow rise in a soft stretch writes 0x00 too). It is a
//       start all the same where decoding from reset takes 200
//       [kPadCentred] or more off the distance of the mean level of the
//       1 KiB [kLevelWindow] after t from zero (the level the sound before
//       and the pad's ramp left). Decoding on plainly explains what follows
//       better where decoding from reset clamps more, or leaves that level
//       500 [kPadLevel] further from zero.
//    b. Clamps: over the 256 [kWindow] bytes after t, decoding on runs into
//       the clamps as no sound does (3 % [kOnClampPercent] or more of its
//       samples, and more in runs than step 5 allows), the first of them
//       within 64 [kClampWithin] bytes, while decoding from reset passes
//       step 5's clamp tests, and so did the bytes before t, decoded on. A
//       sound played on from the wrong state scales every step by the ratio
//       of the two step sizes, which drives a loud start into the clamps
//       within a byte or two: the start is the unit at or before decoding
//       on's first clamp, where that unit bears the evidence out.
//    c. Level: with 512 [kLevelSpan] bytes or more on either side, decoding
//       on moves the mean level of the 1 KiB after t by 1,000 [kJump] or
//       more from that of the 1 KiB before, decoding from reset moves it a
//       quarter as much and leaves it a quarter as far from zero, and the
//       level is steady on each side: the halves of each window differ by
//       less than a quarter of the jump (a slow drift under a voice moves
//       the mean too, but never at once). Once the two decoders' step sizes
//       meet, they differ by a constant: the earlier sound's last level.
//    Where b does not place the start, the unit among those 128
//    [kRefineBack] bytes before to 128 [kRefine] after t that decoding from
//    reset explains best is taken: where decoding on clamps at both, the
//    one where decoding from reset begins loudest (from a few bytes into a
//    sound it begins with steps too small); else the one with the fewest
//    clamp runs from reset, then the level nearest that before.
//    d. Onset (unit 32 or 256), after 0 to 2 [kOnsetZeros] bytes of 0x00:
//       the 32 [kLoudAfter] bytes after t, from reset, average 300
//       [kOnsetLevel] or more and 3 [kOnsetRatio] times the loudest sample
//       of the 128 bytes before, decoded on, which is 1,500 [kOnsetQuiet]
//       or less, and those do not end in 16 [kPauseRun] bytes of silence
//       right before t (a pause stays inside its sound; silence and then
//       0x00 up to t is a pad). A quiet end leaves the decoder near reset,
//       so only the onset tells.
//
// 5. Sound at all. Decoded from reset, code, text, tables and pictures
//    climb to the clamps and stay there, or swing at full scale; a sound
//    mastered hot touches them for a sample or two at a time. A stretch is
//    sound only when at most 10 % [kMaxClampPercent] of its samples sit at
//    the clamps, at most 1.5 % [kMaxClampRunPermille] are the third or
//    later of a run there (none at all in a stretch under 256 [kShortSound]
//    bytes: a few bytes of code between two runs of 0x00 reach them at
//    once, a short blip of sound does not), at most 35 % [kMaxLoudPercent]
//    lie beyond 30,000 [kLoud], its mean level lies within 8,000
//    [kMaxLevel] of zero, 20 % to 80 % [kMinRisePercent] of its codes rise
//    (an encoder following a wave writes about as many rises as falls), and
//    10 % to 90 % [kMinHalfRisePercent] of the high codes of its bytes that
//    are not silence, and of the low codes (the two codes of a byte are
//    neighbouring samples of one wave; bytes of 0x00 to 0x7F always rise
//    first, map cells of 0x00 to 0x0F always by the smallest step); at most
//    20 % [kMaxRepeatedPercent] of its bytes are the sixth [kRepeatRun] or
//    later of a run of one value but silence (pictures and tables repeat
//    bytes), at most 35 % [kMaxStridePercent] of its bytes that are neither
//    silence nor 0x00 equal the byte 2 to 8 [kMinStride, kMaxStride]
//    before at any one of those distances (a table of fixed-size records
//    repeats its fields; a sound at most about a sixth), at most 60 %
//    [kMaxSamePercent] of its codes equal the code before (45 %
//    [kMaxSameShortPercent] under 256 bytes: pictures of 4 bits a dot hold
//    areas of one colour), and it is 64 [kMinSound] bytes or longer; a
//    shorter one only where it runs into the end of the RAM after 1 KiB
//    [kLoneFill] of fill, which may have cut it short, in an image with a
//    sound before it. Stretches that fail are left out as not sound;
//    stretches of silence alone are neither sound nor left out.
//
// What ends each sound, as the table names it: the fill after it, or a
// 0x00 pad counted in it up to the unit ("fill"); encoded silence, a pad
// counted in it up to the unit or a gap after it ("silence"); the next
// sound's first byte with nothing between ("next sound"); a stretch left
// out as not sound right after it ("not sound"); or the end of the image
// ("end of RAM").
//
// Where it can still be wrong. Two sounds that touch come out as one where
// the first ends near zero or softly and nothing marks the start but the
// waveform's continuity (step 4 sees no jump of level, no clamps and no
// onset), or where the unit is 4 and the second starts softly; a sound that
// starts softly after a quiet end stays merged with the one before, and
// where both clamp as hot sounds do, the clamps tell nothing. A pause of
// silence inside a sound that reaches a multiple of 256 within the bytes of
// its own silence allowed above (4, or 40 where the unit is 256) parts the
// sound there when a loud stretch follows, as does a run of 0x00 ending on
// the unit where the sound is loud around it or turns loud right after it. A
// sound that falls quiet (its peak 1,500 or less) for 128 bytes and then
// hits three times as hard, on a multiple of 32, is parted there. An image
// with too few marks is read on 4-byte units and its 0x00 pads are missed;
// one with fewer than 4 fills whose runs fall on 32 by chance is read on
// 32, its starts then taken down into the fill before them (give --unit
// where the chip is known). A
// sound whose first bytes equal the fill before it, or are silence, may
// start a unit late; its last bytes equal to the fill after it are taken for
// fill (a ramp of +15 a sample, inaudible). Pictures of 4 bits a dot
// dithered finely may pass for sound.
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
constexpr double kUnitShare = 2, kUnitChance = 1.0 / 64;
constexpr size_t kUnitFills = 4;
// 3. Pads of silence.
constexpr size_t kSilencePad = 8, kSilenceUnit = 256, kPadZeros = 31;
constexpr size_t kOwnSilence = 4, kOwnOtherSilence = 32, kOwnSilence256 = 40;
constexpr size_t kLongSilence = 4096;
constexpr int32_t kRestLevel = 60;
constexpr size_t kPadOnsetWithin = 64;
constexpr int32_t kPadOnsetPeak = 1000;
// 4. Starts.
constexpr size_t kWeighEvery = 16, kWeighAfterFailure = 128;
constexpr size_t kZeroPad = 3, kZeroStart = 1, kOnsetZeros = 2;
constexpr int64_t kPadLevel = 500, kPadCentred = 200;
constexpr int32_t kPadQuietStep = 400;
constexpr size_t kPadOnsetAfter = 256;
constexpr int32_t kPadStepRatio = 3;
constexpr size_t kWindow = 256;
constexpr size_t kOnClampPercent = 3, kClampWithin = 64;
constexpr size_t kLevelSpan = 512, kLevelWindow = 1024;
constexpr int64_t kJump = 1000;
constexpr size_t kRefineBack = 128, kRefine = 128;
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
