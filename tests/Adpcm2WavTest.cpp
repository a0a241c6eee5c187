// adpcm2wav as a user meets it: the built program run in a fresh folder on
// sample RAM images made by the test encoder.
#include <gtest/gtest.h>

#include <cstring>

#include "adpcm/AdpcmB.h"
#include "adpcm/Wav.h"
#include "kit/ImageBuilder.h"
#include "kit/SampleSounds.h"
#include "kit/TestUtil.h"

using testimage::Bytes;
using testutil::Text;

namespace {

const std::string kUsage =
    "Usage: adpcm2wav [-r HZ | --delta-n N] [--min-gap BYTES] [-o PREFIX] [--list | --range START:END | --whole] "
    "[--svg FILE] IMAGE\n";
const std::string kHeading = "sound  start     end          bytes   seconds  peak dBFS  file\n";

class WavRun : public ::testing::Test {
 protected:
  testutil::ProcessResult Run(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"adpcm2wav"};
    argv.insert(argv.end(), args.begin(), args.end());
    return testutil::RunProcess(ADPCM2WAV_PATH, argv, dir.path());
  }
  Bytes Read(const std::string& name) {
    Bytes bytes;
    EXPECT_TRUE(testutil::ReadFile(dir.File(name), &bytes)) << name;
    return bytes;
  }
  testutil::TempDir dir;
};

// The WAV file the program must write for `bytes` decoded from reset.
Bytes ExpectedWav(const uint8_t* bytes, size_t size, uint32_t rate) {
  std::vector<int16_t> samples(size * kSamplesPerByte);
  DecodeAdpcmB(bytes, size, samples.data());
  Bytes out(kWavHeaderSize + 2 * samples.size());
  uint8_t header[kWavHeaderSize];
  WavHeader(rate, static_cast<uint32_t>(samples.size()), header);
  std::memcpy(out.data(), header, kWavHeaderSize);
  WavSamples(samples.data(), samples.size(), out.data() + kWavHeaderSize);
  return out;
}

