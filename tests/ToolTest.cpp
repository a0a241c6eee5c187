// d88adpcm as a user meets it: the built program run in a fresh folder.
#include <gtest/gtest.h>

#include "kit/ImageBuilder.h"
#include "kit/Shapes.h"
#include "kit/TestUtil.h"
#include "tests/ImageNames.h"
#include "tests/ProgramRun.h"
#include "tool/Tool.h"

namespace {

constexpr size_t kOutputSize = kAdpcmFileSize;
constexpr size_t kSlot = kPlanSlotSize;
using testutil::kFolderReason;
using testutil::Text;

const std::string kProgress = Text("cutting ... ADPCM\n");
// The Shift_JIS bytes, whatever the locale; the line ends as text lines end.
const std::string kOpenFailed = Text(
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x83\x49\x81\x5B\x83\x76\x83\x93\x82\xC5\x82\xAB"
    "\x82\xDC\x82\xB9\x82\xF1\x2E\x0A");

class ToolRun : public ProgramRun {
 protected:
  testutil::ProcessResult Run(const std::vector<std::string>& args) { return D88adpcm(args); }
  // Runs the program on `image` and expects success and the progress line.
  Bytes Extract(const Bytes& image) {
    testutil::WriteFile(dir.File("image.d88"), image);
    const testutil::ProcessResult r = Run({"image.d88"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, kProgress);
    EXPECT_EQ(r.err, "");
    Bytes out;
    EXPECT_TRUE(testutil::ReadFile(dir.File("ADPCM"), &out));
    EXPECT_EQ(out.size(), kOutputSize);
    return out;
  }
  // Runs the program on a good image where ADPCM cannot be written.
  void ExpectOutputFailure(const std::string& error) {
    testutil::WriteFile(dir.File("image.d88"), Standard2HD(40).Build());
    const testutil::ProcessResult r = Run({"image.d88"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, kProgress);
    EXPECT_EQ(r.err, error);
  }
  bool OutputExists() const { return Exists("ADPCM"); }
};

// The ADPCM file for an image whose tracks `from` (even) to `to` are the
// standard ones: each slot holds sectors 1 to 26 of its track, the rest zero.
Bytes ExpectedOutput(int lastTrack) {
  Bytes out(kOutputSize, 0);
  for (int i = 0; i < 39; ++i) {
    const int t = 72 + 2 * i;
    if (t > lastTrack) break;
    for (int r = 1; r <= 26; ++r) {
      const Bytes data = SectorData(t, r, 256);
      std::copy(data.begin(), data.end(), out.begin() + static_cast<std::ptrdiff_t>(i * kSlot + (r - 1) * 256));
    }
  }
  return out;
}

// Compares large buffers by the first differing offset, not by a dump.
::testing::AssertionResult SameBytes(const Bytes& actual, const Bytes& expected) {
  if (actual.size() != expected.size()) {
    return ::testing::AssertionFailure() << "size " << actual.size() << " != " << expected.size();
  }
  for (size_t i = 0; i < actual.size(); ++i) {
    if (actual[i] != expected[i]) {
      return ::testing::AssertionFailure() << "first difference at offset " << i << ": " << int(actual[i])
                                           << " != " << int(expected[i]);
    }
  }
  return ::testing::AssertionSuccess();
}

TEST_F(ToolRun, WrongArgumentCountPrintsUsageWithTheNameAsInvoked) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"a.d88", "b.d88"}}) {
    const testutil::ProcessResult r = Run(args);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, Text(std::string("Usage: ") + D88ADPCM_PATH + " [d88file]\n"));
    EXPECT_FALSE(OutputExists());
  }
  const testutil::ProcessResult r = ProgramRun::Run(D88ADPCM_PATH, "adpcm-tool", {});
  EXPECT_EQ(r.err, Text("Usage: adpcm-tool [d88file]\n"));
}

TEST(ToolEntry, EmptyCommandLineNamesTheProgram) {
  char* argv[] = {nullptr};
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(RunAdpcm(0, argv), 1);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Usage: d88adpcm [d88file]\n");
}

TEST_F(ToolRun, UnopenableImagePrintsTheShiftJisMessage) {
  ASSERT_TRUE(testutil::MakeDir(dir.File("folder.d88")));
  for (const char* path : {"missing.d88", "folder.d88"}) {
    const testutil::ProcessResult r = Run({path});
    EXPECT_EQ(r.exitCode, 1) << path;
    EXPECT_EQ(r.out, "") << path;
    EXPECT_EQ(r.err, kOpenFailed) << path;
    EXPECT_FALSE(OutputExists()) << path;
  }
}

TEST_F(ToolRun, ImageNamedInJapaneseOpensWhateverTheCodePage) {
  // "ボイス.d88" in UTF-8. On Windows the programs take their command line
  // and paths as UTF-8, so the name opens in any locale, Japanese or not.
  const std::string name = "\xE3\x83\x9C\xE3\x82\xA4\xE3\x82\xB9.d88";
  testutil::WriteFile(dir.File(name), Standard2HD(40).Build());
  const testutil::ProcessResult r = Run({name});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
  Bytes out;
  ASSERT_TRUE(testutil::ReadFile(dir.File("ADPCM"), &out));
  EXPECT_TRUE(SameBytes(out, ExpectedOutput(79)));
  const testutil::ProcessResult listed = D88ls({name});
  EXPECT_EQ(listed.exitCode, 0);
  EXPECT_EQ(listed.out.substr(0, 6), "1 disk");
}

