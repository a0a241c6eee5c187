// d88ls as a user meets it: the built program run on images built in code.
#include <algorithm>

#include <gtest/gtest.h>

#include "kit/FaultyImages.h"
#include "kit/ImageBuilder.h"
#include "kit/Shapes.h"
#include "kit/TestUtil.h"
#include "tests/ImageNames.h"
#include "tests/ProgramRun.h"

using testutil::Text;

namespace {

class ListRun : public ProgramRun {
 protected:
  testutil::ProcessResult List(const Bytes& image) {
    Write("image.d88", image);
    return D88ls({"image.d88"});
  }
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

// Every planned track from `from` on missing, as the summary names them: one run.
std::string MissingFrom(int from) {
  return std::to_string(from) + (from < 148 ? "-148" : "") + " (0 of 26)";
}

TEST_F(ListRun, WellFormedImageIsCompleteForTheExtraction) {
  const testutil::ProcessResult r = List(Standard2HD(77, "SAMPLE").Build());
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, Text("1 disk\ndisk 0: \"SAMPLE\", media type 0x20 (2HD)\n" + StandardLines(0, 153) +
                       "disk 0: d88adpcm tracks 72-148: complete\n"));
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
      "1 disk\ndisk 0: \"DAMAGED\", media type 0x00 (2D)\n" + StandardLines(0, 2) +
      "  track 3: 1 record: C1 H1 R9 N2\n" + StandardLines(4, 71) +
      "  track 72: 25 records: C36 H0 R1-12 N1, C36 H0 R14-26 N1\n"
      "  track 73: 26 records: C36 H1 R1-26 N1\n"
      "  track 74: 26 records: C37 H0 R3 N1, C37 H0 R2 N1, C37 H0 R1 N1, C37 H0 R4-5 N1, C37 H0 R6 N1 (128 bytes), C37 H0 R7-26 N1\n"
      "  track 75: 26 records: C37 H1 R1-26 N1\n"
      "disk 0: d88adpcm tracks 72-148: incomplete: 72 (12 of 26), 74 (5 of 26), " +
      MissingFrom(76) + "\n";
  EXPECT_EQ(r.out, Text(expected));
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
  EXPECT_EQ(r.out, Text(
            "2 disks\n"
            "disk 0: \"A\\x01\\\"\\\\\x83\x74\", media type 0x20 (2HD)\n" +
                StandardLines(72, 72) +
                "disk 1: \"0123456789ABCDEF\", media type 0x30 (1D)\n"
                "disk 0: d88adpcm tracks 72-148: incomplete: " +
                MissingFrom(74) +
                "\n"
                "disk 1: d88adpcm reads disk 0 only; were this disk first, tracks 72-148 would be incomplete: " +
                MissingFrom(72) + "\n"));
}

TEST_F(ListRun, RunsJoinOnlyWhereCHAndNAgreeAndNamesEscapeDelete) {
  Disk d;
  d.name = "DEL\x7F";
  // R2 and R3 hold as many bytes as R1, so that only their N (and C) part them.
  d.tracks[0] = {MakeRecord(0, 0, 1, 1, 6, Bytes(256, 1)), MakeRecord(0, 0, 2, 2, 6, Bytes(256, 2)),
                 MakeRecord(1, 0, 3, 2, 6, Bytes(256, 3)), MakeRecord(1, 1, 4, 2, 6, Bytes(512, 4)),
                 MakeRecord(1, 1, 5, 2, 6, Bytes(512, 5)), MakeRecord(1, 1, 7, 2, 6, Bytes(512, 7))};
  d.tracks[72] = StandardTrack(72, 26);
  d.tracks[72].pop_back();  // sector 26 missing: 25 of 26
  for (auto& rec : d.tracks[72]) rec.count = 25;
  const testutil::ProcessResult r = List(d.Build());
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, Text(
            "1 disk\n"
            "disk 0: \"DEL\\x7F\", media type 0x20 (2HD)\n"
            "  track 0: 6 records: C0 H0 R1 N1, C0 H0 R2 N2 (256 bytes), C1 H0 R3 N2 (256 bytes), C1 H1 R4-5 N2, "
            "C1 H1 R7 N2\n"
            "  track 72: 25 records: C36 H0 R1-25 N1\n"
            "disk 0: d88adpcm tracks 72-148: incomplete: 72 (25 of 26), " +
                MissingFrom(74) + "\n"));
}

