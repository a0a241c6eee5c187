// adpcm2wav as a user meets it: the built program run in a fresh folder on
// sample RAM images made by the test encoder.
#include <gtest/gtest.h>

#include <sys/stat.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "adpcm/AdpcmB.h"
#include "adpcm/Wav.h"
#include "adpcm2wav/Convert.h"
#include "adpcm2wav/Picture.h"
#include "adpcm2wav/Table.h"
#include "kit/ImageBuilder.h"
#include "kit/SampleDisks.h"
#include "kit/SampleSounds.h"
#include "kit/TestUtil.h"
#include "tests/ProgramRun.h"

using testimage::Bytes;
using testutil::Text;

namespace {

const std::string kUsage =
    "Usage: adpcm2wav [-r HZ | --delta-n N] [--min-gap BYTES] [-o PREFIX] [--list | --range START:END | --whole] "
    "[--svg FILE] IMAGE\n";
const std::string kHeading = "sound  start     end          bytes   seconds  peak dBFS  file          ended by\n";
// The line above a search's table.
std::string UnitLine(size_t unit, const char* how = "inferred") {
  return "address unit: " + std::to_string(unit) + " bytes (" + how + ")\n";
}
// The last line after a search.
std::string LeftOut(size_t bytes) { return "left out as not sound: " + std::to_string(bytes) + " bytes\n"; }

class WavRun : public ProgramRun {
 protected:
  testutil::ProcessResult Run(const std::vector<std::string>& args) { return Adpcm2wav(args); }
};

// The WAV file the program must write for `bytes` decoded from reset.
Bytes ExpectedWav(const uint8_t* bytes, size_t size, uint32_t rate) {
  std::vector<int16_t> samples(size * kSamplesPerByte);
  DecodeAdpcmB(bytes, size, samples.data());
  return WavFile(rate, samples.data(), samples.size());
}

TEST_F(WavRun, WritesOneWavPerSoundAndPrintsTheTable) {
  const Bytes ram = testimage::SampleRam();
  testutil::WriteFile(dir.File("ADPCM"), ram);
  const testutil::ProcessResult r = Run({"ADPCM"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, Text(UnitLine(256) + kHeading +
                       "    1  0x00000   0x012B8       4792     0.600       -8.6  ADPCM-01.wav  fill\n"
                       "    2  0x04000   0x05C14       7188     0.900       -9.2  ADPCM-02.wav  fill\n"
                       "    3  0x0A000   0x0C570       9584     1.200       -4.7  ADPCM-03.wav  fill\n"
                       "    4  0x20000   0x21766       5990     0.750      -10.9  ADPCM-04.wav  fill\n" +
                       LeftOut(0)));
  const std::vector<testimage::PlacedSound> placed = testimage::SampleSounds();
  for (size_t k = 0; k < placed.size(); ++k) {
    const std::string name = "ADPCM-0" + std::to_string(k + 1) + ".wav";
    EXPECT_EQ(Read(name), ExpectedWav(placed[k].bytes.data(), placed[k].bytes.size(), 15974)) << name;
  }
}

TEST_F(WavRun, ListWritesNothing) {
  testutil::WriteFile(dir.File("ADPCM"), testimage::SampleRam());
  const testutil::ProcessResult r = Run({"--list", "ADPCM"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out.substr(0, Text(UnitLine(256) + kHeading).size()), Text(UnitLine(256) + kHeading));
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 7);
  EXPECT_FALSE(testutil::Exists(dir.File("ADPCM-01.wav")));
}

TEST_F(WavRun, RatePrefixAndGapLengthAreTheUsers) {
  // Two sounds 40 fill bytes apart (the first 12 fill bytes are too few to
  // be a gap and join the first sound): one sound with --min-gap 41.
  const std::vector<testimage::PlacedSound> placed = testimage::SampleSounds();
  Bytes image(500, 0x00);
  std::copy(placed[0].bytes.begin(), placed[0].bytes.begin() + 200, image.begin() + 12);
  std::copy(placed[1].bytes.begin(), placed[1].bytes.begin() + 200, image.begin() + 252);
  testutil::WriteFile(dir.File("voice.bin"), image);
  const struct {
    std::vector<std::string> args;
    std::string out;
    std::vector<std::string> files;
    uint32_t rate;
  } cases[] = {
      {{"-r", "8000", "voice.bin"},
       UnitLine(4) + kHeading + "    1  0x00000   0x000D4        212     0.053       -8.4  voice.bin-01.wav  fill\n" +
           "    2  0x000FC   0x001C4        200     0.050      -10.3  voice.bin-02.wav  fill\n" + LeftOut(0),
       {"voice.bin-01.wav", "voice.bin-02.wav"}, 8000},
      {{"--delta-n", "0x49BA", "-o", "out/v", "--min-gap=41", "voice.bin"},
       UnitLine(4) + kHeading + "    1  0x00000   0x001C4        452     0.057       -7.1  out/v-01.wav  fill\n" + LeftOut(0),
       {"out/v-01.wav"}, 15974},
      // The unit given: the second sound's start, 4 bytes into the fill,
      // goes back to the 32-byte unit at 224.
      {{"--unit", "32", "voice.bin"},
       UnitLine(32, "given") + kHeading + "    1  0x00000   0x000D4        212     0.027       -8.4  voice.bin-01.wav  fill\n" +
           "    2  0x000E0   0x001C4        228     0.029       -9.6  voice.bin-02.wav  fill\n" + LeftOut(0),
       {"voice.bin-01.wav", "voice.bin-02.wav"}, 15974},
  };
  ASSERT_TRUE(testutil::MakeDir(dir.File("out")));
  for (const auto& c : cases) {
    const testutil::ProcessResult r = Run(c.args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, Text(c.out));
    for (const std::string& file : c.files) {
      const Bytes wav = Read(file);
      ASSERT_GE(wav.size(), kWavHeaderSize);
      EXPECT_EQ(GetLE32(&wav[24]), c.rate) << file;
    }
  }
}

TEST_F(WavRun, RangeAndWholeWriteOneFile) {
  const Bytes ram = testimage::SampleRam();
  testutil::WriteFile(dir.File("ADPCM"), ram);
  testutil::ProcessResult r = Run({"--range", "0x4000:0x4100", "-o", "part", "ADPCM"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, Text(kHeading + "range  0x04000   0x04100        256     0.032      -10.3  part.wav      -\n"));
  EXPECT_EQ(Read("part.wav"), ExpectedWav(ram.data() + 0x4000, 256, 15974));

  // A range may end at the file's last byte.
  r = Run({"--range", "0x3FF00:0x40000", "-o", "tail", "ADPCM"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(Read("tail.wav"), ExpectedWav(ram.data() + 0x3FF00, 0x100, 15974));

  r = Run({"--whole", "ADPCM"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, Text(UnitLine(256) + kHeading + "whole  0x00000   0x40000     262144    32.821       -4.7  ADPCM.wav     -\n"));
  const Bytes whole = Read("ADPCM.wav");
  ASSERT_EQ(whole.size(), kWavHeaderSize + 4 * ram.size());
  // Each sound from reset at its own address, two silent samples a gap byte.
  for (const testimage::PlacedSound& s : testimage::SampleSounds()) {
    const Bytes wav = ExpectedWav(s.bytes.data(), s.bytes.size(), 15974);
    EXPECT_TRUE(std::equal(wav.begin() + kWavHeaderSize, wav.end(), whole.begin() + static_cast<std::ptrdiff_t>(kWavHeaderSize + 4 * s.address)));
  }
  EXPECT_EQ(Bytes(whole.end() - 4 * 0x1000, whole.end()), Bytes(4 * 0x1000, 0));
}

TEST_F(WavRun, PictureShowsEverySound) {
  testutil::WriteFile(dir.File("ADPCM"), testimage::SampleRam());
  const testutil::ProcessResult r = Run({"--svg", "map.svg", "ADPCM"});
  EXPECT_EQ(r.exitCode, 0);
  const Bytes svg = Read("map.svg");
  const std::string text(svg.begin(), svg.end());
  EXPECT_EQ(text.compare(0, 5, "<svg "), 0);
  EXPECT_EQ(text.substr(text.size() - 7), "</svg>\n");
  for (const char* label : {"#1 0x00000", "#2 0x04000", "#3 0x0A000", "#4 0x20000", ">0x3C000<"}) {
    EXPECT_NE(text.find(label), std::string::npos) << label;
  }
  // The same image always gives the same picture.
  ASSERT_EQ(Run({"--svg", "again.svg", "ADPCM"}).exitCode, 0);
  EXPECT_EQ(Read("again.svg"), svg);
}

TEST_F(WavRun, NamesInJapaneseAreReadAndWritten) {
  const std::string name = "\xE9\x9F\xB3\xE5\xA3\xB0";  // "音声" in UTF-8
  testutil::WriteFile(dir.File(name), testimage::SampleRam());
  const testutil::ProcessResult r = Run({"--svg", name + ".svg", name});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(testutil::Exists(dir.File(name + "-04.wav")));
  EXPECT_TRUE(testutil::Exists(dir.File(name + ".svg")));
}

TEST_F(WavRun, ImageWithoutSoundSaysSoAndWhatWasLeftOut) {
  // All fill is "nothing found"; bytes that are no sound are "no sound",
  // and the count tells the two apart.
  testutil::WriteFile(dir.File("blank"), Bytes(4096, 0xFF));
  testutil::ProcessResult r = Run({"blank"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, Text("no sound found in blank\n" + LeftOut(0)));
  EXPECT_FALSE(testutil::Exists(dir.File("blank-01.wav")));

  Bytes noise(4096);
  uint32_t x = 12345;
  for (uint8_t& b : noise) b = static_cast<uint8_t>((x = x * 1103515245u + 12345u) >> 24);
  testutil::WriteFile(dir.File("noise"), noise);
  r = Run({"--list", "noise"});
  EXPECT_EQ(r.exitCode, 0);
  const std::string said = Text("no sound found in noise\nleft out as not sound: ");
  ASSERT_EQ(r.out.substr(0, said.size()), said) << r.out;
  EXPECT_GT(std::stoul(r.out.substr(said.size())), 4000u) << r.out;
  EXPECT_FALSE(testutil::Exists(dir.File("noise-01.wav")));
}

TEST_F(WavRun, FilesThatCannotBeReadOrWrittenExitOne) {
  testutil::WriteFile(dir.File("ADPCM"), testimage::SampleRam());
  ASSERT_TRUE(testutil::MakeDir(dir.File("folder")));
  // A folder where the first WAV would go, with something in it: the
  // finished file cannot take its name, and no part of it is left behind.
  ASSERT_TRUE(testutil::MakeDir(dir.File("ADPCM-01.wav")));
  testutil::WriteFile(dir.File("ADPCM-01.wav/keep"), Bytes(1, 1));
  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"missing"}, "adpcm2wav: missing: No such file or directory\n"},
      {{"folder"}, "adpcm2wav: folder: Is a directory\n"},
      {{"-o", "nowhere/x", "ADPCM"}, "adpcm2wav: nowhere/x-01.wav: No such file or directory\n"},
      {{"--svg", "nowhere/x.svg", "ADPCM"}, "adpcm2wav: nowhere/x.svg: No such file or directory\n"},
      {{"ADPCM"}, std::string("adpcm2wav: ADPCM-01.wav: ") + testutil::kFolderReason + "\n"},
  };
  for (const auto& c : cases) {
    const testutil::ProcessResult r = Run(c.args);
    EXPECT_EQ(r.exitCode, 1) << c.err;
    EXPECT_EQ(r.err, Text(c.err));
  }
  EXPECT_FALSE(testutil::Exists(dir.File("ADPCM-01.wav.part")));
  EXPECT_TRUE(testutil::Exists(dir.File("ADPCM-01.wav/keep")));
}

TEST_F(WavRun, SampleImageExtractsToTheSampleSounds) {
  // The pipeline as the README shows it: d88adpcm, then adpcm2wav.
  testutil::WriteFile(dir.File("sample.d88"), testimage::SampleDisk().Build());
  ASSERT_EQ(D88adpcm({"sample.d88"}).exitCode, 0);
  EXPECT_EQ(Read("ADPCM"), testimage::SampleRam());
  const testutil::ProcessResult r = Run({"ADPCM"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 7);
}

// The run in-process, on options as the parser leaves them.
class Conversion : public ProgramRun {
 protected:
  Adpcm2WavOptions Options(const std::string& image, WavMode mode) {
    Adpcm2WavOptions o;
    o.image = dir.File(image);
    o.prefix = dir.File(image);
    o.mode = mode;
    return o;
  }
  // Runs the conversion, keeping what it printed.
  int Convert(const Adpcm2WavOptions& options) {
    CapturedStream outStream(dir.File("out.txt")), errStream(dir.File("err.txt"));
    const int code = ConvertImage(options, outStream.get(), errStream.get());
    out = outStream.Text();
    err = errStream.Text();
    return code;
  }
  std::string out, err;
};

// --range and a --ranges line are checked alike, with the same words.
TEST_F(Conversion, RangesOutsideTheFileAreUsageErrorsSaidAlikeForBothOptions) {
  Write("ADPCM", Bytes(100, 0x42));
  const struct {
    uint64_t start, end;
    std::string problem;
  } cases[] = {
      {0x10, 0x200, "range 0x10:0x200 is not within the file's 100 bytes"},
      {50, 50, "range 0x32:0x32 is empty or reversed"},
      {60, 40, "range 0x3C:0x28 is empty or reversed"},
      {0, 101, "range 0x0:0x65 is not within the file's 100 bytes"},
  };
  for (const auto& c : cases) {
    Adpcm2WavOptions o = Options("ADPCM", WavMode::kRange);
    o.rangeStart = c.start;
    o.rangeEnd = c.end;
    EXPECT_EQ(Convert(o), 2) << c.problem;
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, "adpcm2wav: " + c.problem + "\n" + kAdpcm2Wav.usage);
    EXPECT_FALSE(Exists("ADPCM.wav"));
    const std::string line = std::to_string(c.start) + ":" + std::to_string(c.end) + "\n";
    Write("list.txt", Bytes(line.begin(), line.end()));
    Adpcm2WavOptions list = Options("ADPCM", WavMode::kRanges);
    list.rangesFile = dir.File("list.txt");
    EXPECT_EQ(Convert(list), 2) << c.problem;
    EXPECT_EQ(err, "adpcm2wav: " + dir.File("list.txt") + ":1: " + c.problem + "\n" + kAdpcm2Wav.usage);
  }
  Adpcm2WavOptions whole = Options("ADPCM", WavMode::kRange);
  whole.rangeEnd = 100;
  EXPECT_EQ(Convert(whole), 0) << err;
  EXPECT_TRUE(Exists("ADPCM.wav"));
}

TEST(PeakText, FullScaleIsZeroWithoutASign) {
  const struct {
    int32_t peak;
    const char* text;
  } cases[] = {{0, "-inf"}, {1, "-90.3"}, {16384, "-6.0"}, {32767, "0.0"}, {32768, "0.0"}};
  for (const auto& c : cases) EXPECT_EQ(PeakText(c.peak), c.text) << c.peak;
}

TEST_F(Conversion, ClampedSoundsPeakAtFullScale) {
  // Codes 7 and 6 climb to the positive clamp, 0xE and 0xF fall to the
  // negative one: 32,767 and -32,768 are both "0.0", never "-0.0".
  const struct {
    uint8_t byte;
    const char* row;
  } cases[] = {
      {0x76, "range  0x00000   0x00040         64     0.008        0.0  "},
      {0xEF, "range  0x00000   0x00040         64     0.008        0.0  "},
  };
  for (const auto& c : cases) {
    Write("loud", Bytes(64, c.byte));
    Adpcm2WavOptions o = Options("loud", WavMode::kRange);
    o.rangeEnd = 64;
    ASSERT_EQ(Convert(o), 0) << err;
    const std::string row = out.substr(out.find('\n') + 1);
    EXPECT_EQ(row, std::string(c.row) + dir.File("loud") + ".wav  -\n");
  }
}

#ifndef _WIN32
TEST_F(Conversion, ASymbolicLinkInTheWayIsReplacedNotWrittenThrough) {
  Write("ADPCM", testimage::SampleRam());
  Write("elsewhere", Bytes(3, 7));
  ASSERT_EQ(symlink(dir.File("elsewhere").c_str(), dir.File("ADPCM-01.wav").c_str()), 0);
  ASSERT_EQ(Convert(Options("ADPCM", WavMode::kSounds)), 0) << err;
  EXPECT_EQ(Read("elsewhere"), Bytes(3, 7));
  struct stat info;
  ASSERT_EQ(lstat(dir.File("ADPCM-01.wav").c_str(), &info), 0);
  EXPECT_TRUE(S_ISREG(info.st_mode));
  EXPECT_EQ(Read("ADPCM-01.wav"), ExpectedWav(testimage::SampleSounds()[0].bytes.data(),
                                                 testimage::SampleSounds()[0].bytes.size(), kCommonRate));
}
#endif

// The picture of the RAM, drawn in-process.
std::string Attribute(const std::string& svg, size_t from, const std::string& name) {
  const size_t at = svg.find(name + "=\"", from);
  if (at == std::string::npos) return "";
  const size_t start = at + name.size() + 2;
  return svg.substr(start, svg.find('"', start) - start);
}

TEST(RamPicture, RowsOfImagesThatAreNoMultipleOfARow) {
  // 20,000 bytes: 2 bytes a column, 2,048 a row of 1,024 columns, 10 rows
  // (36 + 10 x 74 = 776 pixels high); the last row holds 1,568 bytes, 784
  // columns, and one byte more makes it 785, rounded up, not down.
  const struct {
    size_t size;
    const char* lastRowWidth;
    const char* height;
    const char* lastRow;  // the last row's address, and the one that must not follow
    const char* noRow;
  } cases[] = {{20000, "784", "776", ">0x04800</text>", ">0x05000</text>"},
               {20001, "785", "776", ">0x04800</text>", ">0x05000</text>"},
               // A whole number of rows: 16 of 1,024 bytes, none after them.
               {16384, "1024", "1220", ">0x03C00</text>", ">0x04000</text>"}};
  for (const auto& c : cases) {
    const Bytes image(c.size, 0x00);
    const std::string svg = DrawImage(image.data(), image.size(), SoundSearch(), "t");
    EXPECT_EQ(Attribute(svg, 0, "height"), c.height) << c.size;
    const size_t lastRow = svg.find(c.lastRow);
    ASSERT_NE(lastRow, std::string::npos) << c.size;
    EXPECT_EQ(svg.find(c.noRow), std::string::npos) << c.size;
    EXPECT_EQ(Attribute(svg, lastRow, "width"), c.lastRowWidth) << c.size;
  }
}

TEST(RamPicture, LoudSoundsAreDrawnOnTheirSideOfTheCentreLine) {
  // Codes 7 climb to the positive clamp, codes 0xF fall to the negative
  // one. Row 0's centre line lies at y = 36 + 32 = 68.
  const struct {
    uint8_t byte;
    bool above;
  } cases[] = {{0x77, true}, {0xFF, false}};
  for (const auto& c : cases) {
    const Bytes image(256, c.byte);
    SoundSearch found;
    found.sounds.push_back({{0, image.size()}, SoundEnd::kEndOfRam});
    const std::string svg = DrawImage(image.data(), image.size(), found, "loud");
    const std::string path = Attribute(svg, svg.find("<path fill=\"none\""), "d");
    ASSERT_FALSE(path.empty());
    double highest = 1e9, lowest = -1e9;  // the least and the greatest y drawn
    for (size_t at = 0; at < path.size(); ++at) {
      if (path[at] != 'V' && path[at] != ' ') continue;
      const double y = std::atof(path.c_str() + at + 1);
      highest = std::min(highest, y);
      lowest = std::max(lowest, y);
    }
    if (c.above) {
      EXPECT_LT(highest, 68 - 30) << path.substr(0, 200);
      EXPECT_LE(lowest, 68 + 1);
    } else {
      EXPECT_GT(lowest, 68 + 30) << path.substr(0, 200);
      EXPECT_GE(highest, 68 - 1);
    }
  }
}

TEST(RamPicture, TitleIsEscapedAndWhatIsNotSoundIsMarked) {
  const Bytes image(4096, 0x12);
  SoundSearch found;
  found.notSound.push_back({1100, 1300});
  found.notSoundBytes = 200;
  const std::string svg = DrawImage(image.data(), image.size(), found, "a&b <c>.bin");
  EXPECT_NE(svg.find(">a&amp;b &lt;c&gt;.bin</text>"), std::string::npos);
  EXPECT_EQ(svg.find("a&b"), std::string::npos);
  const size_t marked = svg.find("class=\"not-sound\"");
  ASSERT_NE(marked, std::string::npos);
  // A byte a column at 4 KiB, 1,024 a row: bytes 1,100 to 1,300 are row
  // 1's columns 76 to 276, after the 80 pixels of the addresses.
  const size_t rect = svg.rfind("<rect", marked);
  EXPECT_EQ(Attribute(svg, rect, "x"), std::to_string(80 + 76));
  EXPECT_EQ(Attribute(svg, rect, "width"), "200");
  EXPECT_EQ(Attribute(svg, rect, "y"), std::to_string(36 + 74));
  EXPECT_EQ(SoundSearch().notSound.size(), 0u);
  EXPECT_EQ(DrawImage(image.data(), image.size(), SoundSearch(), "t").find("not-sound"), std::string::npos);
}

}  // namespace
