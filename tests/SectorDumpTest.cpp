// d88ls --sector DISK:TRACK:RECORD: one record and its bytes, in-process
// and as a user meets the program.
#include "d88ls/SectorDump.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "d88ls/ListCommand.h"
#include "kit/ImageBuilder.h"
#include "kit/SampleDisks.h"
#include "tests/ProgramRun.h"

using testimage::Bytes;
using testimage::Disk;
using testimage::MakeRecord;
using testutil::Text;

namespace {

std::string Dump(const Bytes& bytes, testutil::TempDir& dir) {
  CapturedStream out(dir.File("dump.txt"));
  DumpBytes(bytes.data(), bytes.size(), out.get());
  return out.Text();
}

Bytes Of(const std::string& text) { return Bytes(text.begin(), text.end()); }

TEST(SectorDump, LinesOfSixteenWithTheirTextInAsciiAndShiftJis) {
  testutil::TempDir dir;
  const std::string hex16 = "00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f";
  const struct {
    const char* what;
    Bytes bytes;
    std::string dump;
  } cases[] = {
      {"nothing", {}, ""},
      {"control bytes are dots", Of(std::string("\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f", 16)),
       "0000  " + hex16 + "  ................\n"},
      {"printable ASCII as itself, DEL a dot, a short line padded", Of("A \\~\x7F" "z"),
       "0000  41 20 5c 7e 7f 7a                                A \\~.z\n"},
      // ソ and 表 end in 0x5C, which is no backslash there.
      {"double-byte characters as their bytes", Of("\x83\x5C\x95\x5C!"),
       "0000  83 5c 95 5c 21                                   \x83\x5C\x95\x5C!\n"},
      {"half-width katakana as their byte; 0x80, 0xA0 and 0xFD are dots", Of("\xB1\x80\xA0\xFD"),
       "0000  b1 80 a0 fd                                      \xB1...\n"},
      // A lead byte with no trail it pairs with is a dot, and the byte after
      // it is read afresh: the quote is itself.
      {"a lead byte before a quote", Of("\x81\x22\x85\x40"), "0000  81 22 85 40                                      .\".@\n"},
      {"a lead byte at the end", Of("A\x88"), "0000  41 88                                            A.\n"},
      {"a character across two lines: whole on the first, a space in its place on the second",
       Of("0123456789ABCDE\x88\x9F" "F"),
       "0000  30 31 32 33 34 35 36 37 38 39 41 42 43 44 45 88  0123456789ABCDE\x88\x9F\n"
       "0010  9f 46                                             F\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(Dump(c.bytes, dir), c.dump) << c.what;
  Bytes counting(0x30);
  for (size_t i = 0; i < counting.size(); ++i) counting[i] = static_cast<uint8_t>(i);
  const std::string dump = Dump(counting, dir);
  EXPECT_EQ(dump.substr(dump.find("0020 "), 6 + 47), "0020  20 21 22 23 24 25 26 27 28 29 2a 2b 2c 2d 2e 2f");
}

// An image with a record of each kind --sector must show: an ordinary one,
// one with marks, two with the same ID, and one the file cuts.
Disk SectorDisk() {
  Disk d = testimage::Standard2HD(1, "SECTORS");
  d.tracks[1] = {MakeRecord(0, 1, 1, 1, 4, Bytes(256, 0x41)), MakeRecord(0, 1, 2, 1, 4, Bytes(128, 0x42)),
                 MakeRecord(0, 1, 2, 1, 4, Bytes(16, 0x43)), MakeRecord(0, 1, 4, 1, 4, Bytes(256, 0x44))};
  d.tracks[1][1].deleted = 0x10;
  d.tracks[1][1].status = 0xB0;
  return d;
}

class SectorRun : public ProgramRun {};

TEST_F(SectorRun, EachRecordOfTheWalkWithItsIdMarksSizeAndBytes) {
  const Bytes whole = SectorDisk().Build();
  Write("image.d88", testimage::Slice(whole, 0, whole.size() - 250));  // 6 bytes into the last record's data
  D88File d88;
  ASSERT_TRUE(d88.Open(dir.File("image.d88").c_str()));
  const std::string line16 = "41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41  AAAAAAAAAAAAAAAA\n";
  const struct {
    SectorChoice choice;
    std::string first;  // the first line
    size_t lines;       // all of them
    std::string last;   // the last line
  } cases[] = {
      {{0, 1, 1}, "C0 H1 R1 N1: 256 bytes", 17, "00f0  " + line16},
      {{0, 1, 2}, "C0 H1 R2 N1 (deleted, data CRC error, 128 bytes): 128 bytes", 9,
       "0070  42 42 42 42 42 42 42 42 42 42 42 42 42 42 42 42  BBBBBBBBBBBBBBBB\n"},
      // The second record of that ID, which a search by ID never reaches.
      {{0, 1, 3}, "C0 H1 R2 N1 (16 bytes): 16 bytes", 2,
       "0000  43 43 43 43 43 43 43 43 43 43 43 43 43 43 43 43  CCCCCCCCCCCCCCCC\n"},
      {{0, 1, 4}, "C0 H1 R4 N1 (file ends after 6 of them): 256 bytes", 2,
       "0000  44 44 44 44 44 44                                DDDDDD\n"},
      {{0, 0, 26}, "C0 H0 R26 N1: 256 bytes", 17, ""},
  };
  for (const auto& c : cases) {
    CapturedStream out(dir.File("out.txt"));
    EXPECT_EQ(PrintSector(d88, c.choice, d88.GetFileSize(), out.get()), "");
    const std::string text = out.Text();
    EXPECT_EQ(text.substr(0, text.find('\n')), c.first);
    size_t lines = 0;
    for (const char ch : text) lines += ch == '\n';
    EXPECT_EQ(lines, c.lines) << c.first;
    if (!c.last.empty()) {
      EXPECT_EQ(text.substr(text.size() - c.last.size()), c.last) << c.first;
    }
  }
  const struct {
    SectorChoice choice;
    std::string problem;
  } missing[] = {
      {{1, 0, 1}, "no disk 1; the image holds 1 disk"},
      {{0, 2, 1}, "disk 0 has no track 2"},
      {{0, 200, 1}, "disk 0 has no track 200"},
      {{0, 1, 5}, "disk 0, track 1: no record 5; the track holds 4 records"},
  };
  for (const auto& c : missing) {
    CapturedStream out(dir.File("out.txt"));
    EXPECT_EQ(PrintSector(d88, c.choice, d88.GetFileSize(), out.get()), c.problem);
    EXPECT_EQ(out.Text(), "");
  }
}

TEST(SectorOptions, ThreeDecimalNumbersAndTheRecordFromOne) {
  const struct {
    std::vector<std::string> args;
    std::string problem;  // empty: read
    int32_t disk, track, record;
  } cases[] = {
      {{"--sector", "0:72:1", "a.d88"}, "", 0, 72, 1},
      {{"--sector=63:163:65535", "a.d88"}, "", 63, 163, 65535},
      {{"--sector", "007:1:2", "a.d88"}, "", 7, 1, 2},
      {{"--sector", "0:72", "a.d88"}, "not a sector DISK:TRACK:RECORD: 0:72", 0, 0, 0},
      {{"--sector", "0:72:1:4", "a.d88"}, "not a sector DISK:TRACK:RECORD: 0:72:1:4", 0, 0, 0},
      {{"--sector", "0:0x48:1", "a.d88"}, "not a sector DISK:TRACK:RECORD: 0:0x48:1", 0, 0, 0},
      {{"--sector", "0:-1:1", "a.d88"}, "not a sector DISK:TRACK:RECORD: 0:-1:1", 0, 0, 0},
      {{"--sector", "0::1", "a.d88"}, "not a sector DISK:TRACK:RECORD: 0::1", 0, 0, 0},
      {{"--sector", "0:1:9999999999", "a.d88"}, "not a sector DISK:TRACK:RECORD: 0:1:9999999999", 0, 0, 0},
      {{"--sector", "0:72:0", "a.d88"}, "records count from 1: 0:72:0", 0, 0, 0},
      {{"a.d88", "--sector"}, "--sector needs a value", 0, 0, 0},
      {{"--sector", "0:72:1", "--json", "a.d88"}, "--sector prints one record; leave out --json and --svg", 0, 0, 0},
      {{"--svg", "x.svg", "--sector", "0:72:1", "a.d88"}, "--sector prints one record; leave out --json and --svg", 0,
       0, 0},
  };
  for (const auto& c : cases) {
    std::vector<std::string> words = {"d88ls"};
    words.insert(words.end(), c.args.begin(), c.args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(&w[0]);
    const ListCommandLine line = ParseListOptions(static_cast<int>(argv.size()), argv.data());
    EXPECT_EQ(line.problem, c.problem) << c.args[1];
    if (!c.problem.empty()) continue;
    EXPECT_TRUE(line.options.sector);
    EXPECT_EQ(line.options.choice.disk, c.disk);
    EXPECT_EQ(line.options.choice.track, c.track);
    EXPECT_EQ(line.options.choice.record, c.record);
  }
}

TEST_F(SectorRun, TheProgramPrintsTheRecordOrSaysWhyNot) {
  Write("image.d88", SectorDisk().Build());
  const testutil::ProcessResult shown = D88ls({"--sector", "0:1:3", "image.d88"});
  EXPECT_EQ(shown.exitCode, 0);
  EXPECT_EQ(shown.err, "");
  EXPECT_EQ(shown.out, Text("C0 H1 R2 N1 (16 bytes): 16 bytes\n"
                            "0000  43 43 43 43 43 43 43 43 43 43 43 43 43 43 43 43  CCCCCCCCCCCCCCCC\n"));
  const struct {
    std::vector<std::string> args;
    int exitCode;
    std::string err;
  } failures[] = {
      {{"--sector", "0:1:9", "image.d88"}, 1, "d88ls: image.d88: disk 0, track 1: no record 9; the track holds 4 records\n"},
      {{"--sector", "2:1:1", "image.d88"}, 1, "d88ls: image.d88: no disk 2; the image holds 1 disk\n"},
      {{"--sector", "0:1:1", "missing.d88"}, 1, "d88ls: missing.d88: No such file or directory\n"},
      {{"--sector", "a:1:1", "image.d88"}, 2, "d88ls: not a sector DISK:TRACK:RECORD: a:1:1\n" + std::string(kD88ls.usage)},
  };
  for (const auto& c : failures) {
    const testutil::ProcessResult r = D88ls(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.args[1];
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, Text(c.err));
  }
}

}  // namespace
