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

// What a sound ends at, as the table's last column names it.
// Real sounds keep their level near zero (the DC tail of a cymbal reaches
// 0.117 of full scale): a steady level far from it is no sound, even where
// nothing clamps and the codes rise and fall like a wave's.
TEST(SoundSearch, ALevelFarFromZeroIsNoSound) {
  // A sine of 3,000 around 12,000: in range, no clamp, codes balanced, but
  // its level is a sound's only for a DC tail of up to 0.117 of full scale.
  std::vector<int16_t> offset(4000);
  for (size_t i = 0; i < offset.size(); ++i) {
    offset[i] = static_cast<int16_t>(12000 + 3000 * std::sin(2 * 3.14159265358979 * 440 * static_cast<double>(i) / 15974));
  }
  BankBytes high(0x2000, 0x00);
  const BankBytes encoded = testimage::EncodeAdpcmB(offset);
  std::copy(encoded.begin(), encoded.end(), high.begin() + 0x200);
  const SoundSearch none = FindSounds(high.data(), high.size());
  EXPECT_TRUE(none.sounds.empty());
  EXPECT_GT(none.notSoundBytes, encoded.size() / 2);
}

TEST(SoundSearch, EndNames) {
  EXPECT_STREQ(SoundEndName(SoundEnd::kFill), "fill");
  EXPECT_STREQ(SoundEndName(SoundEnd::kSilence), "silence");
  EXPECT_STREQ(SoundEndName(SoundEnd::kNextSound), "next sound");
  EXPECT_STREQ(SoundEndName(SoundEnd::kEndOfRam), "end of RAM");
}

}  // namespace
