// The ADPCM-B decoder, the search for sounds and the WAV header.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "adpcm/AdpcmB.h"
#include "adpcm/Sounds.h"
#include "adpcm/Wav.h"
#include "kit/AdpcmEncoder.h"
#include "kit/SampleSounds.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Samples = std::vector<int16_t>;

Samples Decode(const Bytes& bytes) {
  Samples samples(bytes.size() * kSamplesPerByte);
  DecodeAdpcmB(bytes.data(), bytes.size(), samples.data());
  return samples;
}

// ---------------------------------------------------------------- decoder

TEST(AdpcmBDecoder, SingleCodesFromReset) {
  const struct {
    uint8_t code;
    int32_t sample, step;
  } cases[] = {{0x0, 15, 127}, {0x7, 238, 303}, {0x8, -15, 127}, {0xF, -238, 303}, {0x4, 142, 152}, {0x3, 111, 127}};
  for (const auto& c : cases) {
    AdpcmBDecoder decoder;
    EXPECT_EQ(decoder.Decode(c.code), c.sample) << int(c.code);
    EXPECT_EQ(decoder.step, c.step) << int(c.code);
  }
}

TEST(AdpcmBDecoder, KnownByteSequences) {
  const struct {
    const char* what;
    Bytes bytes;
    Samples samples;
  } cases[] = {
      {"0x00 ramps up by 15 a sample", Bytes(3, 0x00), {15, 30, 45, 60, 75, 90}},
      {"0xFF steps down to full scale", Bytes(4, 0xFF), {-238, -806, -2163, -5406, -13159, -31693, -32768, -32768}},
      {"0x08 and 0x80 are silence", {0x08, 0x80, 0x08, 0x80}, {15, 0, -15, 0, 15, 0, -15, 0}},
      // High nibble first: 7 then 0 (from step 303: 303 / 8 = 37), not 0 then 7.
      {"the high nibble plays first", {0x70}, {238, 275}},
      {"the new step uses the old one", {0x77}, {238, 238 + ((15 * 303) >> 3)}},
  };
  for (const auto& c : cases) EXPECT_EQ(Decode(c.bytes), c.samples) << c.what;
}

TEST(AdpcmBDecoder, StepAndAccumulatorStayInTheirRanges) {
  AdpcmBDecoder up;
  for (int i = 0; i < 100; ++i) up.Decode(0x7);
  EXPECT_EQ(up.acc, 32767);
  EXPECT_EQ(up.step, 24576);
  AdpcmBDecoder down;
  for (int i = 0; i < 100; ++i) down.Decode(0xF);
  EXPECT_EQ(down.acc, -32768);
  for (int i = 0; i < 100; ++i) down.Decode(0x8);  // small codes shrink the step to its floor
  EXPECT_EQ(down.step, 127);
}

// The sum of the level and a step's difference is kept within 16 bits: a
// sum of exactly 32,768 is one past the top, -32,768 is the bottom itself.
TEST(AdpcmBDecoder, ClampsTheSumAtTheEdgesOfSixteenBits) {
  const struct {
    int32_t acc;
    uint8_t code;  // magnitude 0 at the smallest step: a difference of 15
    int32_t sample;
  } cases[] = {
      {32752, 0x0, 32767}, {32753, 0x0, 32767}, {32767, 0x0, 32767},
      {-32752, 0x8, -32767}, {-32753, 0x8, -32768}, {-32754, 0x8, -32768},
  };
  for (const auto& c : cases) {
    AdpcmBDecoder decoder;
    decoder.acc = c.acc;
    EXPECT_EQ(decoder.Decode(c.code), c.sample) << c.acc;
    EXPECT_EQ(decoder.acc, c.sample) << c.acc;
  }
}

TEST(AdpcmB, RatesForDeltaN) {
  EXPECT_EQ(RateForDeltaN(0x49BA), 15974u);
  EXPECT_EQ(RateForDeltaN(9452), 8000u);
  EXPECT_EQ(RateForDeltaN(65535), 55466u);
  EXPECT_EQ(RateForDeltaN(1), 1u);
  EXPECT_EQ(RateForDeltaN(0), 0u);
}

// Signal to noise ratio of `decoded` against `original`, in dB.
double Snr(const Samples& original, const Samples& decoded) {
  double signal = 0, noise = 0;
  for (size_t i = 0; i < original.size(); ++i) {
    signal += double(original[i]) * original[i];
    const double error = double(decoded[i]) - original[i];
    noise += error * error;
  }
  return 10 * std::log10(signal / noise);
}

TEST(AdpcmB, RoundTripThroughTheEncoderKeepsASine) {
  const Samples sine = testimage::Synthesize(1.0, [](double t) { return 12000 * std::sin(2 * 3.14159265358979 * 440 * t); });
  Bytes bytes = testimage::EncodeAdpcmB(sine);
  const Samples decoded = Decode(bytes);
  EXPECT_GE(Snr(sine, Samples(decoded.begin(), decoded.begin() + static_cast<std::ptrdiff_t>(sine.size()))), 25.0);
  // Played low nibble first, the same bytes are noise.
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(b << 4 | b >> 4);
  const Samples swapped = Decode(bytes);
  EXPECT_LT(Snr(sine, Samples(swapped.begin(), swapped.begin() + static_cast<std::ptrdiff_t>(sine.size()))), 25.0);
}

// ---------------------------------------------------------------- sounds