TEST_F(ListRun, ShapesOfRealImagesAreShownForWhatTheyAre) {
  const testutil::ProcessResult r = List(testimage::ShapesImage());
  EXPECT_EQ(r.exitCode, 0);
  // The file is cut short of the disk's size.
  EXPECT_EQ(r.err, Text("d88ls: image.d88: warning: the file is cut short: disk 0's size field says " +
                        std::to_string(testimage::ShapesDisk().Build().size()) + " bytes, the file holds " +
                        std::to_string(testimage::ShapesImage().size()) + " from it\n"));
  EXPECT_EQ(r.out, Text(
            "1 disk\n"
            "disk 0: \"SHAPES\", media type 0x20 (2HD)\n"
            "  track table: 160 entries\n"
            "  track 0: 26 records: C0 H0 R1-26 N0 (FM)\n"
            "  track 1: 26 records: C0 H1 R1-26 N1\n"
            "  track 2: unformatted\n"
            "  track 3: unformatted\n"
            "  track 4: 26 records: C2 H0 R1-4 N1, C2 H0 R5 N1 (deleted, deleted data mark), C2 H0 R6-8 N1, "
            "C2 H0 R9 N1 (data CRC error), C2 H0 R10-11 N1, C2 H0 R12 N1 (status 0x55), C2 H0 R13-26 N1\n" +
                StandardLines(72, 79) +
                "  track 80: 2 records: C40 H0 R1-2 N1; file ends inside the data of record 2\n"
                "disk 0: d88adpcm tracks 72-148: incomplete: 80 (1 of 26), " +
                MissingFrom(82) + "\n"));
}

TEST_F(ListRun, ShortTablesListOnlyTheirEntries) {
  // 154 entries: the bytes where entries 154 to 163 would be (track 0's
  // first header and sector data) include offsets inside the disk.
  const testutil::ProcessResult r = List(testimage::ShortTable2HD(154, 77, "PC98").Build());
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, Text("1 disk\ndisk 0: \"PC98\", media type 0x20 (2HD)\n  track table: 154 entries\n" +
                       StandardLines(0, 153) + "disk 0: d88adpcm tracks 72-148: complete\n"));
}

TEST_F(ListRun, MarksUnusualRecordsAndJoinsRunsOnlyWhereTheMarksAgree) {
  Disk d;
  d.name = "MARKS";
  d.mediaType = 0x10;
  d.writeProtect = 0x10;
  d.tracks[0] = StandardTrack(0, 6, 0);
  d.tracks[0][1].density = 0x40;
  d.tracks[0][2].density = 0x40;
  d.tracks[0][3].density = 0x01;
  d.tracks[0][4].deleted = 0x02;
  d.tracks[0][5].data.resize(200);
  // Counts that run on: into track 2, and to the disk's end.
  d.tracks[1] = StandardTrack(1, 2);
  for (auto& rec : d.tracks[1]) rec.count = 5;
  d.tracks[2] = {MakeRecord(1, 0, 1, 1, 1, Bytes(256, 1)), MakeRecord(1, 0, 2, 1, 0, Bytes(256, 2))};
  d.tracks[2][0].count = 3;
  d.tracks[3] = StandardTrack(3, 1);
  d.tracks[3][0].count = 4;
  Disk next;
  next.name = "NEXT";
  next.mediaType = 0x55;
  const testutil::ProcessResult r = List(Concat({d.Build(), next.Build()}));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, Text(
            "2 disks\n"
            "disk 0: \"MARKS\", media type 0x10 (2DD), write-protected\n"
            "  track 0: 6 records: C0 H0 R1 N0, C0 H0 R2-3 N0 (FM), C0 H0 R4 N0 (density 0x01), "
            "C0 H0 R5 N0 (deleted mark 0x02), C0 H0 R6 N0 (200 bytes)\n"
            "  track 1: 2 records: C0 H1 R1-2 N1; counts run on into the next track\n"
            "  track 2: 1 record: C1 H0 R1 N1; then a header saying 0 records\n"
            "  track 3: 1 record: C1 H1 R1 N1; the disk ends after record 1, though its count says 4\n"
            "disk 1: \"NEXT\", media type 0x55\n"
            "disk 0: d88adpcm tracks 72-148: incomplete: " +
                MissingFrom(72) +
                "\ndisk 1: d88adpcm reads disk 0 only; were this disk first, tracks 72-148 would be incomplete: " +
                MissingFrom(72) + "\n"));
}

