// The search for sounds on banks laid out as music programs lay them out,
// on pieces of disk that hold no sound, and at the edges of the image.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "adpcm/Sounds.h"
#include "kit/AdpcmEncoder.h"
#include "kit/Banks.h"
#include "kit/SampleSounds.h"

namespace {

using testimage::Bank;
using testimage::BankBytes;
using testimage::Junk;
using testimage::Layout;

std::string Spans(const SoundSearch& found) {
  std::string text;
  for (const FoundSound& f : found.sounds) {
    char line[64];
    std::snprintf(line, sizeof line, " %05zX-%05zX(%s)", f.span.start, f.span.end, SoundEndName(f.end));
    text += line;
  }
  return text;
}

// Every sound of every layout, played alone from its true start with
// nothing audible lost, the unit read from the bank as it was laid out, and
// what parts each sound from the next as the layout has it. The banks mix
// both encoders, both rates and every kind of sound; kit/eval_banks weighs
// the rule on many more.
TEST(SoundSearch, EverySoundOfEveryLayoutAloneFromItsTrueStart) {
  const struct {
    Layout layout;
    uint64_t seed;
    size_t unit;
    bool alike;         // every sound but the last ends by `between`
    SoundEnd between;
  } cases[] = {
      {Layout::kDrumBank, 2, 4, true, SoundEnd::kFill},          {Layout::kDrumBank, 3, 4, true, SoundEnd::kFill},
      {Layout::kTracker32, 16, 32, true, SoundEnd::kFill},       {Layout::kTracker32, 23, 32, true, SoundEnd::kFill},
      {Layout::kTracker256, 1, 256, true, SoundEnd::kSilence},   {Layout::kTracker256, 3, 256, true, SoundEnd::kSilence},
      {Layout::kTracker256Chip, 1, 256, true, SoundEnd::kSilence}, {Layout::kTracker256Chip, 2, 256, true, SoundEnd::kSilence},
      {Layout::kCompiler, 6, 4, true, SoundEnd::kNextSound},     {Layout::kCompiler, 10, 4, true, SoundEnd::kNextSound},
      // Kick, snare, tom and clap clipping in bursts of a sample or two.
      {Layout::kHotKit, 2, 4, true, SoundEnd::kFill},            {Layout::kHotKit, 3, 4, true, SoundEnd::kFill},
      // No fill and no pad: silent tails ending on the 256-byte unit, the
      // next sound's own silence running on across it.
      {Layout::kBank256, 4, 256, true, SoundEnd::kSilence},      {Layout::kBank256, 7, 256, true, SoundEnd::kSilence},
      // 0x00 pads of 1 to 31 bytes, runs of 0x00 inside the sounds.
      {Layout::kTrackerZeroPad, 18, 32, true, SoundEnd::kFill},  {Layout::kTrackerZeroPad, 27, 32, false, SoundEnd::kFill},
      // Silent tails, then a few bytes of 0x00 up to the 256-byte unit.
      {Layout::kPad256, 2, 256, false, SoundEnd::kSilence},      {Layout::kPad256, 3, 256, false, SoundEnd::kSilence},
  };
  for (const auto& c : cases) {
    const Bank bank = testimage::MakeBank(c.layout, c.seed);
    const SoundSearch found = FindSounds(bank.ram.data(), bank.ram.size());
    const std::string what = std::string(testimage::LayoutName(c.layout)) + " seed " + std::to_string(c.seed) + ":" + Spans(found);
    EXPECT_EQ(found.unit, c.unit) << what;
    EXPECT_FALSE(found.unitGiven) << what;
    // A quiet tail may come out as sounds of its own; nothing audible does.
    ASSERT_GE(found.sounds.size(), bank.sounds.size()) << what;
    for (const FoundSound& f : found.sounds) EXPECT_EQ(f.span.start % c.unit, 0u) << what;
    for (size_t k = 0; k < bank.sounds.size(); ++k) {
      EXPECT_TRUE(testimage::FoundAlone(bank, k, found.sounds)) << what << " sound " << k;
      if (c.alike && k + 1 < bank.sounds.size()) {
        EXPECT_EQ(found.sounds[k].end, c.between) << what << " sound " << k;
      }
    }
    EXPECT_EQ(found.notSoundBytes, 0u) << what;
  }
}

// No sound in any piece of disk without one, of any size; all but fill is
// counted as left out.
TEST(SoundSearch, NoSoundInPiecesWithoutOne) {
  for (int kind = 0; kind < static_cast<int>(Junk::kCount); ++kind) {
    for (size_t size : {1024u, 16384u, 0x40000u}) {
      for (uint64_t seed : {1u, 2u}) {
        const BankBytes piece = testimage::MakeJunk(static_cast<Junk>(kind), size, seed);
        const SoundSearch found = FindSounds(piece.data(), piece.size());
        const std::string what = std::string(testimage::JunkName(static_cast<Junk>(kind))) + " of " + std::to_string(size);
        EXPECT_TRUE(found.sounds.empty()) << what << ":" << Spans(found);
        if (kind > static_cast<int>(Junk::kFillFF)) {
          EXPECT_GT(found.notSoundBytes, 0u) << what;
        } else {
          EXPECT_EQ(found.notSoundBytes, 0u) << what;
        }
      }
    }
  }
}

// Pieces that once came out as sound, each held back by one test of what
// sound is: the piece's seed and size as kit/eval_banks makes them.
TEST(SoundSearch, NoSoundInPiecesThatPassedForOne) {
  const struct {
    const char* what;
    Junk kind;
    size_t size;
    uint64_t seed;
  } cases[] = {
      // Map cells of 0x00 to 0x0C, cut into short stretches by the level
      // they climb to: every high code rises by the smallest step.
      {"map cells: the high codes all rise", Junk::kTables, 4096, 277 * 8 + 1},
      // 72 bytes of code and a table after 19 bytes of 0x00, at the end of
      // the RAM: 3 samples at the clamps, under 3 %.
      {"a short stretch of code that clamps", Junk::kX86, 0x40000, 596 * 8 + 1},
      // A small sprite between rows of colour 0: 57 % of its codes repeat
      // the one before.
      {"a short sprite of 4 bits a dot", Junk::kSprites, 65536, 974 * 8 + 2},
  };
  for (const auto& c : cases) {
    const BankBytes piece = testimage::MakeJunk(c.kind, c.size, c.seed);
    const SoundSearch found = FindSounds(piece.data(), piece.size());
    EXPECT_TRUE(found.sounds.empty()) << c.what << ":" << Spans(found);
  }
}

TEST(SoundSearch, EdgesOfTheImage) {
  const BankBytes drum = [] {
    testimage::BankRandom rng(5);
    return testimage::MakeSound(testimage::SoundKind::kDrum, rng, testimage::SoundMaking());
  }();
  // A sound cut to one byte by the end of the RAM, on a unit after the drum.
  const size_t lastAt = testimage::AlignUp(drum.size(), 4) + 2048;
  auto with = [](BankBytes a, const BankBytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  const struct {
    const char* what;
    BankBytes image;
    std::vector<std::pair<size_t, size_t>> sounds;
    SoundEnd last;
  } cases[] = {
      {"empty", {}, {}, SoundEnd::kEndOfRam},
      {"all 0xE5", BankBytes(4096, 0xE5), {}, SoundEnd::kEndOfRam},
      {"all 0x00", BankBytes(4096, 0x00), {}, SoundEnd::kEndOfRam},
      {"all silence", BankBytes(4096, 0x80), {}, SoundEnd::kEndOfRam},
      {"a one-byte sound at the very end", with(with(drum, BankBytes(lastAt - drum.size(), 0x00)), {0x17}),
       {{0, drum.size()}, {lastAt, lastAt + 1}}, SoundEnd::kEndOfRam},
      {"one byte alone at the very end is no sound", with(BankBytes(2048, 0x00), {0x17}), {}, SoundEnd::kEndOfRam},
      {"a sound up to the very end", with(BankBytes(64, 0xFF), drum), {{64, 64 + drum.size()}}, SoundEnd::kEndOfRam},
      {"a sound from the very start", with(drum, BankBytes(100, 0x00)), {{0, drum.size()}}, SoundEnd::kFill},
  };
  for (const auto& c : cases) {
    const SoundSearch found = FindSounds(c.image.data(), c.image.size());
    std::vector<std::pair<size_t, size_t>> spans;
    for (const FoundSound& f : found.sounds) spans.emplace_back(f.span.start, f.span.end);
    EXPECT_EQ(spans, c.sounds) << c.what;
    if (!found.sounds.empty()) {
      EXPECT_EQ(found.sounds.back().end, c.last) << c.what;
    }
  }
}

// ---------------------------------------------------------------- small images

constexpr double kPi = 3.14159265358979323846;

// `bytes` bytes of one sound that never falls quiet: a tone of
// `amplitude` at 440 Hz over a noise floor, encoded from reset.
BankBytes Tone(size_t bytes, double amplitude = 6000, uint64_t seed = 1) {
  testimage::BankRandom rng(seed);
  std::vector<int16_t> samples(2 * bytes);
  for (size_t i = 0; i < samples.size(); ++i) {
    samples[i] = testimage::ToSample(amplitude * std::sin(2 * kPi * 440 * static_cast<double>(i) / 15974) + 40 * rng.Noise());
  }
  return testimage::EncodeAdpcmB(samples);
}

BankBytes Bytes(size_t bytes, uint8_t value) { return BankBytes(bytes, value); }

// One sound encoded in parts, the encoder's state going on through them:
// samples it encodes, and bytes laid down as they stand (a run of 0x00 or
// of silence inside the sound). Decoding on is right everywhere in it, so
// only what the bytes look like can part it.
class OneSound {
 public:
  OneSound& Samples(const std::vector<int16_t>& samples) {
    for (size_t i = 0; i + 1 < samples.size(); i += 2) {
      const uint8_t high = testimage::EncodeSample(state_, samples[i]);
      bytes_.push_back(static_cast<uint8_t>(high << 4 | testimage::EncodeSample(state_, samples[i + 1])));
    }
    return *this;
  }
  OneSound& Raw(const BankBytes& bytes) {
    for (uint8_t b : bytes) {
      state_.Decode(static_cast<uint8_t>(b >> 4));
      state_.Decode(static_cast<uint8_t>(b & 15));
      bytes_.push_back(b);
    }
    return *this;
  }
  const BankBytes& bytes() const { return bytes_; }

 private:
  AdpcmBDecoder state_;
  BankBytes bytes_;
};

// `count` samples of a sine of `amplitude` at `hz`, from sample `from` on.
std::vector<int16_t> Sine(size_t count, double amplitude, double hz = 440, size_t from = 0) {
  std::vector<int16_t> samples(count);
  for (size_t i = 0; i < count; ++i) {
    samples[i] = testimage::ToSample(amplitude * std::sin(2 * 3.14159265358979323846 * hz * static_cast<double>(i + from) / 15974));
  }
  return samples;
}

BankBytes Cat(const std::vector<BankBytes>& parts) {
  BankBytes out;
  for (const BankBytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

using Spans2 = std::vector<std::pair<size_t, size_t>>;

Spans2 Starts(const SoundSearch& found) {
  Spans2 spans;
  for (const FoundSound& f : found.sounds) spans.emplace_back(f.span.start, f.span.end);
  return spans;
}

SoundSearch Find(const BankBytes& image, size_t unit = 0, size_t fillRun = kDefaultFillRun) {
  SearchOptions options;
  options.unit = unit;
  options.fillRun = fillRun;
  return FindSounds(image.data(), image.size(), options);
}

// ---------------------------------------------------------------- fill and unit

// Values other than 0x00 and 0xFF are fill from 32 bytes on, or from the
// fill length where that is longer.
TEST(SoundSearch, OtherValuesNeedTheLongerFillLength) {
  const struct {
    size_t fillRun, run;
    size_t sounds;
  } cases[] = {{16, 31, 1}, {16, 32, 2}, {40, 39, 1}, {40, 40, 2}, {8, 31, 1}, {8, 32, 2}};
  for (const auto& c : cases) {
    const BankBytes image = Cat({Tone(400), Bytes(c.run, 0xE5), Tone(200, 6000, 2)});
    const SoundSearch found = Find(image, 0, c.fillRun);
    const bool parted = !found.sounds.empty() && found.sounds[0].span.end == 400 && found.sounds[0].end == SoundEnd::kFill;
    EXPECT_EQ(parted, c.sounds == 2) << c.fillRun << " " << c.run << ":" << Spans(found);
  }
}

// The unit is read from the marks: fills, runs of 0x00 and of one value of
// silence that end where a sound begins. Chance puts 1 in 8 of the marks on
// 4 on 32, so one mark there tells nothing, two of two do; the fill that
// runs to the end of the image marks no start.
TEST(SoundSearch, TheUnitIsReadFromTheMarks) {
  // A sound of 0x140 bytes from `at`, then fill up to `next`.
  auto bank = [](std::vector<size_t> starts, size_t size, uint8_t between = 0xFF, size_t padRun = 0) {
    BankBytes image(size, between);
    for (size_t k = 0; k < starts.size(); ++k) {
      const BankBytes tone = Tone(0x140, 6000, k + 1);
      std::copy(tone.begin(), tone.end(), image.begin() + static_cast<std::ptrdiff_t>(starts[k]));
      // A short run of `between` before the next start instead of fill.
      if (padRun > 0 && k + 1 < starts.size()) {
        std::copy(tone.begin(), tone.end() - 1, image.begin() + static_cast<std::ptrdiff_t>(starts[k]));
        for (size_t i = starts[k] + 0x140; i < starts[k + 1] - padRun; ++i) image[i] = tone[i % 0x100];
      }
    }
    return image;
  };
  const struct {
    const char* what;
    BankBytes image;
    size_t unit;
  } cases[] = {
      {"one start after fill on 32", bank({0, 0x220}, 0x600), 4},
      {"two starts on 32", bank({0, 0x220, 0x460}, 0x800), 32},
      {"two of three on 32", bank({0, 0x220, 0x464, 0x6E0}, 0xA00), 4},
      // Fill up to the end of the image ends on every unit.
      {"one start on 32 and fill to the end", bank({0, 0x220}, 0x400), 4},
      {"two starts on 256", bank({0, 0x200, 0x400}, 0x600), 256},
      {"three on 256, one on 32", bank({0, 0x200, 0x400, 0x620}, 0x800), 32},
      {"one mark on 4 only", bank({0, 0x204}, 0x500), 4},
      // A fill of 0x00 is one mark, not two.
      {"one start after 0x00 fill on 32", bank({0, 0x220}, 0x600, 0x00), 4},
  };
  for (const auto& c : cases) {
    const SoundSearch found = Find(c.image);
    EXPECT_EQ(found.unit, c.unit) << c.what << ":" << Spans(found);
    EXPECT_FALSE(found.unitGiven) << c.what;
    for (const FoundSound& f : found.sounds) EXPECT_EQ(f.span.start % c.unit, 0u) << c.what;
  }
  // Many marks, 14 of 60 on 32: unlikely by chance, but too few of them.
  std::vector<size_t> starts = {0};
  for (size_t k = 1; k <= 60; ++k) starts.push_back(testimage::AlignUp(starts.back() + 0x160, 32) + (k <= 14 ? 0 : 4));
  BankBytes many = bank(starts, starts.back() + 0x400);
  EXPECT_EQ(Find(many).unit, 4u) << Spans(Find(many));
  // Four sounds parted by fill on 256, with pauses inside them that end
  // anywhere: 4 of 12 marks on 256 and no other on 32 are too few to tell
  // 32 from chance, but chance puts 1 in 64 on 256. Where the marks off the
  // unit are four fills or more, most of them off it, the fills rule the
  // unit out: a fill ends where a sound begins.
  BankBytes paused = bank({0, 0x200, 0x400, 0x600}, 0x800);
  for (size_t k = 0; k < 4; ++k) {
    for (size_t at : {0x44, 0xA8}) std::fill_n(paused.begin() + static_cast<std::ptrdiff_t>(0x200 * k + at), 4, 0x00);
  }
  EXPECT_EQ(Find(paused).unit, 256u) << Spans(Find(paused));
  std::vector<size_t> some = {0};
  for (size_t k = 1; k <= 12; ++k) {
    some.push_back(k % 3 == 0 ? testimage::AlignUp(some.back() + 0x160, 256)
                              : testimage::AlignUp(some.back() + 0x160, 32) + 4);
  }
  EXPECT_EQ(Find(bank(some, some.back() + 0x400)).unit, 4u);
  // A drum bank on 4 whose fills end on 32 six times in 16 by chance, as
  // chance would once in a hundred images: most fills end off 32.
  std::vector<size_t> drums = {0};
  for (size_t k = 1; k <= 16; ++k) {
    drums.push_back(testimage::AlignUp(drums.back() + 0x160, 32) + (k % 8 < 3 ? 0 : 4));
  }
  EXPECT_EQ(Find(bank(drums, drums.back() + 0x400)).unit, 4u);
  // Given, the unit is the user's whatever the marks say.
  const SoundSearch given = Find(bank({0, 0x220, 0x460}, 0x800), 4);
  EXPECT_EQ(given.unit, 4u);
  EXPECT_TRUE(given.unitGiven);
}

// Runs too short for fill mark the unit too: 0x00 pads of 3 bytes or
// more, silent tails of 8 or more of one value.
TEST(SoundSearch, ShortRunsMarkTheUnit) {
  // Four sounds, each ending in a run of `run` bytes of `pad` (every other
  // byte 0x08 where `mixed`) just before the next 256-byte unit.
  auto bank = [](uint8_t pad, size_t run, bool mixed) {
    BankBytes image;
    for (int k = 0; k < 4; ++k) {
      BankBytes tone = Tone(0x200 - run, 6000, static_cast<uint64_t>(k + 1));
      image.insert(image.end(), tone.begin(), tone.end());
      for (size_t i = 0; i < run; ++i) image.push_back(mixed && i % 2 == 1 ? 0x08 : pad);
    }
    image.resize(0x1000, 0xFF);
    return image;
  };
  const struct {
    uint8_t pad;
    size_t run;
    bool mixed;
    size_t unit;
  } cases[] = {{0x00, 3, false, 256}, {0x00, 2, false, 4}, {0x80, 8, false, 256},
               {0x80, 7, false, 4},   {0x80, 8, true, 4}};
  for (const auto& c : cases) {
    EXPECT_EQ(Find(bank(c.pad, c.run, c.mixed)).unit, c.unit) << int(c.pad) << " x " << c.run << (c.mixed ? " mixed" : "");
  }
}

// ---------------------------------------------------------------- pads and silence

// On a unit of 32, a run of 0x00 up to the unit parts two sounds there, and
// so does one that runs a byte past it (the next sound's first byte); one
// that runs on further is the next sound's own.
TEST(SoundSearch, ZeroPadsEndOnTheUnitOrOneBytePast) {
  const struct {
    size_t past;  // bytes of 0x00 after the unit
    bool parts;
  } cases[] = {{0, true}, {1, true}, {2, false}, {3, false}};
  // Inside a soft passage that stays soft, a run of 0x00 is a slow rise,
  // no pad.
  auto noisy = [](std::vector<int16_t> samples) {
    testimage::BankRandom rng(3);
    for (int16_t& v : samples) v = static_cast<int16_t>(v + 40 * rng.Noise());
    return samples;
  };
  const BankBytes soft = OneSound()
                             .Samples(noisy(Sine(2 * 0x1FA, 500, 200)))
                             .Raw(Bytes(6, 0x00))
                             .Samples(noisy(Sine(0x800, 500, 200, 0x400)))
                             .bytes();
  EXPECT_EQ(Starts(Find(soft, 32)), (Spans2{{0, soft.size()}})) << Spans(Find(soft, 32));
  // Between two soft sounds, the first ending at a level that decoding from
  // reset takes off, the pad parts them.
  std::vector<int16_t> high = noisy(Sine(2 * 0x1F6, 500, 200));
  for (int16_t& v : high) v = static_cast<int16_t>(v + 1500);
  const BankBytes two = Cat({OneSound().Samples(high).Raw(Bytes(10, 0x00)).bytes(), testimage::EncodeAdpcmB(noisy(Sine(0x800, 500, 200)))});
  EXPECT_EQ(Starts(Find(two, 32)), (Spans2{{0, 0x200}, {0x200, two.size()}})) << Spans(Find(two, 32));
  for (const auto& c : cases) {
    // One loud sound with 6 bytes of 0x00 up to 0x200 and `past` more in it.
    const BankBytes image =
        OneSound().Samples(Sine(2 * 0x1FA, 6000)).Raw(Bytes(6 + c.past, 0x00)).Samples(Sine(0x800, 6000, 440, 0x400)).bytes();
    const SoundSearch found = Find(image, 32);
    const Spans2 want = c.parts ? Spans2{{0, 0x200}, {0x200, image.size()}} : Spans2{{0, image.size()}};
    EXPECT_EQ(Starts(found), want) << c.past << ":" << Spans(found);
    if (c.parts) {
      EXPECT_EQ(found.sounds[0].end, SoundEnd::kFill);
    }
  }
}

// Silence up to a 256-byte unit parts two sounds; the next may begin with a
// little silence of its own: 4 bytes of any value, up to 32 of a value
// other than the pad's (the pad then one value), up to 40 of any on
// 256-byte units; 0x00 after the silence up to the unit is pad too.
TEST(SoundSearch, SilencePadsUpToTheUnit) {
  const struct {
    const char* what;
    BankBytes pad;  // after a sound of 0x1C0 bytes; the next sound follows it
    size_t unit;
    bool parts;
  } cases[] = {
      {"silence to the unit", Bytes(0x40, 0x80), 0, true},
      {"4 bytes of it past", Bytes(0x44, 0x80), 0, true},
      {"5 bytes of it past", Bytes(0x45, 0x80), 0, false},
      {"20 bytes of another value past", Cat({Bytes(0x40, 0x80), Bytes(20, 0x08)}), 0, true},
      {"the same, the pad mixed", Cat({Bytes(0x38, 0x80), Bytes(4, 0x08), Bytes(4, 0x80), Bytes(20, 0x08)}), 0, false},
      {"33 bytes of another value past", Cat({Bytes(0x40, 0x80), Bytes(33, 0x08)}), 0, false},
      {"the same value 40 bytes past, unit 256", Bytes(0x68, 0x80), 256, true},
      {"41 bytes past, unit 256", Bytes(0x69, 0x80), 256, false},
      {"silence, then 0x00 to the unit", Cat({Bytes(0x38, 0x80), Bytes(8, 0x00)}), 256, true},
      // The 0x00 of a pad may run a byte past the unit (the next sound's),
      // not two.
      {"silence, then 0x00 2 bytes past the unit", Cat({Bytes(0x38, 0x80), Bytes(10, 0x00)}), 256, false},
  };
  // A sound that comes to rest in its last bytes before 0x1C0, the pad,
  // another sound from reset (the decoder at rest agrees with it).
  const BankBytes first = OneSound().Samples(Sine(2 * 0x180, 6000)).Samples(std::vector<int16_t>(2 * 0x40, 0)).bytes();
  for (const auto& c : cases) {
    const BankBytes image = Cat({first, c.pad, Tone(0x300, 6000, 2)});
    const SoundSearch found = Find(image, c.unit);
    const Spans2 want = c.parts ? Spans2{{0, 0x200}, {0x200, image.size()}} : Spans2{{0, image.size()}};
    EXPECT_EQ(Starts(found), want) << c.what << ":" << Spans(found);
    if (c.parts) {
      EXPECT_EQ(found.sounds[0].end, SoundEnd::kSilence) << c.what;
    }
  }
}

// Where the unit is 256, a sound may begin with 8 to 40 bytes of silence of
// its own right after one that stopped in mid-wave.
TEST(SoundSearch, ASoundMayBeginWithItsOwnSilence) {
  for (size_t own : {size_t{8}, size_t{40}, size_t{41}}) {
    const BankBytes image = Cat({Tone(0x200, 6000), Bytes(own, 0x80), Tone(0x300, 6000, 2), Bytes(64, 0xFF)});
    const SoundSearch found = Find(image, 256);
    const bool parted = !found.sounds.empty() && found.sounds[0].span.end == 0x200 && found.sounds[0].end == SoundEnd::kSilence;
    EXPECT_EQ(parted, own <= 40) << own << ":" << Spans(found);
  }
}

// Silence at a level, inside a sound, is no pad: a sound that holds +3,000
// still across a multiple of 256 and goes on around zero stays whole, since
// decoding from reset after it would carry -3,000.
TEST(SoundSearch, SilenceAtALevelIsNoPad) {
  std::vector<int16_t> held(2 * 0x82, 3000);
  const BankBytes image = OneSound()
                              .Samples(Sine(2 * 0x180, 6000))
                              .Samples(held)
                              .Samples(Sine(2 * 0x300, 6000, 440, 2 * 0x202))
                              .bytes();
  // The held level is encoded silence up to 0x202.
  for (size_t i = 0x1F0; i < 0x202; ++i) ASSERT_TRUE(image[i] == 0x08 || image[i] == 0x80) << i;
  EXPECT_EQ(Starts(Find(image, 4)), (Spans2{{0, image.size()}})) << Spans(Find(image, 4));
}

// A pad of silence is 8 bytes or more: the sound before comes to rest, a
// byte that is not silence, then the pad up to the unit.
TEST(SoundSearch, SilencePadsAreEightBytesOrMore) {
  for (size_t run : {size_t{7}, size_t{8}}) {
    const BankBytes first = OneSound()
                                .Samples(Sine(2 * 0x180, 6000))
                                .Samples(std::vector<int16_t>(2 * (0x80 - run - 1), 0))
                                .Raw({0x18})
                                .Raw(Bytes(run, 0x80))
                                .bytes();
    const BankBytes image = Cat({first, Tone(0x300, 6000, 2)});
    const Spans2 want = run >= 8 ? Spans2{{0, 0x200}, {0x200, image.size()}} : Spans2{{0, image.size()}};
    EXPECT_EQ(Starts(Find(image, 4)), want) << run << ":" << Spans(Find(image, 4));
  }
}

// Encoded silence is never fill, whichever of its eight values: a pause in a
// sound stays in it. Other values repeated are fill.
TEST(SoundSearch, SilenceOfEveryValueStaysInItsSound) {
  for (uint8_t value : {0x08, 0x80, 0x19, 0x91, 0x2A, 0xA2, 0x3B, 0xB3}) {
    const BankBytes image = Cat({Tone(0x190), Bytes(300, value), Tone(0x190, 6000, 2)});
    EXPECT_EQ(Starts(Find(image)), (Spans2{{0, image.size()}})) << int(value);
  }
  for (uint8_t value : {0x4C, 0xC4, 0x88, 0x11}) {
    const BankBytes image = Cat({Tone(0x190), Bytes(300, value), Tone(0x190, 6000, 2)});
    EXPECT_EQ(Find(image).sounds.size(), 2u) << int(value);
  }
}

// 4 KiB of silence is a gap wherever it ends: the sound before ends by
// silence, even where the silence runs on to fill or to the end of the
// image, and the next starts at the unit at or before the silence's end.
TEST(SoundSearch, LongSilenceIsAGap) {
  const BankBytes tone = Tone(0x190);
  const struct {
    const char* what;
    BankBytes image;
    Spans2 sounds;
  } cases[] = {
      {"to the end of the image", Cat({tone, Bytes(5000, 0x80)}), {{0, 0x190}}},
      {"to fill", Cat({tone, Bytes(5000, 0x80), Bytes(64, 0xFF)}), {{0, 0x190}}},
      {"ending off the unit", Cat({tone, Bytes(4102, 0x80), Tone(0x190, 6000, 2)}),
       {{0, 0x190}, {0x1194, 0x1196 + 0x190}}},
  };
  for (const auto& c : cases) {
    const SoundSearch found = Find(c.image);
    EXPECT_EQ(Starts(found), c.sounds) << c.what << ":" << Spans(found);
    ASSERT_FALSE(found.sounds.empty());
    EXPECT_EQ(found.sounds[0].end, SoundEnd::kSilence) << c.what;
    EXPECT_EQ(found.notSoundBytes, 0u) << c.what;
  }
}

// ---------------------------------------------------------------- starts

// A quiet end and a loud start on a unit of 32, with nothing between: a
// start where the 32 bytes after it average 300 or more and three times the
// peak of the 128 before; both conditions are needed, and a pause of 16
// bytes of silence right before it keeps the sound whole.
TEST(SoundSearch, AnOnsetAfterAQuietEnd) {
  // One sound that dies away to `quiet` for 160 bytes up to 0x220, then
  // `between`, then bursts out to `loud`: decoding on is right all through,
  // so only the onset parts it.
  auto image = [](double quiet, double loud, const BankBytes& between) {
    std::vector<int16_t> burst = Sine(0x600, loud, 500);
    for (size_t i = 0; i < burst.size(); ++i) burst[i] = static_cast<int16_t>(burst[i] * std::exp(-static_cast<double>(i) / 800));
    std::vector<int16_t> fade = Sine(2 * (0x220 - 160 - between.size()), 6000, 300);
    for (size_t i = fade.size() - 256; i < fade.size(); ++i) {
      const double f = static_cast<double>(fade.size() - i) / 256;
      fade[i] = static_cast<int16_t>(fade[i] * f + (1 - f) * quiet / 6000 * fade[i]);
    }
    return OneSound()
        .Samples(fade)
        .Samples(Sine(320 - 12, quiet, 2000, fade.size()))
        .Samples(std::vector<int16_t>(12, 0))
        .Raw(between)
        .Samples(burst)
        .bytes();
  };
  const struct {
    const char* what;
    double quiet, loud;
    BankBytes between;
    bool parts;
  } cases[] = {
      {"a loud start after a quiet end", 200, 8000, {}, true},
      {"after 2 bytes of 0x00", 200, 8000, Bytes(2, 0x00), true},
      {"loud enough, but not three times the end", 1000, 5000, {}, false},
      {"three times the end, but soft", 40, 400, {}, false},
      {"after a pause of silence", 0, 8000, Bytes(16, 0x80), false},
      {"after a pause, then a byte of 0x00", 0, 8000, Cat({Bytes(16, 0x80), Bytes(1, 0x00)}), true},
  };
  for (const auto& c : cases) {
    const BankBytes bytes = image(c.quiet, c.loud, c.between);
    const SoundSearch found = Find(bytes, 32);
    const Spans2 want = c.parts ? Spans2{{0, 0x220}, {0x220, bytes.size()}} : Spans2{{0, bytes.size()}};
    EXPECT_EQ(Starts(found), want) << c.what << ":" << Spans(found);
  }
  // A passage that peaks at 1,800 in the 128 bytes before is no quiet end,
  // though it comes to rest just before the burst.
  std::vector<int16_t> burst = Sine(0x600, 20000, 500);
  for (size_t i = 0; i < burst.size(); ++i) burst[i] = static_cast<int16_t>(burst[i] * std::exp(-static_cast<double>(i) / 800));
  const BankBytes loudEnd = OneSound()
                                .Samples(Sine(2 * (0x220 - 128), 6000, 300))
                                .Samples(Sine(2 * 116, 1800, 2000))
                                .Samples(std::vector<int16_t>(2 * 12, 0))
                                .Samples(burst)
                                .bytes();
  EXPECT_EQ(Starts(Find(loudEnd, 32)), (Spans2{{0, loudEnd.size()}})) << Spans(Find(loudEnd, 32));
}

// Two sounds that touch, the first stopped loud in mid-wave: decoding on
// into the second runs into the clamps, from reset it does not, and the
// start is found on the unit; where the second clamps from reset as much
// as no sound may, nothing parts them.
TEST(SoundSearch, TouchingSoundsPartWhereDecodingOnClamps) {
  const BankBytes first = Tone(0x400, 12000);
  auto burst = [](double amplitude) {
    std::vector<int16_t> samples(0x800);
    for (size_t i = 0; i < samples.size(); ++i) {
      samples[i] = testimage::ToSample(amplitude * std::exp(-static_cast<double>(i) / 1200) * std::cos(2 * kPi * 700 * static_cast<double>(i) / 15974));
    }
    return testimage::EncodeAdpcmB(samples);
  };
  const BankBytes parted = Cat({first, burst(20000)});
  EXPECT_EQ(Starts(Find(parted)), (Spans2{{0, 0x400}, {0x400, parted.size()}})) << Spans(Find(parted));
  EXPECT_EQ(Find(parted).sounds[0].end, SoundEnd::kNextSound);
  EXPECT_EQ(Starts(Find(parted, 32)), (Spans2{{0, 0x400}, {0x400, parted.size()}}));
}

// Two sounds that touch, the first stopped where its wave stood at 1,500:
// decoding on carries that level into the second, which decoding from reset
// does not, and the start is found where the level jumps.
TEST(SoundSearch, TouchingSoundsPartWhereTheLevelJumps) {
  // A slow wave of 3,000 whose last sample stands at +1,500, rising.
  std::vector<int16_t> first(0x800);
  const double w = 2 * kPi * 100 / 15974, phase = kPi / 6 - w * static_cast<double>(first.size() - 1);
  for (size_t i = 0; i < first.size(); ++i) first[i] = testimage::ToSample(3000 * std::sin(w * static_cast<double>(i) + phase));
  testimage::BankRandom rng(5);
  std::vector<int16_t> second(0x800);
  for (size_t i = 0; i < second.size(); ++i) {
    second[i] = testimage::ToSample(400 * std::sin(2 * kPi * 660 * static_cast<double>(i) / 15974) + 40 * rng.Noise());
  }
  const BankBytes image = Cat({testimage::EncodeAdpcmB(first), testimage::EncodeAdpcmB(second)});
  const SoundSearch found = Find(image);
  EXPECT_EQ(Starts(found), (Spans2{{0, 0x400}, {0x400, image.size()}})) << Spans(found);
}

// Where a start is found and only silence follows it, the sound ends by
// silence.
TEST(SoundSearch, ASoundThatSilenceFollowsEndsBySilence) {
  std::vector<int16_t> first(0x800);
  const double w = 2 * kPi * 100 / 15974, phase = kPi / 6 - w * static_cast<double>(first.size() - 1);
  for (size_t i = 0; i < first.size(); ++i) first[i] = testimage::ToSample(3000 * std::sin(w * static_cast<double>(i) + phase));
  const BankBytes image = Cat({testimage::EncodeAdpcmB(first), Bytes(0x400, 0x80)});
  const SoundSearch found = Find(image);
  // The silence decodes alike from any unit in it: the start may be found
  // a little into it.
  ASSERT_EQ(found.sounds.size(), 1u) << Spans(found);
  EXPECT_EQ(found.sounds[0].span.start, 0u);
  EXPECT_GE(found.sounds[0].span.end, 0x400u);
  EXPECT_LE(found.sounds[0].span.end, 0x440u);
  EXPECT_EQ(found.sounds[0].end, SoundEnd::kSilence);
  EXPECT_EQ(found.notSoundBytes, 0u);
}

// ---------------------------------------------------------------- sound at all

// Stretches between fills that decode like sound and that do not, each
// held back by one test of what sound is.
TEST(SoundSearch, WhatIsSoundAtAll) {
  auto sine = [](double level, double amplitude) {
    std::vector<int16_t> samples(4000);
    for (size_t i = 0; i < samples.size(); ++i) {
      samples[i] = testimage::ToSample(level + amplitude * std::sin(2 * kPi * 440 * static_cast<double>(i) / 15974));
    }
    return testimage::EncodeAdpcmB(samples);
  };
  // 800 bytes of codes drawn at the smallest steps: each rises with chance
  // `p` by a magnitude within `rise`, else falls by one within `fall`, so
  // that the level stays near zero however lopsided the codes.
  struct Draw {
    double p;
    int rise[2], fall[2];
  };
  auto leaning = [](Draw high, Draw low) {
    testimage::BankRandom rng(1);
    auto code = [&rng](const Draw& d) { return rng.Chance(d.p) ? rng.Int(d.rise[0], d.rise[1]) : 8 | rng.Int(d.fall[0], d.fall[1]); };
    BankBytes bytes(800);
    for (uint8_t& b : bytes) {
      const int h = code(high);
      b = static_cast<uint8_t>(h << 4 | code(low));
    }
    return bytes;
  };
  const Draw even = {0.5, {0, 2}, {0, 2}}, falls = {0.15, {4, 5}, {0, 1}}, rises = {0.85, {0, 1}, {4, 5}};
  const Draw mostlyUp = {0.95, {0, 0}, {6, 6}};
  std::vector<int16_t> square(4000);
  for (size_t i = 0; i < square.size(); ++i) square[i] = (i / 40) % 2 == 0 ? 31000 : -31000;
  const struct {
    const char* what;
    BankBytes bytes;
    bool sound;
  } cases[] = {
      {"a sine around zero", sine(0, 3000), true},
      {"a sine around 12,000", sine(12000, 3000), false},
      {"a sine around -12,000", sine(-12000, 3000), false},
      {"codes that rise and fall alike", leaning(even, even), true},
      {"codes that mostly fall", leaning(falls, falls), false},
      {"codes that mostly rise", leaning(rises, rises), false},
      {"low codes that nearly always rise", leaning(even, mostlyUp), false},
      {"high codes that nearly always rise", leaning(mostlyUp, even), false},
      // A hot sound touches the clamps for a sample or two at a time, code
      // sits at them: the share of clamped samples matters less than their
      // runs.
      {"8 % clamped, a sample or two at a time", testimage::EncodeAdpcmB(Sine(6000, 33000, 1000)), true},
      {"13 % clamped, a sample or two at a time", testimage::EncodeAdpcmB(Sine(6000, 34000, 1000)), false},
      {"8 % clamped, three samples at a time", testimage::EncodeAdpcmB(Sine(6000, 33500, 266)), false},
      {"a square wave at the rails", testimage::EncodeAdpcmB(Sine(6000, 200000, 150)), false},
      // Hardly a clamp, but nearly every sample beyond 30,000.
      {"a square wave just short of the rails", testimage::EncodeAdpcmB(square), false},
  };
  for (const auto& c : cases) {
    const BankBytes image = Cat({Bytes(64, 0xFF), c.bytes, Bytes(64, 0xFF)});
    const SoundSearch found = Find(image);
    EXPECT_EQ(found.sounds.size(), c.sound ? 1u : 0u) << c.what << ":" << Spans(found);
    EXPECT_EQ(found.notSoundBytes == 0, c.sound) << c.what;
  }
}

// A table of 4-byte records repeats its fields: most of its bytes equal the
// byte 4 before, in no sound more than about a sixth.
TEST(SoundSearch, RecordsOfFixedSizeAreNoSound) {
  testimage::BankRandom rng(7);
  BankBytes table;
  uint8_t x = 0x40;
  for (int r = 0; r < 40; ++r) {
    x = static_cast<uint8_t>(x + rng.Int(1, 40));
    const uint8_t record[4] = {0x17, x, static_cast<uint8_t>(rng.Chance(0.2) ? 0x83 : 0x81), static_cast<uint8_t>(r * 7)};
    table.insert(table.end(), record, record + 4);
  }
  const SoundSearch found = Find(Cat({Bytes(64, 0x00), table, Bytes(64, 0x00)}));
  EXPECT_TRUE(found.sounds.empty()) << Spans(found);
  EXPECT_EQ(found.notSoundBytes, table.size());
}

// Runs of one value are rare in sound: a stretch where more than a fifth of
// the bytes are the sixth or later of a run is no sound, though its fields
// do not repeat at any distance of 2 to 8 bytes as a table's would.
TEST(SoundSearch, RunsOfOneValueAreNoSound) {
  for (const auto& c : {std::make_pair(size_t{10}, 1u), std::make_pair(size_t{13}, 0u)}) {
    OneSound sound;
    for (int k = 0; k < 30; ++k) {
      sound.Samples(Sine(2 * (38 - c.first), 5000, 440, static_cast<size_t>(k) * 76)).Raw(Bytes(c.first, 0x1A));
    }
    const BankBytes image = Cat({Bytes(64, 0xFF), sound.bytes(), Bytes(64, 0xFF)});
    EXPECT_EQ(Find(image).sounds.size(), c.second) << c.first << ":" << Spans(Find(image));
  }
}

// Pictures of 4 bits a dot hold areas of one colour: a stretch where most
// codes equal the one before is no sound.
TEST(SoundSearch, CodesThatMostlyRepeatAreNoSound) {
  for (const auto& c : {std::make_pair(0.45, 1u), std::make_pair(0.75, 0u)}) {
    testimage::BankRandom rng(9);
    BankBytes bytes(1200);
    int code = 0;
    for (uint8_t& b : bytes) {
      int codes[2];
      for (int& k : codes) {
        if (!rng.Chance(c.first)) code = rng.Int(0, 2) | (rng.Chance(0.5) ? 8 : 0);
        k = code;
      }
      b = static_cast<uint8_t>(codes[0] << 4 | codes[1]);
    }
    const SoundSearch found = Find(Cat({Bytes(64, 0xFF), bytes, Bytes(64, 0xFF)}));
    EXPECT_EQ(found.sounds.size(), c.second) << c.first << ":" << Spans(found);
  }
}

// A stretch shorter than a sound is one only at the very end of the RAM,
// after 1 KiB of fill (the end may have cut it), in a bank of sounds; a
// stretch of silence alone is neither sound nor left out.
TEST(SoundSearch, ShortStretchesAndSilenceAlone) {
  const BankBytes tone = Tone(0x200), end = BankBytes(Tone(40, 6000, 2));
  EXPECT_EQ(Find(Cat({tone, Bytes(1024, 0x00), end})).sounds.size(), 2u);
  EXPECT_EQ(Find(Cat({Tone(0x201), Bytes(1023, 0x00), end})).sounds.size(), 1u);
  EXPECT_EQ(Find(Cat({tone, Bytes(1024, 0x00), end, Bytes(16, 0x00)})).sounds.size(), 1u);
  // Under 256 bytes, one sample at the clamps is too many.
  for (const auto& c : {std::make_pair(31500.0, 1u), std::make_pair(31600.0, 0u)}) {
    const BankBytes loud = testimage::EncodeAdpcmB(Sine(300, c.first, 1000));
    EXPECT_EQ(Find(Cat({Bytes(64, 0xFF), loud, Bytes(64, 0xFF)})).sounds.size(), c.second) << c.first;
  }
  const SoundSearch silent = Find(Cat({Bytes(64, 0xFF), Bytes(200, 0x80), Bytes(64, 0xFF)}));
  EXPECT_TRUE(silent.sounds.empty());
  EXPECT_EQ(silent.notSoundBytes, 0u);
}

// ---------------------------------------------------------------- what ends each sound

// What follows each sound is what its end says: a sound that a start ends
// but whose next stretch is no sound ends by "not sound", never by "next
// sound".
TEST(SoundSearch, EndsSayWhatFollows) {
  const BankBytes first = Tone(0x400, 12000);
  std::vector<int16_t> loud(0x400);
  for (size_t i = 0; i < loud.size(); ++i) loud[i] = testimage::ToSample(20000 * std::sin(2 * kPi * 700 * static_cast<double>(i) / 15974));
  // The second sound's start is plain, but text follows it in the same
  // stretch, so that what follows the first is no sound.
  BankBytes text;
  for (int i = 0; text.size() < 0x800; ++i) {
    const char* words = "PRESS SPACE KEY TO START THE GAME ";
    text.push_back(static_cast<uint8_t>(words[i % 34]));
  }
  const BankBytes image = Cat({first, testimage::EncodeAdpcmB(loud), text});
  const SoundSearch found = Find(image);
  ASSERT_EQ(Starts(found), (Spans2{{0, 0x400}})) << Spans(found);
  EXPECT_EQ(found.sounds[0].end, SoundEnd::kNotSound);
  ASSERT_EQ(found.notSound.size(), 1u);
  EXPECT_EQ(found.notSound[0].start, 0x400u);
}

TEST(SoundSearch, EndNames) {
  EXPECT_STREQ(SoundEndName(SoundEnd::kFill), "fill");
  EXPECT_STREQ(SoundEndName(SoundEnd::kSilence), "silence");
  EXPECT_STREQ(SoundEndName(SoundEnd::kNextSound), "next sound");
  EXPECT_STREQ(SoundEndName(SoundEnd::kEndOfRam), "end of RAM");
  EXPECT_STREQ(SoundEndName(SoundEnd::kNotSound), "not sound");
}

// ---------------------------------------------------------------- linear work

// The search's work is bounded for each byte: on the shapes that cost it
// most, an image four times as long costs at most about four times as much.
TEST(SoundSearch, WorkGrowsLinearlyWithTheImage) {
  const struct {
    const char* what;
    BankBytes (*make)(size_t);
  } shapes[] = {
      // 256-byte periods of a short rise, a short fall and quiet runs:
      // onsets everywhere whose sounds before never pass step 5.
      {"periods of rise, fall and quiet", +[](size_t n) {
         BankBytes image;
         while (image.size() < n) {
           image.insert(image.end(), 240, 0x08);
           image.insert(image.end(), 8, 0x77);
           image.insert(image.end(), 8, 0xFF);
         }
         image.resize(n);
         return image;
       }},
      {"random bytes", +[](size_t n) { return testimage::MakeJunk(Junk::kRandom, n, 1); }},
      {"a tracker's bank", +[](size_t n) {
         BankBytes ram = testimage::MakeBank(Layout::kTrackerZeroPad, 1).ram;
         ram.resize(n);
         return ram;
       }},
      {"code", +[](size_t n) { return testimage::MakeJunk(Junk::kZ80, n, 1); }},
  };
  for (const auto& shape : shapes) {
    for (size_t unit : {size_t{4}, size_t{32}}) {
      const BankBytes small = shape.make(0x10000), large = shape.make(0x40000);
      const double perByteSmall = static_cast<double>(Find(small, unit).work) / static_cast<double>(small.size());
      const double perByteLarge = static_cast<double>(Find(large, unit).work) / static_cast<double>(large.size());
      EXPECT_LT(perByteLarge, 1.25 * perByteSmall + 1) << shape.what << " on " << unit;
      EXPECT_LT(perByteLarge, 200) << shape.what << " on " << unit;
    }
  }
}

}  // namespace
