// d88ls --svg: the picture of a disk, drawn from images built in code.
#include "d88ls/ListCommand.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kit/FaultyImages.h"
#include "kit/ImageBuilder.h"
#include "kit/SampleDisks.h"
#include "kit/Shapes.h"
#include "kit/TestUtil.h"
#include "kit/WebImages.h"
#include "tests/ImageNames.h"

namespace {

class Picture : public ::testing::Test {
 protected:
  std::string Draw(const Bytes& image) {
    testutil::WriteFile(dir.File("image.d88"), image);
    return DrawOpen(dir.File("image.d88"), "title");
  }
  // The picture of the image at `path`, headed `title`.
  std::string DrawOpen(const std::string& path, const std::string& title) {
    if (!d88.Open(path.c_str())) return "cannot open";
    std::string svg;
    Renderings what;
    what.svg = &svg;
    what.title = title;
    RenderImage(d88, DescribeImage(d88), what);
    return svg;
  }
  testutil::TempDir dir;
  D88File d88;
};

// The row of track `t`: its group in the picture, or "" when it has none.
std::string Row(const std::string& svg, int t, int disk = 0) {
  const size_t diskAt = svg.find("<g class=\"disk\" id=\"disk-" + std::to_string(disk) + "\">");
  if (diskAt == std::string::npos) return "";
  const size_t at = svg.find("<g class=\"track\" data-track=\"" + std::to_string(t) + "\">", diskAt);
  if (at == std::string::npos) return "";
  // The row's group closes on a line of its own; a run's, inside the row, does not.
  return svg.substr(at, svg.find("\n</g>", at) - at);
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// The title of the cell whose <rect> begins at `at`: its own, or that of the
// run whose group holds it.
std::string TitleOf(const std::string& svg, size_t at) {
  const size_t close = svg.find('>', at);
  if (svg[close - 1] == '/') at = svg.rfind("<g class=\"run\"", at);
  const size_t title = svg.find("<title>", at) + 7;
  return svg.substr(title, svg.find("</title>", title) - title);
}

// Whether `row` holds a cell of kind `kind` titled `title`.
bool HasCell(const std::string& row, const std::string& kind, const std::string& title) {
  for (size_t at = row.find("<rect class=\"" + kind + "\""); at != std::string::npos;
       at = row.find("<rect class=\"" + kind + "\"", at + 1)) {
    if (TitleOf(row, at) == title) return true;
  }
  return false;
}

// A track of the sample whose record 5 carries C 99: another track's ID.
Disk OtherIdDisk() {
  Disk disk = testimage::SampleDisk("OTHER");
  disk.tracks[10][4].c = 99;
  return disk;
}

// Every class of cell, with the title the listing's words give it: on each
// image, the rows and the cells looked for in them.
TEST_F(Picture, EveryKindOfRecordShowsWithItsClassAndTitle) {
  struct Cell {
    int track;
    const char* kind;
    const char* title;
  };
  Disk longSector = testimage::Four();
  longSector.tracks[72][1].data.resize(300);
  const struct {
    const char* image;
    Bytes bytes;
    std::vector<Cell> cells;
  } images[] = {
      {"sample", testimage::SampleDisk().Build(),
       {{36, "present", "track 36: records 1-26: C18 H0 R1-26 N1: 26 sectors of 256 bytes"}}},
      {"damaged", testimage::DamagedSampleDisk().Build(),
       {{80, "missing", "track 80: C40 H0 R13 N1 missing"},
        {90, "short", "track 90: record 21: C45 H0 R21 N1 (128 bytes)"},
        {100, "missing", "track 100: C50 H0 R26 N1 missing"},
        {82, "present", "track 82: record 4: C41 H0 R5 N1"}}},
      {"shapes", testimage::ShapesImage(),
       {{0, "fm", "track 0: records 1-26: C0 H0 R1-26 N0 (FM): 26 sectors of 128 bytes"},
        {4, "deleted", "track 4: record 5: C2 H0 R5 N1 (deleted, deleted data mark)"},
        {4, "error", "track 4: record 9: C2 H0 R9 N1 (data CRC error)"},
        {4, "error", "track 4: record 12: C2 H0 R12 N1 (status 0x55)"},
        // The file ends inside the data of track 80's second record.
        {80, "short", "track 80: record 2: C40 H0 R2 N1 (file ends after 100 of them)"},
        {80, "missing", "track 80: C40 H0 R3 N1 missing"}}},
      {"other ID", OtherIdDisk().Build(),
       {{10, "other", "track 10: record 5: C99 H0 R5 N1, not this track&apos;s ID"},
        {10, "missing", "track 10: C5 H0 R5 N1 missing"}}},
      // Long data is no fault of the sector's own: present, its size marked.
      {"long sector", longSector.Build(), {{72, "present", "track 72: record 2: C36 H0 R2 N1 (300 bytes)"}}},
      {"odd marks", testimage::OddMarksDisk().Build(),
       {// A density byte other than 0x40 is not single density.
        {72, "present", "track 72: records 1-2: C36 H0 R1-2 N1 (density 0x01): 2 sectors of 256 bytes"},
        // The status 0x10 says deleted data, with no deleted byte; a deleted
        // byte other than 0x10 says nothing the listing names.
        {72, "deleted", "track 72: record 3: C36 H0 R3 N1 (deleted data mark)"},
        {72, "present", "track 72: record 4: C36 H0 R4 N1 (deleted mark 0x02)"},
        // Size codes past 7: the sectors' size as recorded, never 128 << N.
        {0, "present", "track 0: records 1-2: C0 H0 R1-2 N24 (0 bytes): 2 sectors of 0 bytes"},
        {0, "present", "track 0: records 3-4: C0 H0 R3-4 N25 (0 bytes): 2 sectors of 0 bytes"},
        {0, "present", "track 0: record 5: C0 H0 R5 N255 (0 bytes)"}}},
      // The track's own IDs, of another size than d88adpcm reads.
      {"8 x 1024", testimage::SectorSizeDisk(77, 8, 3, "PC98").Build(),
       {{72, "present", "track 72: records 1-8: C36 H0 R1-8 N3: 8 sectors of 1024 bytes"}}},
  };
  for (const auto& image : images) {
    const std::string svg = Draw(image.bytes);
    for (const Cell& c : image.cells) {
      const std::string row = Row(svg, c.track);
      EXPECT_TRUE(HasCell(row, c.kind, c.title)) << image.image << ", track " << c.track << ": " << c.title << "\n" << row;
    }
  }
}

// A record of a run that the file cuts is drawn for what it is, under a
// title of its own, inside the run the listing writes.
TEST_F(Picture, ARunTheFileCutsKeepsItsRunAndShowsTheCut) {
  const Bytes whole = testimage::Standard2HD(1).Build();
  const std::string row = Row(Draw(Slice(whole, 0, whole.size() - 100)), 1);
  EXPECT_NE(row.find("<title>track 1: records 1-26: C0 H1 R1-26 N1: 26 sectors of 256 bytes</title>"), std::string::npos);
  EXPECT_EQ(Count(row, "<rect class=\"present\""), 25u);
  EXPECT_TRUE(HasCell(row, "short", "track 1: record 26: C0 H1 R26 N1 (file ends after 156 of them)")) << row;
  EXPECT_NE(row.find(">file ends inside the data of record 26</text>"), std::string::npos);
}

// The value of attribute `name` in the element that begins at `at`, or ""
// when it has none.
std::string Attribute(const std::string& svg, size_t at, const std::string& name) {
  const size_t end = svg.find('>', at);
  const size_t found = svg.find(" " + name + "=\"", at);
  if (found == std::string::npos || found > end) return "";
  const size_t value = found + name.size() + 3;
  return svg.substr(value, svg.find('"', value) - value);
}

// Each cell of `row` in order, as "CLASS DISK TRACK RECORD" ("-" where an
// attribute is missing).
std::vector<std::string> Places(const std::string& row) {
  std::vector<std::string> places;
  for (size_t at = row.find("<rect class=\""); at != std::string::npos; at = row.find("<rect class=\"", at + 1)) {
    const std::string kind = Attribute(row, at, "class");
    if (kind.compare(0, 4, "plan") == 0) continue;
    std::string place = kind;
    for (const char* name : {"data-disk", "data-track", "data-record"}) {
      const std::string value = Attribute(row, at, name);
      place += " " + (value.empty() ? std::string("-") : value);
    }
    places.push_back(place);
  }
  return places;
}

TEST_F(Picture, EveryRecordIsACellThatNamesItsDiskTrackAndPlaceInTheWalk) {
  Disk second = testimage::Standard2HD(2, "SECOND");
  second.tracks[3] = {testimage::MakeRecord(1, 1, 2, 1, 3, Bytes(256, 1)), testimage::MakeRecord(1, 1, 2, 1, 3, Bytes(128, 2)),
                      testimage::MakeRecord(1, 1, 4, 1, 3, Bytes(256, 3))};
  const std::string svg = Draw(testimage::Concat({testimage::DamagedSampleDisk().Build(), second.Build()}));
  // A run is a group of cells, one a record.
  std::vector<std::string> run;
  for (int r = 1; r <= 26; ++r) run.push_back("present 1 2 " + std::to_string(r));
  EXPECT_EQ(Places(Row(svg, 2, 1)), run);
  EXPECT_EQ(Count(Row(svg, 2, 1), "<g class=\"run\""), 1u);
  // Records in the walk's order, a duplicate ID and a short one among them,
  // then the sectors the track lacks, which are no record.
  EXPECT_EQ(Places(Row(svg, 3, 1)), (std::vector<std::string>{"present 1 3 1", "short 1 3 2", "present 1 3 3",
                                                              "missing 1 3 -", "missing 1 3 -"}));
  const std::vector<std::string> track80 = Places(Row(svg, 80, 0));
  ASSERT_EQ(track80.size(), 26u);
  EXPECT_EQ(track80[24], "present 0 80 25");
  EXPECT_EQ(track80[25], "missing 0 80 -");
  EXPECT_EQ(Places(Row(svg, 100, 0)), std::vector<std::string>(26, "missing 0 100 -"));
}

// The note at the end of each row of `svg`'s disk 0 that holds `what`.
size_t RowsSaying(const std::string& svg, const std::string& what) {
  size_t rows = 0;
  for (size_t at = svg.find("<g class=\"track\""); at != std::string::npos; at = svg.find("<g class=\"track\"", at + 1)) {
    const std::string row = svg.substr(at, svg.find("\n</g>", at) - at);
    if (row.find(what) != std::string::npos) ++rows;
  }
  return rows;
}

TEST_F(Picture, ARowSaysWhatTheListingSaysOfHowItsWalkEnded) {
  // The file ends in one track, 5 records into track 90; the 63 after it
  // begin past its end.
  const Bytes sample = testimage::SampleDisk().Build();
  const size_t track90 = GetLE32(&sample[kTrackTableOffset + 4 * 90]);
  const std::string cut = Draw(Slice(sample, 0, track90 + 5 * (kSectorHeaderSize + 256)));
  EXPECT_EQ(RowsSaying(cut, "file ends"), 1u);
  EXPECT_NE(Row(cut, 90).find(">file ends after record 5; d88adpcm reads 5 of 26</text>"), std::string::npos) << Row(cut, 90);
  EXPECT_EQ(RowsSaying(cut, ">past the end of the file"), 63u);
  EXPECT_NE(Row(cut, 91).find(">past the end of the file</text>"), std::string::npos);
  // Grey, as an absent track: nothing of it is in the file.
  EXPECT_NE(Row(cut, 91).find("fill=\"#666666\">track 91</text>"), std::string::npos);
  EXPECT_NE(Row(cut, 90).find("fill=\"#333333\">track 90</text>"), std::string::npos);
  EXPECT_NE(Row(cut, 92).find(">past the end of the file; d88adpcm reads 0 of 26</text>"), std::string::npos);

  // A track cut inside its first header is no unformatted track.
  const std::string header = Draw(Slice(sample, 0, track90 + 3));
  EXPECT_NE(Row(header, 90).find(">file ends inside the header of record 1;"), std::string::npos) << Row(header, 90);
  EXPECT_EQ(RowsSaying(header, "unformatted"), 0u);
  const std::string shapes = Draw(testimage::ShapesImage());
  EXPECT_NE(Row(shapes, 2).find(">unformatted</text>"), std::string::npos) << Row(shapes, 2);
}

TEST_F(Picture, OnlyThreeOrMoreAbsentTracksInARowShareOne) {
  Disk d = testimage::Standard2HD(5);  // tracks 0 to 9
  d.tracks.erase(1);
  d.tracks.erase(2);          // two absent: a row each
  for (int t : {5, 6, 7}) d.tracks.erase(t);  // three: one row
  const std::string svg = Draw(d.Build());
  EXPECT_NE(Row(svg, 1).find(">absent</text>"), std::string::npos);
  EXPECT_NE(Row(svg, 2).find(">absent</text>"), std::string::npos);
  EXPECT_EQ(Row(svg, 6), "");
  EXPECT_NE(svg.find("<g class=\"track\" data-track=\"5-7\">"), std::string::npos);
  // After track 9 up to 71, then those after 148: absent, not drawn apart.
  EXPECT_NE(svg.find("<g class=\"track\" data-track=\"10-71\">"), std::string::npos);
  EXPECT_EQ(svg.find("data-track=\"149"), std::string::npos);
  // A track d88adpcm reads has a row of its own, every sector missing.
  const std::string row = Row(Draw(testimage::DamagedSampleDisk().Build()), 100);
  EXPECT_EQ(Count(row, "<rect class=\"missing\""), 26u);
  EXPECT_NE(row.find("absent; d88adpcm reads 0 of 26"), std::string::npos);
}

TEST_F(Picture, OnDiskZeroTheTracksD88adpcmReadsAreOutlinedAndTheIncompleteOnesNamed) {
  const std::string sample = Draw(testimage::SampleDisk().Build());
  EXPECT_EQ(Count(sample, "<rect class=\"plan\""), 39u);
  EXPECT_EQ(Count(sample, "<rect class=\"plan incomplete\""), 0u);
  EXPECT_NE(sample.find(">disk 0: d88adpcm tracks 72-148: complete</text>"), std::string::npos);

  const std::string damaged = Draw(testimage::DamagedSampleDisk().Build());
  EXPECT_EQ(Count(damaged, "<rect class=\"plan\""), 36u);
  for (const auto& [track, note] : {std::pair<int, const char*>{80, ">d88adpcm reads 12 of 26</text>"},
                                    {90, ">d88adpcm reads 20 of 26</text>"},
                                    {100, "d88adpcm reads 0 of 26</text>"}}) {
    const std::string row = Row(damaged, track);
    EXPECT_NE(row.find("<rect class=\"plan incomplete\""), std::string::npos) << track;
    EXPECT_NE(row.find(note), std::string::npos) << track << ": " << row;
  }
  EXPECT_NE(damaged.find(">disk 0: d88adpcm tracks 72-148: incomplete: 80 (12 of 26), 90 (20 of 26), 100 (0 of 26)<"),
            std::string::npos);
  // A track outside the plan is not outlined, however damaged.
  EXPECT_EQ(Row(Draw(OtherIdDisk().Build()), 10).find("class=\"plan"), std::string::npos);

  // The summary in the listing's runs, a line for all.
  const std::string cut = Draw(Slice(testimage::SampleDisk().Build(), 0, 700000));
  EXPECT_NE(cut.find(">disk 0: d88adpcm tracks 72-148: incomplete: 98 (23 of 26), 100-148 (0 of 26)</text>"),
            std::string::npos);
  // Sectors of another size: said once, that d88adpcm reads 256 bytes.
  const std::string pc98 = Draw(testimage::SectorSizeDisk(77, 8, 3, "PC98").Build());
  EXPECT_NE(pc98.find(">disk 0: d88adpcm tracks 72-148: incomplete: 72-148 (0 of 26); d88adpcm reads sectors of 256 "
                      "bytes (N1), tracks 72-148 hold other sizes</text>"),
            std::string::npos);
  EXPECT_EQ(Count(pc98, "class=\"missing\""), 0u);
  EXPECT_EQ(Count(pc98, "class=\"other\""), 0u);
}

TEST_F(Picture, DisksAfterTheFirstAreNotDrawnAsWhatD88adpcmReads) {
  const std::string svg = Draw(testimage::Concat({testimage::Standard2HD(40, "FIRST").Build(),
                                                 testimage::SampleDisk("SECOND").Build(),
                                                 testimage::Standard2HD(40, "THIRD").Build()}));
  // Nothing of a disk after the first is drawn past its last track.
  const std::string third = svg.substr(svg.find("<g class=\"disk\" id=\"disk-2\">"));
  EXPECT_NE(third.find("data-track=\"79\""), std::string::npos);
  EXPECT_EQ(third.find("data-track=\"80"), std::string::npos);
  const std::string second = svg.substr(svg.find("<g class=\"disk\" id=\"disk-1\">"));
  EXPECT_NE(second.find(">disk 1: &quot;SECOND&quot;, media type 0x20 (2HD)</text>"), std::string::npos);
  EXPECT_NE(second.find(">disk 1: d88adpcm reads disk 0 only; were this disk first, tracks 72-148 would be complete</text>"),
            std::string::npos);
  EXPECT_EQ(second.find("class=\"plan"), std::string::npos);
  EXPECT_EQ(second.find("d88adpcm reads 0"), std::string::npos);
  EXPECT_NE(Row(svg, 79, 1).find("C39 H1 R1-26 N1"), std::string::npos);
  // Disk 0, 40 cylinders long, is outlined and named where d88adpcm misses.
  EXPECT_NE(Row(svg, 80, 0).find("absent; d88adpcm reads 0 of 26"), std::string::npos);
  EXPECT_EQ(Count(svg.substr(0, svg.find("id=\"disk-1\"")), "class=\"plan"), 39u);
}

TEST_F(Picture, HeadingsAreTheListingsDisksWithTheirNames) {
  Disk marks = testimage::Standard2HD(2, "<&\"'>\\\x01");
  marks.writeProtect = 0x10;
  const std::string escaped = Draw(marks.Build());
  EXPECT_NE(escaped.find(">disk 0: &quot;&lt;&amp;\\&quot;&apos;&gt;\\\\\\x01&quot;, media type 0x20 (2HD), "
                         "write-protected</text>"),
            std::string::npos)
      << escaped;
  EXPECT_EQ(escaped.find("<?xml"), std::string::npos);
  EXPECT_NE(Draw(testimage::ShortTable2HD(160, 2).Build()).find(", media type 0x20 (2HD), track table: 160 entries</text>"),
            std::string::npos);

  // A Shift_JIS name, decoded, as character references: the document stays
  // ASCII, and any reader shows the name.
  const std::string sjis = Draw(testimage::SampleDisk(testimage::ShiftJisName()).Build());
  EXPECT_NE(sjis.find("&quot;&#x97F3;&#x58F0;&#x30B5;&#x30F3;&#x30D7;&#x30EB;&quot;"), std::string::npos);
  // ソフト表示 and 能十予: 0x5C ends a character, and is no backslash; a lead
  // byte before a quote is no character, and the quote keeps its escape.
  const std::string names = Draw(testimage::ShiftJisNamesImage());
  EXPECT_NE(names.find(">disk 0: &quot;&#x30BD;&#x30D5;&#x30C8;&#x8868;&#x793A;&quot;,"), std::string::npos);
  EXPECT_NE(names.find(">disk 1: &quot;&#x80FD;&#x5341;&#x4E88;&quot;,"), std::string::npos);
  EXPECT_NE(names.find(">disk 2: &quot;\\x81\\&quot;&gt;&lt;svg onload=\\&quot;&quot;,"), std::string::npos);

  // Bytes that are no Shift_JIS text are escaped, also beside a name that
  // decodes.
  const std::string raw = Draw(testimage::Concat({testimage::Standard2HD(2, "A\x80\xFD\x81").Build(),
                                                 testimage::Standard2HD(2, testimage::ShiftJisName()).Build()}));
  EXPECT_NE(raw.find("&quot;A\\x80\\xFD\\x81&quot;"), std::string::npos);
  EXPECT_NE(raw.find("&quot;&#x97F3;&#x58F0;"), std::string::npos);
  for (const char ch : raw) ASSERT_LT(static_cast<unsigned char>(ch), 0x80);
}

TEST_F(Picture, LongTracksAreCutToTheRowAndCounted) {
  Disk disk;
  disk.name = "LONG";
  disk.tracks[0] = testimage::StandardTrack(0, 100, 0);
  for (testimage::Record& rec : disk.tracks[0]) rec.density = 0x40;
  const std::string row = Row(Draw(disk.Build()), 0);
  EXPECT_EQ(Count(row, "<rect class=\"fm\""), 64u);
  EXPECT_NE(row.find("and 36 more not drawn"), std::string::npos);
}

TEST_F(Picture, TheSameImageGivesTheSameBytes) {
  const Bytes image = testimage::ShapesImage();
  const std::string first = Draw(image);
  EXPECT_EQ(Draw(image), first);
  EXPECT_EQ(Draw({}), Draw({}));
}

// d88ls --svg FILE, the program itself.
TEST_F(Picture, TheCommandWritesThePictureWholeOrSaysWhyNot) {
  testutil::WriteFile(dir.File("damaged.d88"), testimage::DamagedSampleDisk().Build());
  const testutil::ProcessResult listed = testutil::RunProcess(D88LS_PATH, {"d88ls", "damaged.d88"}, dir.path());
  const testutil::ProcessResult drawn =
      testutil::RunProcess(D88LS_PATH, {"d88ls", "--svg", "disk.svg", "damaged.d88"}, dir.path());
  EXPECT_EQ(drawn.exitCode, 0);
  EXPECT_EQ(drawn.out, listed.out);
  EXPECT_EQ(drawn.err, "");
  Bytes svg;
  ASSERT_TRUE(testutil::ReadFile(dir.File("disk.svg"), &svg));
  EXPECT_EQ(std::string(svg.begin(), svg.end()), DrawOpen(dir.File("damaged.d88"), "damaged.d88: 1 disk"));
  EXPECT_FALSE(testutil::Exists(dir.File("disk.svg.part")));

  // A folder where the picture should go: the listing, then the reason.
  ASSERT_TRUE(testutil::MakeDir(dir.File("folder.svg")));
  const testutil::ProcessResult failed =
      testutil::RunProcess(D88LS_PATH, {"d88ls", "--svg", "folder.svg", "damaged.d88"}, dir.path());
  EXPECT_EQ(failed.exitCode, 1);
  EXPECT_EQ(failed.out, listed.out);
  EXPECT_EQ(failed.err, testutil::Text(std::string("d88ls: folder.svg: ") + testutil::kFolderReason + "\n"));
  EXPECT_FALSE(testutil::Exists(dir.File("folder.svg.part")));
}

}  // namespace