// Names are taken a Shift_JIS character at a time: 0x5C that ends a
// character is no backslash, and a byte that begins no character is
// escaped, so that the quote after it keeps its own escape.
TEST_F(ListRun, NamesKeepTheirShiftJisCharactersWhole) {
  const testutil::ProcessResult r = List(testimage::ShiftJisNamesImage());
  EXPECT_EQ(r.exitCode, 0);
  const std::string heading[] = {"disk 0: \"\x83\x5C\x83\x74\x83\x67\x95\x5C\x8E\xA6\", media type 0x20 (2HD)\n",
                                 "disk 1: \"\x94\x5C\x8F\x5C\x97\x5C\", media type 0x20 (2HD)\n",
                                 "disk 2: \"\\x81\\\"><svg onload=\\\"\", media type 0x20 (2HD)\n"};
  for (const std::string& line : heading) EXPECT_NE(r.out.find(Text(line)), std::string::npos) << line << r.out;
  // A pair cut off by the name's end; 0x80 and 0xA0, no characters; a
  // half-width katakana, one.
  const testutil::ProcessResult odd = List(Concat({Standard2HD(1, "AB\x83").Build(), Standard2HD(1, "\x80\xA0\xB1").Build()}));
  EXPECT_NE(odd.out.find(Text("disk 0: \"AB\\x83\", media")), std::string::npos) << odd.out;
  EXPECT_NE(odd.out.find(Text("disk 1: \"\\x80\\xA0\xB1\", media")), std::string::npos) << odd.out;
}

TEST_F(ListRun, SectorsOfAnotherSizeAreSaidOnceInTheSummary) {
  const struct {
    const char* what;
    Disk disk;
  } cases[] = {
      {"8 x 1024", testimage::SectorSizeDisk(77, 8, 3, "PC98")},
      {"9 x 512", testimage::SectorSizeDisk(80, 9, 2, "2DD")},
  };
  for (const auto& c : cases) {
    const testutil::ProcessResult r = List(c.disk.Build());
    EXPECT_NE(r.out.find(Text("disk 0: d88adpcm tracks 72-148: incomplete: 72-148 (0 of 26); d88adpcm reads sectors of "
                              "256 bytes (N1), tracks 72-148 hold other sizes\n")),
              std::string::npos)
        << c.what << "\n" << r.out.substr(r.out.size() - 300);
  }
  // Only where the sector d88adpcm misses is there in another size: track
  // 74 lacks R1 at all, track 76 has it in both sizes but the 256-byte one
  // is short, track 78 in 512 bytes only.
  Disk mixed;
  for (int t = 72; t <= 148; t += 2) mixed.tracks[t] = StandardTrack(t, 26);
  mixed.tracks[74].erase(mixed.tracks[74].begin());
  mixed.tracks[76][0].data.resize(100);
  mixed.tracks[76].insert(mixed.tracks[76].begin() + 1, MakeRecord(38, 0, 1, 2, 27, Bytes(512, 1)));
  for (testimage::Record& rec : mixed.tracks[76]) rec.count = 27;
  mixed.tracks[78][0] = MakeRecord(39, 0, 1, 2, 26, Bytes(512, 1));
  mixed.tracks[82][5] = MakeRecord(41, 0, 6, 3, 26, Bytes(1024, 1));
  const testutil::ProcessResult r = List(mixed.Build());
  EXPECT_NE(r.out.find(Text("disk 0: d88adpcm tracks 72-148: incomplete: 74-78 (0 of 26), 82 (5 of 26); d88adpcm reads "
                            "sectors of 256 bytes (N1), tracks 78, 82 hold other sizes\n")),
            std::string::npos)
      << r.out.substr(r.out.size() - 300);
}

