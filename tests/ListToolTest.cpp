// d88ls as a user meets it: the built program run on images built in code.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "kit/ImageBuilder.h"
#include "kit/TestUtil.h"

using testimage::Bytes;
using testimage::Concat;
using testimage::Disk;
using testimage::MakeRecord;
using testimage::Standard2HD;
using testimage::StandardTrack;

namespace {

class ListRun : public ::testing::Test {
 protected:
  testutil::ProcessResult List(const Bytes& image) {
    testutil::WriteFile(dir.File("image.d88"), image);
    return testutil::RunProcess(D88LS_PATH, {"d88ls", "image.d88"}, dir.path());
  }
  testutil::TempDir dir;
};

// The listing's track lines for a standard track range.
std::string StandardLines(int from, int to) {
  std::string lines;
  for (int t = from; t <= to; ++t) {
    lines += "  track " + std::to_string(t) + ": 26 records: C" + std::to_string(t >> 1) + " H" +
             std::to_string(t & 1) + " R1-26 N1\n";
  }
  return lines;
}

// Every planned track after `from` missing, as the summary names them.
std::string MissingFrom(int from) {
  std::string text;
  for (int t = from; t <= 148; t += 2) text += (t == from ? "" : ", ") + std::to_string(t) + " (0 of 26)";
  return text;
}

TEST_F(ListRun, WellFormedImageIsCompleteForTheExtraction) {
  const testutil::ProcessResult r = List(Standard2HD(77, "SAMPLE").Build());
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "1 disk\ndisk 0: \"SAMPLE\", media type 0x20\n" + StandardLines(0, 153) +
                       "disk 0: d88adpcm tracks 72-148: complete\n");
}

TEST_F(ListRun, DamagedTracksAreNamedAndIdsListedAsTheyLie) {
  Disk d = Standard2HD(38, "DAMAGED");
  d.mediaType = 0x00;
  std::vector<testimage::Record>& t72 = d.tracks[72];
  t72.erase(t72.begin() + 12);  // sector 13 missing
  for (auto& rec : t72) rec.count = 25;
  std::vector<testimage::Record>& t74 = d.tracks[74];
  std::swap(t74[0], t74[2]);  // out of order: 3, 2, 1, 4, ...
  t74[5].data.resize(128);    // sector 6 short
  d.tracks[3] = {MakeRecord(1, 1, 9, 2, 1, Bytes(512, 1))};
  const testutil::ProcessResult r = List(d.Build());
  EXPECT_EQ(r.exitCode, 0);
  const std::string expected =
      "1 disk\ndisk 0: \"DAMAGED\", media type 0x00\n" + StandardLines(0, 2) +
      "  track 3: 1 record: C1 H1 R9 N2\n" + StandardLines(4, 71) +
      "  track 72: 25 records: C36 H0 R1-12 N1, C36 H0 R14-26 N1\n"
      "  track 73: 26 records: C36 H1 R1-26 N1\n"
      "  track 74: 26 records: C37 H0 R3 N1, C37 H0 R2 N1, C37 H0 R1 N1, C37 H0 R4-26 N1\n"
      "  track 75: 26 records: C37 H1 R1-26 N1\n"
      "disk 0: d88adpcm tracks 72-148: incomplete: 72 (12 of 26), 74 (5 of 26), " +
      MissingFrom(76) + "\n";
  EXPECT_EQ(r.out, expected);
}

TEST_F(ListRun, SeveralDisksEachGetTheirListingAndSummary) {
  Disk a;
  a.name = std::string("A\x01\"\\\x83\x74", 6);
  a.tracks[72] = StandardTrack(72, 26);
  Disk b;
  b.name = "0123456789ABCDEF";  // all 16 bytes, no terminator
  b.mediaType = 0x30;
  const testutil::ProcessResult r = List(Concat({a.Build(), b.Build()}));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out,
            "2 disks\n"
            "disk 0: \"A\\x01\\\"\\\\\x83\x74\", media type 0x20\n" +
                StandardLines(72, 72) +
                "disk 1: \"0123456789ABCDEF\", media type 0x30\n"
                "disk 0: d88adpcm tracks 72-148: incomplete: " +
                MissingFrom(74) +
                "\n"
                "disk 1: d88adpcm tracks 72-148: incomplete: " +
                MissingFrom(72) + "\n");
}

TEST_F(ListRun, RunsJoinOnlyWhereCHAndNAgreeAndNamesEscapeDelete) {
  Disk d;
  d.name = "DEL\x7F";
  d.tracks[0] = {MakeRecord(0, 0, 1, 1, 6, Bytes(256, 1)), MakeRecord(0, 0, 2, 2, 6, Bytes(512, 2)),
                 MakeRecord(1, 0, 3, 2, 6, Bytes(512, 3)), MakeRecord(1, 1, 4, 2, 6, Bytes(512, 4)),
                 MakeRecord(1, 1, 5, 2, 6, Bytes(512, 5)), MakeRecord(1, 1, 7, 2, 6, Bytes(512, 7))};
  d.tracks[72] = StandardTrack(72, 26);
  d.tracks[72].pop_back();  // sector 26 missing: 25 of 26
  for (auto& rec : d.tracks[72]) rec.count = 25;
  const testutil::ProcessResult r = List(d.Build());
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out,
            "1 disk\n"
            "disk 0: \"DEL\\x7F\", media type 0x20\n"
            "  track 0: 6 records: C0 H0 R1 N1, C0 H0 R2 N2, C1 H0 R3 N2, C1 H1 R4-5 N2, C1 H1 R7 N2\n"
            "  track 72: 25 records: C36 H0 R1-25 N1\n"
            "disk 0: d88adpcm tracks 72-148: incomplete: 72 (25 of 26), " +
                MissingFrom(74) + "\n");
}

TEST_F(ListRun, EmptyFileHoldsNoDisks) {
  const testutil::ProcessResult r = List({});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "0 disks\n");
}

TEST_F(ListRun, CommandLineAndOpenErrors) {
  ASSERT_EQ(mkdir(dir.File("folder").c_str(), 0755), 0);
  const struct {
    std::vector<std::string> argv;
    std::string err;
  } cases[] = {
      {{"d88ls"}, "Usage: d88ls IMAGE\n"},
      {{"d88ls", "a", "b"}, "Usage: d88ls IMAGE\n"},
      {{"d88ls", "missing.d88"}, "cannot open missing.d88\n"},
      {{"d88ls", "folder"}, "cannot open folder\n"},
  };
  for (const auto& c : cases) {
    const testutil::ProcessResult r = testutil::RunProcess(D88LS_PATH, c.argv, dir.path());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, c.err);
  }
}

}  // namespace