TEST_F(ToolRun, ImagesWithoutADiskGiveZeros) {
  for (size_t size : {0u, 687u}) {
    EXPECT_TRUE(SameBytes(Extract(Bytes(size, 0x31)), Bytes(kOutputSize, 0))) << size;
  }
}

TEST_F(ToolRun, FullImageFillsEverySlot) {
  const Bytes out = Extract(Standard2HD(77).Build());
  EXPECT_TRUE(SameBytes(out, ExpectedOutput(153)));
  EXPECT_EQ(Bytes(out.end() - 2560, out.end()), Bytes(2560, 0));
}

TEST_F(ToolRun, FortyCylindersFillFourSlots) {
  EXPECT_TRUE(SameBytes(Extract(Standard2HD(40).Build()), ExpectedOutput(79)));
}

TEST_F(ToolRun, ShortTrackTablesReadTheirTracksAsUsual) {
  EXPECT_TRUE(SameBytes(Extract(testimage::ShortTable2HD(154, 77).Build()), ExpectedOutput(153)));
  EXPECT_TRUE(SameBytes(Extract(testimage::ShortTable2HD(160, 80).Build()), ExpectedOutput(159)));
}

TEST_F(ToolRun, OnlyTheFirstDiskIsRead) {
  EXPECT_TRUE(SameBytes(Extract(Concat({Standard2HD(77).Build(), Standard2HD(77, "B", 1).Build()})), ExpectedOutput(153)));
  // A first disk of 40 cylinders is not topped up from the second.
  EXPECT_TRUE(SameBytes(Extract(Concat({Standard2HD(40).Build(), Standard2HD(77, "B", 1).Build()})), ExpectedOutput(79)));
}

TEST_F(ToolRun, MissingSectorLeavesTheRestOfItsSlotZero) {
  Disk d = Standard2HD(77);
  std::vector<testimage::Record>& track80 = d.tracks[80];
  track80.erase(track80.begin() + 12);  // sector 13
  for (auto& rec : track80) rec.count = 25;
  Bytes expected = ExpectedOutput(153);
  std::fill(expected.begin() + 29696, expected.begin() + 33280, 0);
  EXPECT_TRUE(SameBytes(Extract(d.Build()), expected));
}

TEST_F(ToolRun, SectorsWithOtherIdsGiveNothingForTheirTrack) {
  Disk d = Standard2HD(77);
  for (auto& rec : d.tracks[74]) rec.c = 99;  // slot 1
  for (auto& rec : d.tracks[76]) rec.h = 1;   // slot 2
  Bytes expected = ExpectedOutput(153);
  std::fill(expected.begin() + kSlot, expected.begin() + 3 * kSlot, 0);
  EXPECT_TRUE(SameBytes(Extract(d.Build()), expected));
}

TEST_F(ToolRun, TruncatedImageKeepsWhatArrived) {
  // Cut 100 bytes into the data of sector 5 of track 90 (slot 9).
  const Bytes full = Standard2HD(77).Build();
  const size_t track90 = GetLE32(&full[0x20 + 4 * 90]);
  const size_t cut = track90 + 4 * 272 + 16 + 100;
  Bytes expected = ExpectedOutput(89);
  const Bytes sector5 = SectorData(90, 5, 100);
  for (int r = 1; r <= 4; ++r) {
    const Bytes data = SectorData(90, r, 256);
    std::copy(data.begin(), data.end(), expected.begin() + static_cast<std::ptrdiff_t>(9 * kSlot + (r - 1) * 256));
  }
  std::copy(sector5.begin(), sector5.end(), expected.begin() + static_cast<std::ptrdiff_t>(9 * kSlot + 4 * 256));
  EXPECT_TRUE(SameBytes(Extract(Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut))), expected));
}

TEST_F(ToolRun, LongerExistingOutputIsTruncated) {
  testutil::WriteFile(dir.File("ADPCM"), Bytes(kOutputSize + 5000, 0xFF));
  EXPECT_TRUE(SameBytes(Extract(Standard2HD(40).Build()), ExpectedOutput(79)));
}

TEST_F(ToolRun, OutputThatIsAFolderCannotBeCreated) {
  ASSERT_TRUE(testutil::MakeDir(dir.File("ADPCM")));
  ExpectOutputFailure(Text(std::string("cannot create ADPCM: ") + kFolderReason + "\n"));
}

TEST_F(ToolRun, OutputOnAFullDeviceCannotBeWritten) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows has no /dev/full; a locked ADPCM stands in for an output that fails";
#else
  ASSERT_EQ(symlink("/dev/full", dir.File("ADPCM").c_str()), 0);
  ExpectOutputFailure("cannot write ADPCM: No space left on device\n");
#endif
}

#ifdef _WIN32
TEST_F(ToolRun, OutputLockedByAnotherProgramCannotBeCreated) {
  testutil::LockedFile lock(dir.File("ADPCM"));
  ASSERT_TRUE(lock.locked());
  ExpectOutputFailure(Text("cannot create ADPCM: Permission denied\n"));
}
#endif

TEST_F(ToolRun, ProgressLineComesBeforeTheErrorOnOneStream) {
  testutil::WriteFile(dir.File("image.d88"), Standard2HD(40).Build());
  ASSERT_TRUE(testutil::MakeDir(dir.File("ADPCM")));
  const testutil::ProcessResult r =
      ProgramRun::Run(D88ADPCM_PATH, "d88adpcm", {"image.d88"}, /*oneStream=*/true);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, kProgress + Text(std::string("cannot create ADPCM: ") + kFolderReason + "\n"));
}

}  // namespace