// The reader takes 64 disks; a file that goes on past them says so, and
// the 64 are listed all the same.
TEST_F(ListRun, AFileThatGoesOnPastTheLastDiskReadIsSaid) {
  Write("image.d88", Concat(std::vector<Bytes>(65, Standard2HD(1).Build())));
  const std::string warning = "d88ls: image.d88: warning: the file goes on past disk 63, the last of the 64 disks d88ls reads";
  const testutil::ProcessResult text = D88ls({"image.d88"});
  EXPECT_EQ(text.exitCode, 0);
  EXPECT_EQ(text.err, Text(warning + "\n"));
  EXPECT_EQ(text.out.substr(0, Text("64 disks\n").size()), Text("64 disks\n"));
  const testutil::ProcessResult json = D88ls({"--json", "image.d88"});
  EXPECT_EQ(json.exitCode, 0);
  EXPECT_EQ(json.err, Text(warning + "\n"));
  EXPECT_NE(json.out.find("  \"warnings\": [\n    \"" + warning + "\"\n  ]\n}\n"), std::string::npos);
}

TEST_F(ListRun, ListingStaysProportionalToTheRecordsThere) {
  Disk unformatted = Standard2HD(77, "BLANKS");
  for (int t = 100; t < 154; ++t) {
    unformatted.tracks.erase(t);
    unformatted.rawTracks[t] = testimage::Unformatted(26 * 272);
  }
  const std::pair<const char*, Bytes> images[] = {
      {"sample", Standard2HD(77).Build()},
      {"shapes", testimage::ShapesImage()},
      {"160 entries", testimage::ShortTable2HD(160, 80).Build()},
      {"154 entries", testimage::ShortTable2HD(154, 77).Build()},
      {"zero-filled tracks, then another disk", Concat({unformatted.Build(), Standard2HD(77).Build()})},
  };
  for (const auto& [what, image] : images) {
    const testutil::ProcessResult r = List(image);
    EXPECT_EQ(r.exitCode, 0) << what;
    size_t longest = 0, lines = 0;
    for (size_t at = 0; at < r.out.size(); ++lines) {
      const size_t end = r.out.find('\n', at);
      longest = std::max(longest, end - at);
      at = end + 1;
    }
    EXPECT_LE(longest, 1024u) << what;
    EXPECT_LE(lines, 2u * (160 + 4)) << what;  // a line a track and a few per disk
  }
}

TEST_F(ListRun, EmptyFileHoldsNoDisksAndSaysSoOnStandardError) {
  const testutil::ProcessResult r = List({});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, Text("0 disks\n"));
  EXPECT_EQ(r.err, Text("d88ls: image.d88: no disk found\n"));
}

TEST_F(ListRun, JsonGoesToStandardOutputAndWarningsStillToStandardError) {
  testutil::WriteFile(dir.File("image.d88"), Bytes(kDiskHeaderSize, 0));
  const testutil::ProcessResult r = D88ls({"--json", "image.d88"});
  EXPECT_EQ(r.exitCode, 0);
  const std::string warning = "d88ls: image.d88: warning: disk 0 does not look like a D88 disk: its size field says 0 "
                              "bytes, the file holds 688 from it; no track entry points inside it";
  EXPECT_EQ(r.err, Text(warning + "\n"));
  // The same bytes on every platform: line feeds only.
  const std::string start = "{\n  \"image\": \"image.d88\",\n  \"file_size\": 688,\n";
  EXPECT_EQ(r.out.substr(0, start.size()), start);
  EXPECT_NE(r.out.find("  \"warnings\": [\n    \"" + warning + "\"\n  ]\n}\n"), std::string::npos) << r.out;
}

}  // namespace