TEST_F(WavRun, WritesOneWavPerSoundAndPrintsTheTable) {
  const Bytes ram = testimage::SampleRam();
  testutil::WriteFile(dir.File("ADPCM"), ram);
  const testutil::ProcessResult r = Run({"ADPCM"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, Text(kHeading +
                       "    1  0x00000   0x012B8       4792     0.600       -8.6  ADPCM-01.wav\n"
                       "    2  0x04000   0x05C14       7188     0.900       -9.2  ADPCM-02.wav\n"
                       "    3  0x0A000   0x0C570       9584     1.200       -4.7  ADPCM-03.wav\n"
                       "    4  0x20000   0x21766       5990     0.750      -10.9  ADPCM-04.wav\n"));
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
  EXPECT_EQ(r.out.substr(0, Text(kHeading).size()), Text(kHeading));
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 5);
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
       kHeading + "    1  0x00000   0x000D4        212     0.053       -8.4  voice.bin-01.wav\n" +
           "    2  0x000FC   0x001C4        200     0.050      -10.3  voice.bin-02.wav\n",
       {"voice.bin-01.wav", "voice.bin-02.wav"}, 8000},
      {{"--delta-n", "0x49BA", "-o", "out/v", "--min-gap=41", "voice.bin"},
       kHeading + "    1  0x00000   0x001C4        452     0.057       -7.1  out/v-01.wav\n",
       {"out/v-01.wav"}, 15974},
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
  EXPECT_EQ(r.out, Text(kHeading + "range  0x04000   0x04100        256     0.032      -10.3  part.wav\n"));
  EXPECT_EQ(Read("part.wav"), ExpectedWav(ram.data() + 0x4000, 256, 15974));

  // A range may end at the file's last byte.
  r = Run({"--range", "0x3FF00:0x40000", "-o", "tail", "ADPCM"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(Read("tail.wav"), ExpectedWav(ram.data() + 0x3FF00, 0x100, 15974));

  r = Run({"--whole", "ADPCM"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, Text(kHeading + "whole  0x00000   0x40000     262144    32.821       -4.7  ADPCM.wav\n"));
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
  const testutil::ProcessResult r = Run({"--list", "--svg", "map.svg", "ADPCM"});
  EXPECT_EQ(r.exitCode, 0);
  const Bytes svg = Read("map.svg");
  const std::string text(svg.begin(), svg.end());
  EXPECT_EQ(text.compare(0, 5, "<svg "), 0);
  EXPECT_EQ(text.substr(text.size() - 7), "</svg>\n");
  for (const char* label : {"#1 0x00000", "#2 0x04000", "#3 0x0A000", "#4 0x20000", ">0x3C000<"}) {
    EXPECT_NE(text.find(label), std::string::npos) << label;
  }
  // The same image always gives the same picture.
  ASSERT_EQ(Run({"--list", "--svg", "again.svg", "ADPCM"}).exitCode, 0);
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

TEST_F(WavRun, ImageWithoutSoundSaysSo) {
  testutil::WriteFile(dir.File("blank"), Bytes(4096, 0xFF));
  const testutil::ProcessResult r = Run({"blank"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, Text("no sound found in blank\n"));
  EXPECT_FALSE(testutil::Exists(dir.File("blank-01.wav")));
}

TEST_F(WavRun, UsageErrorsExitTwo) {
  testutil::WriteFile(dir.File("ADPCM"), Bytes(100, 0x42));
  const struct {
    std::vector<std::string> args;
    std::string problem;
  } cases[] = {
      {{}, "no IMAGE"},
      {{"ADPCM", "other"}, "one IMAGE only"},
      {{"-x", "ADPCM"}, "unknown option -x"},
      {{"-r", "16k", "ADPCM"}, "not a number: 16k"},
      {{"-r", "0", "ADPCM"}, "the rate must be 1 to 1000000 Hz"},
      {{"-r", "-5", "ADPCM"}, "not a number: -5"},
      {{"--delta-n", "0x10000", "ADPCM"}, "delta-N must be 1 to 65535: 0x10000"},
      {{"-r", "8000", "--delta-n", "9452", "ADPCM"}, "give the rate once, with -r or --delta-n"},
      {{"--min-gap", "0", "ADPCM"}, "not a gap length: 0"},
      {{"--list", "--whole", "ADPCM"}, "choose one of --list, --range and --whole"},
      {{"--range", "10", "ADPCM"}, "not a range START:END: 10"},
      {{"--range", "0x10:0x200", "ADPCM"}, "range 0x10:0x200 is not within the file's 100 bytes"},
      {{"--range", "50:50", "ADPCM"}, "range 0x32:0x32 is not within the file's 100 bytes"},
      {{"--range", "0:101", "ADPCM"}, "range 0x0:0x65 is not within the file's 100 bytes"},
      {{"--svg"}, "--svg needs a value"},
  };
  for (const auto& c : cases) {
    const testutil::ProcessResult r = Run(c.args);
    EXPECT_EQ(r.exitCode, 2) << c.problem;
    EXPECT_EQ(r.out, "") << c.problem;
    EXPECT_EQ(r.err, Text("adpcm2wav: " + c.problem + "\n" + kUsage));
  }
  const testutil::ProcessResult help = Run({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_EQ(help.out, Text(kUsage));
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
      {{"folder"}, std::string("adpcm2wav: folder: ") + testutil::kFolderReason + "\n"},
      {{"-o", "nowhere/x", "ADPCM"}, "adpcm2wav: nowhere/x-01.wav: No such file or directory\n"},
      {{"--list", "--svg", "nowhere/x.svg", "ADPCM"}, "adpcm2wav: nowhere/x.svg: No such file or directory\n"},
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
  ASSERT_EQ(testutil::RunProcess(D88ADPCM_PATH, {"d88adpcm", "sample.d88"}, dir.path()).exitCode, 0);
  EXPECT_EQ(Read("ADPCM"), testimage::SampleRam());
  const testutil::ProcessResult r = Run({"ADPCM"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 5);
}

}  // namespace