// An image laid out from pieces: `size` bytes of sound (each sound piece
// going on where the one before stopped in one long tone with a noise
// floor, so that only what lies between them can part them), or `size`
// bytes of one value.
struct Piece {
  bool sound;
  size_t size;
  uint8_t fill;
};

Bytes Lay(const std::vector<Piece>& pieces) {
  static const Bytes tone = testimage::EncodeAdpcmB(testimage::Synthesize(0.5, [](double t) {
    return -7000 * std::sin(2 * 3.14159265358979 * 523 * t) + 40 * std::sin(2 * 3.14159265358979 * 7919 * t * t);
  }));
  Bytes out;
  size_t at = 100;
  for (const Piece& p : pieces) {
    for (size_t i = 0; i < p.size; ++i) out.push_back(p.sound ? tone[at++] : p.fill);
  }
  return out;
}

Piece Sound(size_t size) { return {true, size, 0}; }
Piece Fill(size_t size, uint8_t fill = 0x00) { return {false, size, fill}; }

TEST(FindSounds, FillOfTheMinimumLengthOrMoreSeparatesSounds) {
  const struct {
    const char* what;
    std::vector<Piece> pieces;
    std::vector<std::pair<size_t, size_t>> sounds;
  } cases[] = {
      {"no gap: one sound", {Sound(400), Sound(200)}, {{0, 600}}},
      {"15 bytes of 0x00 are no gap", {Sound(400), Fill(15), Sound(200)}, {{0, 615}}},
      {"16 bytes are a gap", {Sound(400), Fill(16), Sound(200)}, {{0, 400}, {416, 616}}},
      {"256 bytes of 0xFF", {Sound(400), Fill(256, 0xFF), Sound(200)}, {{0, 400}, {656, 856}}},
      {"any value repeated 32 times", {Sound(400), Fill(64, 0xE5), Sound(200)}, {{0, 400}, {464, 664}}},
      {"a start off the unit is rounded into the fill", {Sound(400), Fill(18), Sound(200)}, {{0, 400}, {416, 618}}},
      {"silence inside a sound stays", {Sound(400), Fill(300, 0x08), Sound(200)}, {{0, 900}}},
      {"silence up to a 256-byte unit parts", {Sound(400), Fill(112, 0x80), Sound(200)}, {{0, 512}, {512, 712}}},
      {"fill at both ends", {Fill(64, 0xFF), Sound(200), Fill(64)}, {{64, 264}}},
      {"a few bytes between fills are no sound", {Fill(300), Sound(20), Fill(300)}, {}},
      {"only fill", {Fill(1000)}, {}},
      {"nothing", {}, {}},
  };
  for (const auto& c : cases) {
    const Bytes image = Lay(c.pieces);
    std::vector<std::pair<size_t, size_t>> found;
    for (const FoundSound& s : FindSounds(image.data(), image.size()).sounds) found.emplace_back(s.span.start, s.span.end);
    EXPECT_EQ(found, c.sounds) << c.what;
  }
  // A fill length of 8: ten bytes part the sound.
  const Bytes image = Lay({Sound(400), Fill(10), Sound(200)});
  SearchOptions eight;
  eight.fillRun = 8;
  std::vector<std::pair<size_t, size_t>> found;
  for (const FoundSound& s : FindSounds(image.data(), image.size(), eight).sounds) found.emplace_back(s.span.start, s.span.end);
  EXPECT_EQ(found, (std::vector<std::pair<size_t, size_t>>{{0, 400}, {408, 610}}));
}

TEST(FindSounds, FindsTheSampleSoundsWhereTheyWerePut) {
  const Bytes ram = testimage::SampleRam();
  const SoundSearch found = FindSounds(ram.data(), ram.size());
  const std::vector<testimage::PlacedSound> placed = testimage::SampleSounds();
  ASSERT_EQ(found.sounds.size(), placed.size());
  for (size_t k = 0; k < placed.size(); ++k) {
    EXPECT_EQ(found.sounds[k].span.start, placed[k].address) << k;
    EXPECT_EQ(found.sounds[k].span.size(), placed[k].bytes.size()) << k;
    EXPECT_EQ(found.sounds[k].end, SoundEnd::kFill) << k;
  }
  EXPECT_EQ(found.notSoundBytes, 0u);
}

// ---------------------------------------------------------------- WAV

TEST(Wav, CanonicalHeaderFields) {
  uint8_t header[kWavHeaderSize];
  WavHeader(15974, 1000, header);
  const uint8_t expected[kWavHeaderSize] = {
      'R', 'I', 'F', 'F', 0xF4, 0x07, 0, 0,  // 36 + 2,000
      'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0,
      1, 0,                  // PCM
      1, 0,                  // mono
      0x66, 0x3E, 0, 0,      // 15,974 Hz
      0xCC, 0x7C, 0, 0,      // 31,948 bytes a second
      2, 0, 16, 0,           // 2 bytes a frame, 16 bits
      'd', 'a', 't', 'a', 0xD0, 0x07, 0, 0};  // 2,000 bytes
  EXPECT_EQ(std::memcmp(header, expected, kWavHeaderSize), 0);

  const int16_t samples[] = {1, -2, 0x1234, -32768};
  uint8_t bytes[8];
  WavSamples(samples, 4, bytes);
  const uint8_t little[] = {0x01, 0x00, 0xFE, 0xFF, 0x34, 0x12, 0x00, 0x80};
  EXPECT_EQ(std::memcmp(bytes, little, 8), 0);
}

}  // namespace
