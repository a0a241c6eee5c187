// --ranges FILE: the list read, and every range decoded alone from reset.
#include <gtest/gtest.h>

#include "adpcm/AdpcmB.h"
#include "adpcm/Wav.h"
#include "adpcm2wav/Convert.h"
#include "adpcm2wav/Options.h"
#include "adpcm2wav/Ranges.h"
#include "kit/Banks.h"
#include "kit/SampleSounds.h"
#include "tests/ProgramRun.h"

using testimage::Bytes;
using testutil::Text;

namespace {

TEST(RangeList, ReadsLinesInOrderWithCommentsAndBlanks) {
  const RangeList list = ParseRanges(
      "# drums\n"
      "0x100:0x180\n"
      "\n"
      "  16 : 32   # kick\r\n"
      "\t0X200:0x204\r\n"
      "0x180:0x200",  // no line end at the end, and touching the first
      0x204);
  ASSERT_EQ(list.badLine, 0u) << list.problem;
  ASSERT_EQ(list.spans.size(), 4u);
  const ByteSpan expected[] = {{0x100, 0x180}, {16, 32}, {0x200, 0x204}, {0x180, 0x200}};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(list.spans[i].start, expected[i].start) << i;
    EXPECT_EQ(list.spans[i].end, expected[i].end) << i;
  }
}

TEST(RangeList, ATextFileAsEditorsWriteIt) {
  // A byte order mark as Notepad writes it, comments in other scripts
  // (UTF-8 and Shift_JIS), tabs.
  const RangeList list = ParseRanges("\xEF\xBB\xBF" "0:16 # \xE5\xA4\xAA\xE9\xBC\x93\r\n\t16:32\t# \x91\xBE\x8C\xDB\r\n", 64);
  ASSERT_EQ(list.badLine, 0u) << list.problem;
  ASSERT_EQ(list.spans.size(), 2u);
  EXPECT_EQ(list.spans[1].start, 16u);
  EXPECT_EQ(list.spans[1].end, 32u);
  // A byte order mark only at the start.
  EXPECT_EQ(ParseRanges("0:16\n\xEF\xBB\xBF" "16:32\n", 64).badLine, 2u);
}

TEST(RangeList, WrongListsNameTheLine) {
  const struct {
    std::string text;
    size_t line;
    const char* problem;
  } cases[] = {
      {"0:16\nsixteen\n", 2, "not a range START:END: sixteen"},
      {"0:16\n\n# c\n16\n", 4, "not a range START:END: 16"},
      {"0:16\n1:2:3\n", 2, "not a range START:END: 1:2:3"},
      {"-1:16\n", 1, "not a range START:END: -1:16"},
      {"0x:16\n", 1, "not a range START:END: 0x:16"},
      {"16:16\n", 1, "range 0x10:0x10 is empty or reversed"},
      {"0:8\n32:16\n", 2, "range 0x20:0x10 is empty or reversed"},
      {"0:0x1001\n", 1, "range 0x0:0x1001 is not within the file's 4096 bytes"},
      {"0:18446744073709551616\n", 1, "not a range START:END: 0:18446744073709551616"},
      {"0:64\n64:128\n32:80\n", 3, "overlaps line 1"},
      {"100:200\n0:50\n0:10\n", 3, "overlaps line 2"},
      {"0:1000\n10:20\n30:40\n", 2, "overlaps line 1"},
      {"500:600\n0:4096\n", 2, "overlaps line 1"},
      {"0:16\n15:20\n", 2, "overlaps line 1"},  // by one byte
      // Line 2 overlaps line 1, which reaches past line 3 that starts
      // between them: the first line that overlaps any before it is named.
      {"0:100\n30:40\n10:20\n", 2, "overlaps line 1"},
      {"10:20\n15:30\n0:100\n", 2, "overlaps line 1"},
      {"20:30\n0:10\n5:25\n", 3, "overlaps line 1"},
      // The first wrong line, whatever is wrong with the lines after it.
      {"0:16\n8:24\nsixteen\n", 2, "overlaps line 1"},
      {"0:16\nsixteen\n8:24\n", 2, "not a range START:END: sixteen"},
      // Text, not bytes: a NUL or another control byte refuses the list,
      // in a comment too; a byte outside a comment is part of a range or wrong.
      {std::string("0:16\0x\n", 8), 1, "byte 0x00 is not text"},
      {std::string("0:16\n# \0\n", 10), 2, "byte 0x00 is not text"},
      {"0:16\r32:48\n", 1, "byte 0x0D is not text"},
      {"0:16\x7F\n", 1, "byte 0x7F is not text"},
      {"0:16\n16:32\xA0\n", 2, "not a range START:END: 16:32\xA0"},
      // Hexadecimal digits only after 0x; messages in upper case.
      {"12a:16\n", 1, "not a range START:END: 12a:16"},
      {"0xab:0x10\n", 1, "range 0xAB:0x10 is empty or reversed"},
      // CR LF line ends count lines as LF alone does.
      {"0:16\r\n16:8\r\n", 2, "range 0x10:0x8 is empty or reversed"},
  };
  for (const auto& c : cases) {
    const RangeList list = ParseRanges(c.text, 4096);
    EXPECT_EQ(list.badLine, c.line) << c.text;
    EXPECT_EQ(list.problem, c.problem) << c.text;
    EXPECT_TRUE(list.spans.empty());
  }
}

class RangesRun : public ProgramRun {};

TEST_F(RangesRun, EachRangeIsDecodedFromResetIntoItsOwnFile) {
  const Bytes ram = testimage::SampleRam();
  Write("ADPCM", ram);
  // The sample's second and first sounds, in that order, and a piece of the
  // third cut in the middle of it: every file starts from reset.
  Write("list.txt", Bytes({'0', 'x', '4', '0', '0', '0', ':', '0', 'x', '5', 'C', '1', '4', '\n', '0', ':', '4', '7',
                           '9', '2', '\n', '0', 'x', 'A', '1', '0', '0', ':', '0', 'x', 'A', '2', '0', '0', '\n'}));
  const testutil::ProcessResult r = Adpcm2wav({"--ranges", "list.txt", "ADPCM"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const ByteSpan spans[] = {{0x4000, 0x5C14}, {0, 4792}, {0xA100, 0xA200}};
  for (size_t k = 0; k < 3; ++k) {
    std::vector<int16_t> samples(spans[k].size() * kSamplesPerByte);
    DecodeAdpcmB(ram.data() + spans[k].start, spans[k].size(), samples.data());
    const std::string file = "ADPCM-0" + std::to_string(k + 1) + ".wav";
    EXPECT_EQ(Read(file), WavFile(kCommonRate, samples.data(), samples.size())) << file;
  }
  EXPECT_FALSE(Exists("ADPCM-04.wav"));
}

TEST_F(RangesRun, AWrongListWritesNothing) {
  Write("ADPCM", testimage::SampleRam());
  Write("list.txt", Bytes({'0', ':', '1', '6', '\n', '8', ':', '2', '4', '\n'}));
  Write("empty.txt", Bytes({'#', '\n'}));
  const struct {
    std::vector<std::string> args;
    int exitCode;
    std::string err;
  } cases[] = {
      {{"--ranges", "list.txt", "ADPCM"}, 2, "adpcm2wav: list.txt:2: overlaps line 1\n" + std::string(kAdpcm2Wav.usage)},
      {{"--ranges", "empty.txt", "ADPCM"}, 2, "adpcm2wav: empty.txt holds no range\n" + std::string(kAdpcm2Wav.usage)},
      // Standard input here is empty.
      {{"--ranges", "-", "ADPCM"}, 2, "adpcm2wav: - holds no range\n" + std::string(kAdpcm2Wav.usage)},
      {{"--ranges", "missing.txt", "ADPCM"}, 1, "adpcm2wav: missing.txt: No such file or directory\n"},
  };
  for (const auto& c : cases) {
    const testutil::ProcessResult r = Adpcm2wav(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, Text(c.err));
    EXPECT_FALSE(Exists("ADPCM-01.wav"));
  }
}

// The addresses a user knows, on every layout of bank the kit makes: each
// range comes out exactly as its sound decoded alone from reset, touching
// neighbours and pads whatever they are.
TEST_F(RangesRun, TrueAddressesGiveEverySoundSampleExactOnEveryLayout) {
  for (int layout = 0; layout < static_cast<int>(testimage::Layout::kCount); ++layout) {
    const testimage::Bank bank = testimage::MakeBank(static_cast<testimage::Layout>(layout), 7);
    Write("bank", bank.ram);
    std::string list = "# " + std::string(testimage::LayoutName(static_cast<testimage::Layout>(layout))) + "\n";
    for (const ByteSpan& s : bank.sounds) list += std::to_string(s.start) + ":" + std::to_string(s.end) + "\n";
    Write("list.txt", Bytes(list.begin(), list.end()));
    Adpcm2WavOptions o;
    o.image = dir.File("bank");
    o.prefix = dir.File("bank");
    o.mode = WavMode::kRanges;
    o.rangesFile = dir.File("list.txt");
    CapturedStream out(dir.File("out.txt")), err(dir.File("err.txt"));
    ASSERT_EQ(ConvertImage(o, out.get(), err.get()), 0) << err.Text();
    ASSERT_GT(bank.sounds.size(), 1u);
    for (size_t k = 0; k < bank.sounds.size(); ++k) {
      const ByteSpan& s = bank.sounds[k];
      std::vector<int16_t> samples(s.size() * kSamplesPerByte);
      DecodeAdpcmB(bank.ram.data() + s.start, s.size(), samples.data());
      char file[32];
      std::snprintf(file, sizeof file, "bank-%02zu.wav", k + 1);
      ASSERT_EQ(Read(file), WavFile(kCommonRate, samples.data(), samples.size())) << layout << " " << file;
    }
  }
}

}  // namespace
